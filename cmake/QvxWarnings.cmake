# Warnings are errors for our own code; third-party headers come in as SYSTEM includes.
function(qvx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wcast-align
                                           -Wimplicit-fallthrough -Werror
                                           $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>)
endfunction()
