# Warnings belong to our own targets, never to the global flags, so that third-party headers
# (included as system headers) stay quiet and ours stay strict.
function(ko_enable_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()
