# Script mode: installs this build into a fresh prefix, configures and builds the consumer
# project against it with find_package, runs the consumer and checks what it prints.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... [-DTOOLCHAIN=...] [-DEMULATOR=a|b|c]
#         [-DSANITIZE=address,undefined] -P check_consumer.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/installed")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "install failed")
endif()

set(configure "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/consumer"
    "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_BUILD_TYPE=Release)
if(SANITIZE)
  # The library's sanitizer runtime must be the consumer's too, loaded first.
  list(APPEND configure "-DCMAKE_C_FLAGS=-fsanitize=${SANITIZE}"
       "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=${SANITIZE}")
endif()
if(TOOLCHAIN)
  list(APPEND configure "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}"
       "-DCMAKE_FIND_ROOT_PATH=${prefix}")
endif()
execute_process(COMMAND ${configure} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
  message(FATAL_ERROR "configuring the consumer failed:\n${out}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/consumer" RESULT_VARIABLE failed
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
  message(FATAL_ERROR "building the consumer failed:\n${out}")
endif()

# The consumer finds the library beside itself (Windows) or through its run path (Linux).
file(GLOB libraries "${prefix}/bin/korvanelib.dll")
if(libraries)
  file(COPY ${libraries} DESTINATION "${WORK_DIR}/consumer")
endif()
string(REPLACE "|" ";" emulator "${EMULATOR}")
file(GLOB program "${WORK_DIR}/consumer/consumer" "${WORK_DIR}/consumer/consumer.exe")
execute_process(COMMAND ${emulator} ${program} RESULT_VARIABLE failed OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(failed OR NOT out MATCHES "version 1\\.01 1\r?\nsine 1 0\\.500000\r?\ncapacity 65536\r?\nshell 1 linked\r?\n")
  message(FATAL_ERROR "the consumer answered (status ${failed}):\n${out}${err}")
endif()
message(STATUS "consumer:\n${out}")
