# Script mode: builds the Debian packages with CPack, installs them with dpkg, uses what they
# installed (korvane-call from PATH, the stripped library and its debug file, a C program built
# with pkg-config, a CMake project with find_package), removes them and checks that no file they
# installed is left. Needs root and dpkg; skipped without them (it prints "SKIPPED:"), except in
# CI, where it fails (support/missing.cmake).
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=tests/release -DWORK_DIR=... -DVERSION=... -DCPACK=...
#         -DCC=... -DOBJDUMP=... -P check_deb.cmake
include("${CMAKE_CURRENT_LIST_DIR}/../support/missing.cmake")
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
find_program(dpkg dpkg)
if(NOT dpkg)
  korvane_missing(dpkg "a Debian system has it")
  return()
endif()
if(NOT uid STREQUAL "0")
  korvane_missing("root" "installing a Debian package needs root: run the tests as root")
  return()
endif()
set(packages korvanelib korvanelib-dbg)
foreach(package IN LISTS packages)
  execute_process(COMMAND dpkg-query -W -f=\${Status} ${package} OUTPUT_VARIABLE status
                  ERROR_QUIET)
  if(status MATCHES "installed")
    message(FATAL_ERROR "${package} is already installed on this machine; this test installs "
                        "and removes it: remove it first (dpkg -r korvanelib-dbg korvanelib)")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${CPACK}" -G DEB -B "${WORK_DIR}/packages" WORKING_DIRECTORY "${BUILD_DIR}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
  message(FATAL_ERROR "cpack -G DEB failed:\n${out}")
endif()
file(GLOB deb "${WORK_DIR}/packages/korvanelib_${VERSION}_*.deb")
file(GLOB debug_deb "${WORK_DIR}/packages/korvanelib-dbg_${VERSION}_*.deb")
set(debs ${deb} ${debug_deb})
list(LENGTH debs count)
if(NOT count EQUAL 2)
  message(FATAL_ERROR "expected korvanelib and korvanelib-dbg ${VERSION}, found: ${debs}")
endif()
execute_process(COMMAND dpkg-deb -f ${deb} Depends OUTPUT_VARIABLE depends)
if(NOT depends MATCHES "libc6 \\(>= [0-9.]+\\)")
  message(FATAL_ERROR "the package's dependencies were not computed from its binaries: ${depends}")
endif()

# From here on the packages are installed: every failure removes them before it stops.
macro(purge_packages)
  execute_process(COMMAND dpkg -P ${packages} RESULT_VARIABLE removal_failed
                  OUTPUT_VARIABLE removal_out ERROR_VARIABLE removal_out)
endmacro()
macro(fail)
  purge_packages()
  message(FATAL_ERROR ${ARGN})
endmacro()
execute_process(COMMAND dpkg -i ${debs} RESULT_VARIABLE failed OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(failed)
  fail("dpkg -i failed:\n${out}")
endif()

# korvane-call from PATH, with the library the package put in /usr/lib.
find_program(tool korvane-call NO_CACHE)
execute_process(COMMAND korvane-call --version OUTPUT_VARIABLE version_out ERROR_VARIABLE err)
execute_process(COMMAND korvane-call Version OUTPUT_VARIABLE call_out ERROR_VARIABLE err)
if(NOT tool STREQUAL "/usr/bin/korvane-call"
   OR NOT version_out MATCHES "library /usr/bin/\\.\\./lib/korvanelib\\.so ${VERSION}"
   OR NOT call_out MATCHES "^result: ${VERSION}\n")
  fail("korvane-call from PATH (${tool}) answered:\n${version_out}${call_out}${err}")
endif()
message(STATUS "${tool} Version:\n${call_out}")

# Release binaries, each with its debug file beside it from korvanelib-dbg.
foreach(binary /usr/lib/korvanelib.so /usr/bin/korvane-call)
  execute_process(COMMAND "${OBJDUMP}" -h "${binary}" OUTPUT_VARIABLE sections)
  execute_process(COMMAND "${OBJDUMP}" -h "${binary}.debug" OUTPUT_VARIABLE debug_sections)
  if(sections MATCHES " \\.debug_" OR NOT sections MATCHES " \\.gnu_debuglink "
     OR NOT debug_sections MATCHES " \\.debug_info ")
    fail("${binary} is not stripped with its debug information in ${binary}.debug")
  endif()
endforeach()

# A C program built with pkg-config's flags (the system's pkg-config folders only), and a CMake
# project with find_package, both against the installed package.
execute_process(COMMAND "${CMAKE_COMMAND}" -DCC=${CC} -DSOURCE=${SOURCE_DIR}/consumer/consumer.c
                        -DWORK_DIR=${WORK_DIR}/pkgconfig -P ${SOURCE_DIR}/check_pkgconfig.cmake
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
  fail("the pkg-config consumer failed against the package:\n${out}")
endif()
message(STATUS "${out}")
execute_process(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}/consumer" -B "${WORK_DIR}/cmake"
                        -DCMAKE_BUILD_TYPE=Release
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT failed)
  execute_process(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/cmake" RESULT_VARIABLE failed
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
endif()
if(NOT failed)
  execute_process(COMMAND "${WORK_DIR}/cmake/consumer" RESULT_VARIABLE failed
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
endif()
if(failed OR NOT out MATCHES "^version 1\\.01 1\nsine 1 0\\.500000\n")
  fail("the find_package consumer failed against the package:\n${out}")
endif()

# Removal leaves nothing of what the packages installed: every path they listed is gone, or is a
# folder that another package owns too (/usr/lib) or that holds files of others.
execute_process(COMMAND dpkg -L ${packages} OUTPUT_VARIABLE listed)
execute_process(COMMAND dpkg -r ${packages} RESULT_VARIABLE failed OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
purge_packages() # and purge, so that dpkg forgets them
if(failed OR out MATCHES "warning")
  message(FATAL_ERROR "dpkg -r failed:\n${out}")
endif()
string(REGEX MATCHALL "/[^\n]*" listed "${listed}")
list(REMOVE_DUPLICATES listed)
set(left)
foreach(path IN LISTS listed)
  if(IS_DIRECTORY "${path}")
    file(GLOB contents "${path}/*" "${path}/.*")
    execute_process(COMMAND dpkg -S "${path}" RESULT_VARIABLE unowned OUTPUT_QUIET ERROR_QUIET)
    if(NOT contents AND unowned)
      list(APPEND left "${path}/")
    endif()
  elseif(EXISTS "${path}" OR IS_SYMLINK "${path}")
    list(APPEND left "${path}")
  endif()
endforeach()
list(LENGTH listed count)
if(count LESS 10 OR left)
  message(FATAL_ERROR "after dpkg -r, of the ${count} paths the packages listed these remain: "
                      "${left}")
endif()
message(STATUS "installed, used and removed ${debs}: none of ${count} paths left")
