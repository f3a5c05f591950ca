# Finds Wild Magic 5 (Debian package libwildmagic-dev) and defines WildMagic5::Mathematics,
# which carries WildMagic5::Core. Its headers are system headers, so its warnings are not ours.
find_path(WildMagic5_INCLUDE_DIR Wm5Vector3.h PATH_SUFFIXES libwildmagic)
find_library(WildMagic5_Mathematics_LIBRARY Wm5Mathematics)
find_library(WildMagic5_Core_LIBRARY Wm5Core)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(WildMagic5 REQUIRED_VARS
  WildMagic5_INCLUDE_DIR WildMagic5_Mathematics_LIBRARY WildMagic5_Core_LIBRARY)

if(WildMagic5_FOUND AND NOT TARGET WildMagic5::Mathematics)
  add_library(WildMagic5::Core UNKNOWN IMPORTED)
  set_target_properties(WildMagic5::Core PROPERTIES
    IMPORTED_LOCATION "${WildMagic5_Core_LIBRARY}"
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${WildMagic5_INCLUDE_DIR}"
    INTERFACE_INCLUDE_DIRECTORIES "${WildMagic5_INCLUDE_DIR}")
  add_library(WildMagic5::Mathematics UNKNOWN IMPORTED)
  set_target_properties(WildMagic5::Mathematics PROPERTIES
    IMPORTED_LOCATION "${WildMagic5_Mathematics_LIBRARY}"
    INTERFACE_LINK_LIBRARIES WildMagic5::Core)
endif()
mark_as_advanced(WildMagic5_INCLUDE_DIR WildMagic5_Mathematics_LIBRARY WildMagic5_Core_LIBRARY)
