# Script mode: builds the distribution archive with CPack, unpacks it into an empty folder and
# runs the korvane-call it holds against the library it holds.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DVERSION=... -DCPACK=... [-DEMULATOR=a|b|c]
#         -P check_archive.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND "${CPACK}" -B "${WORK_DIR}/packages" WORKING_DIRECTORY "${BUILD_DIR}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
  message(FATAL_ERROR "cpack failed:\n${out}")
endif()
file(GLOB archive "${WORK_DIR}/packages/korvanelib-${VERSION}-*.zip"
     "${WORK_DIR}/packages/korvanelib-${VERSION}-*.tar.gz")
list(LENGTH archive count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one archive named for version ${VERSION}, found: ${archive}")
endif()
file(MAKE_DIRECTORY "${WORK_DIR}/unpacked")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${archive}"
                WORKING_DIRECTORY "${WORK_DIR}/unpacked" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot unpack ${archive}")
endif()

# What an integrator expects to find in it.
file(GLOB top "${WORK_DIR}/unpacked/*")
set(expected_files include/korvanelib.h share/doc/korvanelib/README.md
    share/doc/korvanelib/exports.md share/doc/korvanelib/integration.md
    lib/cmake/korvanelib/korvanelibConfig.cmake lib/cmake/korvanelib/korvanelibConfigVersion.cmake)
if(archive MATCHES "\\.zip$")
  list(APPEND expected_files bin/korvanelib.dll bin/korvane-call.exe lib/korvanelib.dll.a
       lib/korvanelib.def)
  set(tool "${top}/bin/korvane-call.exe")
else()
  list(APPEND expected_files lib/korvanelib.so bin/korvane-call)
  set(tool "${top}/bin/korvane-call")
endif()
foreach(file IN LISTS expected_files)
  if(NOT EXISTS "${top}/${file}")
    message(FATAL_ERROR "${archive} lacks ${file}")
  endif()
endforeach()

string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} "${tool}" --version WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE version_out ERROR_VARIABLE err)
execute_process(COMMAND ${emulator} "${tool}" Sine --number 30 WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE failed_call OUTPUT_VARIABLE call_out ERROR_VARIABLE err_call)
if(failed OR failed_call)
  message(FATAL_ERROR "korvane-call from the archive failed:\n${err}${err_call}")
endif()
# The tool must have loaded the library from the unpacked folder, not from the build.
if(NOT version_out MATCHES "^korvane-call ${VERSION}\r?\nlibrary [^\n]*unpacked[^\n]* ${VERSION}")
  message(FATAL_ERROR "unexpected version answer:\n${version_out}")
endif()
if(NOT call_out MATCHES "^result: 1\r?\nbuffer: 0\\.500000")
  message(FATAL_ERROR "unexpected call answer:\n${call_out}")
endif()
message(STATUS "${archive}:\n${version_out}${call_out}")
