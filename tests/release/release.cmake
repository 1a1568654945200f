# Release, continued: a C program built with pkg-config's flags against the installed tree (under
# Wine for the DLL), and on Linux the Debian packages installed, used and removed.
korvane_test(release_pkgconfig
  COMMAND "${CMAKE_COMMAND}" -DCC=${CMAKE_C_COMPILER} -DBUILD_DIR=${PROJECT_BINARY_DIR}
          -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/consumer/consumer.c
          -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/release_pkgconfig "-DEMULATOR=${emulator}"
          -P "${CMAKE_CURRENT_LIST_DIR}/check_pkgconfig.cmake")
set_tests_properties(release_pkgconfig PROPERTIES RESOURCE_LOCK install_tree)

if(NOT CMAKE_CROSSCOMPILING)
  korvane_test(release_deb
    COMMAND "${CMAKE_COMMAND}" -DBUILD_DIR=${PROJECT_BINARY_DIR}
            -DSOURCE_DIR=${CMAKE_CURRENT_LIST_DIR}
            -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/release_deb
            -DVERSION=${PROJECT_VERSION} "-DCPACK=${CMAKE_CPACK_COMMAND}" -DCC=${CMAKE_C_COMPILER}
            -DOBJDUMP=${CMAKE_OBJDUMP} -P "${CMAKE_CURRENT_LIST_DIR}/check_deb.cmake")
  # It installs into /usr: one at a time with anything that installs, packs or uses the library
  # from /usr.
  set_tests_properties(release_deb PROPERTIES RESOURCE_LOCK install_tree TIMEOUT 600
                       SKIP_REGULAR_EXPRESSION "SKIPPED:")
endif()
