# Read by CPack once for each package generator (CPACK_PROJECT_CONFIG_FILE). The archives unpack
# into korvanelib-VERSION-SYSTEM/, the debug archive over the other; a Debian package's paths
# start at the root.
if(CPACK_GENERATOR MATCHES "^(TGZ|ZIP)$")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()

# The packages' file times: SOURCE_DATE_EPOCH when the caller set it (as Debian's tools do),
# else the time of the commit the sources come from, so that packing the same commit again gives
# the same bytes. Outside a git checkout CPack takes the current time. A ZIP file stores local
# time: UTC, whatever the packer's zone.
set(ENV{TZ} UTC)
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${CPACK_KORVANE_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
  endif()
endif()
