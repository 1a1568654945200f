# Script mode: builds consumer/consumer.c with the flags that `pkg-config --cflags --libs
# korvanelib` gives and runs it. With BUILD_DIR, this build is installed into WORK_DIR/installed
# first and found through PKG_CONFIG_PATH (Linux) or as the only pkg-config folder (the Windows
# cross-build); without, pkg-config finds the korvanelib installed on the system.
#   cmake -DCC=... -DSOURCE=consumer.c -DWORK_DIR=... [-DBUILD_DIR=...] [-DEMULATOR=a|b|c]
#         -P check_pkgconfig.cmake
find_program(pkg_config NAMES pkg-config pkgconf REQUIRED)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_LIBDIR})
if(BUILD_DIR)
  set(prefix "${WORK_DIR}/installed")
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                  RESULT_VARIABLE failed OUTPUT_QUIET)
  if(failed)
    message(FATAL_ERROR "install failed")
  endif()
  if(emulator)
    # A cross-build: only the installed tree's pkg-config files, none of this machine's.
    set(ENV{PKG_CONFIG_LIBDIR} "${prefix}/lib/pkgconfig")
  else()
    set(ENV{PKG_CONFIG_PATH} "${prefix}/lib/pkgconfig")
  endif()
endif()

execute_process(COMMAND "${pkg_config}" --cflags --libs korvanelib RESULT_VARIABLE failed
                OUTPUT_VARIABLE flags ERROR_VARIABLE err OUTPUT_STRIP_TRAILING_WHITESPACE)
if(failed)
  message(FATAL_ERROR "pkg-config does not find korvanelib:\n${err}")
endif()
separate_arguments(flag_list UNIX_COMMAND "${flags}")
execute_process(COMMAND "${CC}" -std=c11 -Wall -Wextra -Werror -o "${WORK_DIR}/consumer"
                        "${SOURCE}" ${flag_list}
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
  message(FATAL_ERROR "${CC} ${SOURCE} ${flags} failed:\n${out}")
endif()

# The library is not on the system's search path in an installed tree: the program finds it
# through LD_LIBRARY_PATH, or beside itself on Windows.
if(BUILD_DIR)
  set(ENV{LD_LIBRARY_PATH} "${prefix}/lib")
  file(GLOB dll "${prefix}/bin/korvanelib.dll")
  if(dll)
    file(COPY ${dll} DESTINATION "${WORK_DIR}")
  endif()
endif()
file(GLOB program "${WORK_DIR}/consumer" "${WORK_DIR}/consumer.exe")
execute_process(COMMAND ${emulator} ${program} WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(expected "^version 1\\.01 1\r?\nsine 1 0\\.500000\r?\ncapacity 65536\r?\nshell 1 linked\r?\n$")
if(failed OR NOT out MATCHES "${expected}")
  message(FATAL_ERROR "the consumer built with '${flags}' answered (status ${failed}):\n"
                      "${out}${err}")
endif()
message(STATUS "pkg-config --cflags --libs korvanelib: ${flags}\nconsumer:\n${out}")
