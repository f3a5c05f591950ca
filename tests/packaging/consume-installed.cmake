# Installs the build tree into a scratch prefix, then configures, builds and runs the consumer
# project against that prefix alone, through both the CMake package and pkg-config.
# Inputs: BUILD_DIR, CONSUMER_SOURCE_DIR, WORK_DIR, LIBDIR, CONFIG.
set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")

function(run_step)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGV}\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

run_step(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}" --config "${CONFIG}")
run_step(${CMAKE_COMMAND} -S "${CONSUMER_SOURCE_DIR}" -B "${WORK_DIR}/consumer" -G Ninja
         "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_BUILD_TYPE=Release)
run_step(${CMAKE_COMMAND} --build "${WORK_DIR}/consumer")
run_step("${WORK_DIR}/consumer/koConsumer")
if(NOT step_output MATCHES "koTolvaneLib 1.0.0.47 #2259eebdee2cb526, 3 groups")
  message(FATAL_ERROR "unexpected consumer output: ${step_output}")
endif()

# The pkg-config file must be enough on its own to compile and link the same program.
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
run_step(${PKG_CONFIG} --cflags --libs koTolvaneLib)
string(STRIP "${step_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run_step(c++ -std=c++17 "${CONSUMER_SOURCE_DIR}/main.cpp" ${flags}
         "-Wl,-rpath,${prefix}/${LIBDIR}" -o "${WORK_DIR}/koConsumerPkgConfig")
run_step("${WORK_DIR}/koConsumerPkgConfig")
if(NOT step_output MATCHES "3 groups")
  message(FATAL_ERROR "unexpected pkg-config consumer output: ${step_output}")
endif()
