# Installing korvanelib, the CMake package that find_package(korvanelib CONFIG) finds, and the
# distribution archives built from the installed tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KORVANE_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/korvanelib")

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

install(EXPORT korvanelibTargets NAMESPACE korvanelib:: DESTINATION "${KORVANE_CMAKE_DIR}")
configure_package_config_file(cmake/korvanelibConfig.cmake.in
                              "${PROJECT_BINARY_DIR}/korvanelibConfig.cmake"
                              INSTALL_DESTINATION "${KORVANE_CMAKE_DIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/korvanelibConfigVersion.cmake"
                                 COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/korvanelibConfig.cmake"
              "${PROJECT_BINARY_DIR}/korvanelibConfigVersion.cmake"
        DESTINATION "${KORVANE_CMAKE_DIR}")

# Archives: a ZIP for Windows, a gzipped tarball for Linux, named with the version and platform.
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(KORVANE_PACKAGE_SYSTEM windows-x86_64)
else()
  set(CPACK_GENERATOR TGZ)
  set(KORVANE_PACKAGE_SYSTEM linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_PACKAGE_NAME korvanelib)
set(CPACK_PACKAGE_VENDOR "korvanelib developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "korvanelib-${PROJECT_VERSION}-${KORVANE_PACKAGE_SYSTEM}")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
