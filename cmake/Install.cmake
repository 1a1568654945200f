# Installing korvanelib, the CMake package that find_package(korvanelib CONFIG) finds, its
# pkg-config file, and the packages built from the installed tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KORVANE_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/korvanelib")
set(KORVANE_PKGCONFIG_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
set(KORVANE_PACKAGE_MAINTAINER "korvanelib developers <korvanelib@example.org>" CACHE STRING
    "The Debian package's maintainer, as 'Name <address>'")

# Folders the installation creates get the usual permissions whatever the umask, so that the
# packages come out the same everywhere (scripts/check-reproducible).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Everything below belongs to the component "korvanelib" unless it names another; the debug
# information of the shipped binaries is the component "debug".
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME korvanelib)

install(TARGETS korvanelib EXPORT korvanelibTargets
        RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
        LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
        ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
        INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(FILES include/korvanelib.h DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(TARGETS korvane-call RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
if(WIN32)
  install(FILES "${PROJECT_BINARY_DIR}/korvanelib.def" DESTINATION "${CMAKE_INSTALL_LIBDIR}")
endif()
install(FILES README.md DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(DIRECTORY docs/ DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(DIRECTORY examples/ DESTINATION "${CMAKE_INSTALL_DOCDIR}/examples")

# Release binaries: the installed library and korvane-call are stripped, and each one's debug
# information goes to FILE.debug beside it (component "debug"). The stripped file names its
# .debug file and checksum in .gnu_debuglink, where debuggers look for it (the same folder
# first). Whichever component is installed first splits the debug information off the build's
# binary into build/<preset>/debug/; both use that file until the binary is rebuilt, so the
# checksum covers the .debug file shipped. objcopy and strip write a time stamp into every PE
# file they write, SOURCE_DATE_EPOCH or else the current time: they run with 0, the time stamp
# the linker leaves (cmake/Reproducible.cmake), so that the files do not depend on the time.
set(KORVANE_DEBUG_DIR "${PROJECT_BINARY_DIR}/debug")
set(binutils "\"${CMAKE_COMMAND}\" -E env SOURCE_DATE_EPOCH=0")
foreach(target korvanelib korvane-call)
  if(WIN32 OR NOT target STREQUAL "korvanelib")
    set(directory "${CMAKE_INSTALL_BINDIR}")
  else()
    set(directory "${CMAKE_INSTALL_LIBDIR}")
  endif()
  set(debug_file "${KORVANE_DEBUG_DIR}/$<TARGET_FILE_NAME:${target}>.debug")
  set(split_debug "
    if(NOT EXISTS \"${debug_file}\" OR \"$<TARGET_FILE:${target}>\" IS_NEWER_THAN \"${debug_file}\")
      file(MAKE_DIRECTORY \"${KORVANE_DEBUG_DIR}\")
      execute_process(COMMAND ${binutils} \"${CMAKE_OBJCOPY}\" --only-keep-debug
                              \"$<TARGET_FILE:${target}>\" \"${debug_file}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()")
  install(CODE "${split_debug}
    set(shipped \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${directory}\")
    string(APPEND shipped \"/$<TARGET_FILE_NAME:${target}>\")
    execute_process(COMMAND ${binutils} \"${CMAKE_STRIP}\" --strip-all \"\${shipped}\"
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${binutils} \"${CMAKE_OBJCOPY}\"
                            \"--add-gnu-debuglink=${debug_file}\" \"\${shipped}\"
                    COMMAND_ERROR_IS_FATAL ANY)")
  install(CODE "${split_debug}" COMPONENT debug)
  install(FILES "${debug_file}" DESTINATION "${directory}" COMPONENT debug)
endforeach()

install(EXPORT korvanelibTargets NAMESPACE korvanelib:: DESTINATION "${KORVANE_CMAKE_DIR}")
configure_package_config_file(cmake/korvanelibConfig.cmake.in
                              "${PROJECT_BINARY_DIR}/korvanelibConfig.cmake"
                              INSTALL_DESTINATION "${KORVANE_CMAKE_DIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/korvanelibConfigVersion.cmake"
                                 COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/korvanelibConfig.cmake"
              "${PROJECT_BINARY_DIR}/korvanelibConfigVersion.cmake"
        DESTINATION "${KORVANE_CMAKE_DIR}")

# pkg-config: the prefix is found from the .pc file's own place, so the file is right in an
# unpacked archive as in /usr. The library has no "lib" prefix, which -lkorvanelib would look
# for on Linux: Libs names the file itself with -l:korvanelib.so (GNU ld and lld). MinGW's ld
# also tries NAME.dll.a for -lNAME, so there the usual form finds korvanelib.dll.a.
file(RELATIVE_PATH KORVANE_PKGCONFIG_TO_PREFIX "/prefix/${KORVANE_PKGCONFIG_DIR}" "/prefix")
string(REGEX REPLACE "/$" "" KORVANE_PKGCONFIG_TO_PREFIX "${KORVANE_PKGCONFIG_TO_PREFIX}")
if(WIN32)
  set(KORVANE_PKGCONFIG_LIBRARY -lkorvanelib)
else()
  set(KORVANE_PKGCONFIG_LIBRARY -l:korvanelib.so)
endif()
configure_file(cmake/korvanelib.pc.in "${PROJECT_BINARY_DIR}/korvanelib.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/korvanelib.pc" DESTINATION "${KORVANE_PKGCONFIG_DIR}")

# Packages: on Windows a ZIP, on Linux a gzipped tarball and a Debian package, each as a pair:
# the release files, and their debug information (an archive to unpack over the first, or the
# package korvanelib-dbg).
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(KORVANE_PACKAGE_SYSTEM windows-x86_64)
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(KORVANE_PACKAGE_SYSTEM linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_PACKAGE_NAME korvanelib)
set(CPACK_PACKAGE_VENDOR "korvanelib developers")
set(CPACK_PACKAGE_CONTACT "${KORVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
# CPack's DEB generator puts a summary it is given before each package's description; the two
# packages have summaries of their own (their descriptions' first lines), and CPack adds none
# when the summary is its default one.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "korvanelib built using CMake")
set(CPACK_PACKAGE_FILE_NAME "korvanelib-${PROJECT_VERSION}-${KORVANE_PACKAGE_SYSTEM}")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/CPackOptions.cmake")
set(CPACK_KORVANE_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_COMPONENTS_ALL korvanelib debug)
set(CPACK_COMPONENT_DEBUG_DEPENDS korvanelib)

set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_KORVANELIB_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}")
set(CPACK_ARCHIVE_DEBUG_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-debug")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_KORVANELIB_PACKAGE_NAME korvanelib)
set(CPACK_DEBIAN_KORVANELIB_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_KORVANELIB_DESCRIPTION
    "${PROJECT_DESCRIPTION}
korvanelib is a native library that a scripting host loads so that its scripts can call native
code: math as text, character-class tests, a switch-item lookup, message boxes, the clipboard,
shell launch and command capture, and the clock. Every export has one C signature and is found
by its name.
.
The package holds the library, its header, CMake and pkg-config files, the korvane-call tool and
the documentation with examples for hosts in C, Python, C# and Lua.")
set(CPACK_DEBIAN_DEBUG_PACKAGE_NAME korvanelib-dbg)
set(CPACK_DEBIAN_DEBUG_PACKAGE_SECTION debug)
set(CPACK_DEBIAN_DEBUG_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEBUG_DESCRIPTION
    "Debug information for korvanelib
The debug information of korvanelib.so and korvane-call, as .debug files beside them, which
debuggers find through the binaries' debug links.")
include(CPack)
