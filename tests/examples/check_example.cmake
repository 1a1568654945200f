# Script mode: runs one host of examples/ against a library file and compares what it prints
# with examples/expected_output.txt. Without the language's interpreter the test is skipped (it
# prints "SKIPPED:"), except in CI, where it fails (support/missing.cmake).
#   cmake -DLANGUAGE=python|csharp|lua -DEXAMPLES=... -DLIBRARY=... -DWORK_DIR=...
#         -P check_example.cmake
if(LANGUAGE STREQUAL "python")
  set(tools python3)
elseif(LANGUAGE STREQUAL "csharp")
  set(tools mcs mono)
elseif(LANGUAGE STREQUAL "lua")
  set(tools luajit)
else()
  message(FATAL_ERROR "unknown example language '${LANGUAGE}'")
endif()
include("${CMAKE_CURRENT_LIST_DIR}/../support/missing.cmake")
foreach(tool IN LISTS tools)
  find_program(${tool}_program ${tool})
  if(NOT ${tool}_program)
    korvane_missing(${tool} "scripts/install-deps installs it")
    return()
  endif()
endforeach()

if(LANGUAGE STREQUAL "python")
  set(run "${python3_program}" "${EXAMPLES}/korvane_example.py")
elseif(LANGUAGE STREQUAL "csharp")
  file(REMOVE_RECURSE "${WORK_DIR}")
  file(MAKE_DIRECTORY "${WORK_DIR}")
  execute_process(COMMAND "${mcs_program}" -warnaserror+ -out:${WORK_DIR}/KorvaneExample.exe
                          "${EXAMPLES}/KorvaneExample.cs"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(failed)
    message(FATAL_ERROR "mcs failed:\n${out}")
  endif()
  set(run "${mono_program}" "${WORK_DIR}/KorvaneExample.exe")
else()
  set(run "${luajit_program}" "${EXAMPLES}/korvane_example.lua")
endif()

execute_process(COMMAND ${run} "${LIBRARY}" RESULT_VARIABLE failed OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
file(READ "${EXAMPLES}/expected_output.txt" expected)
if(failed OR NOT out STREQUAL expected)
  message(FATAL_ERROR "the ${LANGUAGE} example (status ${failed}) printed:\n${out}${err}\n"
                      "expected:\n${expected}")
endif()
message(STATUS "${LANGUAGE} example:\n${out}")
