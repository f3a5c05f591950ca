# Installs the libraries, the public headers, a CMake package (find_package(koTolvaneLib), then
# link koTolvaneLib::koTolvaneLib) and a pkg-config file.
include(CMakePackageConfigHelpers)

set(KOTOLVANE_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/koTolvaneLib")

install(TARGETS koTolvaneLib koPlatform koWm4Foundation
  EXPORT koTolvaneLibTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY "${PROJECT_SOURCE_DIR}/include/" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY "${PROJECT_SOURCE_DIR}/platform/include/" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT koTolvaneLibTargets NAMESPACE koTolvaneLib:: DESTINATION ${KOTOLVANE_CMAKE_DIR})
configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/koTolvaneLibConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/koTolvaneLibConfig.cmake"
  INSTALL_DESTINATION ${KOTOLVANE_CMAKE_DIR})
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/koTolvaneLibConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/koTolvaneLibConfig.cmake"
  "${PROJECT_BINARY_DIR}/koTolvaneLibConfigVersion.cmake"
  "${PROJECT_SOURCE_DIR}/cmake/FindWildMagic5.cmake"
  DESTINATION ${KOTOLVANE_CMAKE_DIR})

file(RELATIVE_PATH KOTOLVANE_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" KOTOLVANE_PC_TO_PREFIX "${KOTOLVANE_PC_TO_PREFIX}")
configure_file("${PROJECT_SOURCE_DIR}/cmake/koTolvaneLib.pc.in"
  "${PROJECT_BINARY_DIR}/koTolvaneLib.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/koTolvaneLib.pc"
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
