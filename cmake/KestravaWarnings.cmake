# Warnings every target of ours compiles with; KESTRAVA_WERROR (on in the builds scripts/test
# makes) turns them into errors.
option(KESTRAVA_WERROR "Treat warnings as errors" OFF)
function(kestrava_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(KESTRAVA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
