# Script mode: runs korvane-call with bad arguments and expects what a user should see: a
# non-zero status and one line on standard error that names the tool.
#   cmake -DCOMMAND="emulator|korvane-call|args..." -P expect_rejection.cmake
string(REPLACE "|" ";" command "${COMMAND}")
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(status EQUAL 0)
  message(FATAL_ERROR "accepted: ${COMMAND}\n${out}")
endif()
if(NOT err MATCHES "^korvane-call: [^\n]+\r?\n$")
  message(FATAL_ERROR "expected one line of error from korvane-call, got:\n${err}")
endif()
message(STATUS "rejected with status ${status}: ${err}")
