# Warnings are errors everywhere; nothing real is silenced.
function(brindorel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wnon-virtual-dtor -Wcast-align -Wformat=2)
endfunction()
