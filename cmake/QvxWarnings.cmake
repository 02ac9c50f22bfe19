# Warnings are errors for our own code; third-party headers come in as SYSTEM includes.
function(qvx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wimplicit-fallthrough -Werror)
endfunction()
