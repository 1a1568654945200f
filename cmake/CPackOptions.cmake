# Read by CPack once for each package generator (CPACK_PROJECT_CONFIG_FILE). The archives unpack
# into korvanelib-VERSION-SYSTEM/, the debug archive over the other; a Debian package's paths
# start at the root.
if(CPACK_GENERATOR MATCHES "^(TGZ|ZIP)$")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
