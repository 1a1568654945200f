# Warnings for the project's own targets; KORVANE_WERROR makes them errors (CI builds so).
function(korvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wsign-conversion -Wcast-qual -Wformat=2
                                           -Wundef -Wnull-dereference)
  if(KORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
