# Release files that depend on the sources alone, not on the folder or the time of the build:
# the same commit built in two folders gives the same bytes (scripts/check-reproducible).
# - The debug information (and __FILE__) names the sources relative to the source folder and the
#   build folder as "build", so the build ID that the linker computes over the file, the .debug
#   files and the CRC-32 in each binary's debug link agree. (A debugger started in the source
#   folder finds the sources there.)
# - Windows programs and the DLL carry no link time stamp (the PE header's is 0).
# - The archives' and the Debian packages' file times come from SOURCE_DATE_EPOCH
#   (cmake/CPackOptions.cmake sets it from the commit's time when it is not set).
# The build folder's prefix comes last, so that it is tried first when it lies inside the
# source folder.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/="
                    "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/")
if(MINGW)
  add_link_options(LINKER:--no-insert-timestamp)
endif()
