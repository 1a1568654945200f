# Script mode: builds the distribution archive and its debug archive with CPack, unpacks the
# first into an empty folder and runs the korvane-call it holds against the library it holds,
# then unpacks the debug archive over it and checks that the shipped binaries are stripped and
# linked to their debug files.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DVERSION=... -DCPACK=... -DOBJDUMP=... -DOBJCOPY=...
#         [-DEMULATOR=a|b|c] -P check_archive.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
# The archive generator alone (ZIP or TGZ), not the Debian packages.
include("${BUILD_DIR}/CPackConfig.cmake")
list(GET CPACK_GENERATOR 0 generator)
execute_process(COMMAND "${CPACK}" -G ${generator} -B "${WORK_DIR}/packages"
                WORKING_DIRECTORY "${BUILD_DIR}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
  message(FATAL_ERROR "cpack failed:\n${out}")
endif()
file(GLOB archives "${WORK_DIR}/packages/korvanelib-${VERSION}-*.zip"
     "${WORK_DIR}/packages/korvanelib-${VERSION}-*.tar.gz")
set(archive ${archives})
list(FILTER archive EXCLUDE REGEX "-debug\\.[.a-z]+$")
set(debug_archive ${archives})
list(FILTER debug_archive INCLUDE REGEX "-debug\\.[.a-z]+$")
list(LENGTH archive count)
list(LENGTH debug_archive debug_count)
if(NOT count EQUAL 1 OR NOT debug_count EQUAL 1)
  message(FATAL_ERROR "expected an archive and a debug archive named for version ${VERSION}, "
                      "found: ${archives}")
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
list(APPEND expected_files lib/pkgconfig/korvanelib.pc
     share/doc/korvanelib/examples/korvane_example.py
     share/doc/korvanelib/examples/KorvaneExample.cs
     share/doc/korvanelib/examples/korvane_example.lua)
foreach(file IN LISTS expected_files)
  if(NOT EXISTS "${top}/${file}")
    message(FATAL_ERROR "${archive} lacks ${file}")
  endif()
endforeach()
file(GLOB_RECURSE debug_files "${top}/*.debug")
if(debug_files)
  message(FATAL_ERROR "${archive} holds debug files, which belong in the debug archive: "
                      "${debug_files}")
endif()

string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} "${tool}" --version WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE version_out ERROR_VARIABLE err)
execute_process(COMMAND ${emulator} "${tool}" Sine --number 30 WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE failed_call OUTPUT_VARIABLE call_out ERROR_VARIABLE err_call)
if(failed OR failed_call)
  message(FATAL_ERROR "korvane-call from the archive failed:\n"
                      "--version: status ${failed}\n${version_out}${err}\n"
                      "Sine --number 30: status ${failed_call}\n${call_out}${err_call}")
endif()
# The tool must have loaded the library from the unpacked folder, not from the build.
if(NOT version_out MATCHES "^korvane-call ${VERSION}\r?\nlibrary [^\n]*unpacked[^\n]* ${VERSION}")
  message(FATAL_ERROR "unexpected version answer:\n${version_out}")
endif()
if(NOT call_out MATCHES "^result: 1\r?\nbuffer: 0\\.500000")
  message(FATAL_ERROR "unexpected call answer:\n${call_out}")
endif()
message(STATUS "${archive}:\n${version_out}${call_out}")

# The debug archive unpacks over the first. Each row: a shipped binary | its debug file.
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${debug_archive}"
                WORKING_DIRECTORY "${WORK_DIR}/unpacked" RESULT_VARIABLE failed)
file(GLOB tops "${WORK_DIR}/unpacked/*")
if(failed OR NOT tops STREQUAL top)
  message(FATAL_ERROR "${debug_archive} does not unpack over ${top}: ${tops}")
endif()
if(archive MATCHES "\\.zip$")
  set(binaries "bin/korvanelib.dll|bin/korvanelib.dll.debug"
               "bin/korvane-call.exe|bin/korvane-call.exe.debug")
else()
  set(binaries "lib/korvanelib.so|lib/korvanelib.so.debug"
               "bin/korvane-call|bin/korvane-call.debug")
endif()
find_program(python NAMES python3 REQUIRED)
foreach(row IN LISTS binaries)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 binary)
  list(GET row 1 debug_file)
  # Stripped: no debug sections, no symbol table.
  execute_process(COMMAND "${OBJDUMP}" -h -t "${top}/${binary}" OUTPUT_VARIABLE sections)
  if(sections MATCHES " \\.debug_" OR NOT sections MATCHES "SYMBOL TABLE:\r?\nno symbols")
    message(FATAL_ERROR "${binary} is not stripped:\n${sections}")
  endif()
  # The debug file holds the debug information.
  execute_process(COMMAND "${OBJDUMP}" -h "${top}/${debug_file}" OUTPUT_VARIABLE debug_sections)
  if(NOT debug_sections MATCHES " \\.debug_info " OR NOT debug_sections MATCHES " \\.debug_line ")
    message(FATAL_ERROR "${debug_file} holds no debug information:\n${debug_sections}")
  endif()
  # Linked: .gnu_debuglink names the debug file and holds its CRC-32, as a debugger checks it.
  execute_process(COMMAND "${OBJCOPY}" "--dump-section=.gnu_debuglink=${WORK_DIR}/link"
                          "${top}/${binary}" "${WORK_DIR}/scratch"
                  RESULT_VARIABLE failed ERROR_VARIABLE err)
  execute_process(COMMAND "${python}" -c [[
import struct, sys, zlib
link = open(sys.argv[1], "rb").read()
name = link[:link.index(b"\0")].decode()
(crc,) = struct.unpack("<I", link[-4:])
actual = zlib.crc32(open(sys.argv[2], "rb").read())
print(name, "%08x" % crc, "%08x" % actual)
]] "${WORK_DIR}/link" "${top}/${debug_file}" OUTPUT_VARIABLE link ERROR_VARIABLE err)
  get_filename_component(debug_name "${debug_file}" NAME)
  if(failed OR NOT link MATCHES "^([^ ]+) ([0-9a-f]+) ([0-9a-f]+)\n$"
     OR NOT CMAKE_MATCH_1 STREQUAL debug_name OR NOT CMAKE_MATCH_2 STREQUAL CMAKE_MATCH_3)
    message(FATAL_ERROR "${binary} does not link ${debug_file} (name, CRC, its CRC): ${link}${err}")
  endif()
  file(SIZE "${top}/${binary}" size)
  file(SIZE "${top}/${debug_file}" debug_size)
  message(STATUS "${binary}: ${size} bytes, stripped; ${debug_file}: ${debug_size} bytes, linked")
endforeach()
