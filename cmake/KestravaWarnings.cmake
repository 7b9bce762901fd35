# Warnings every target of ours compiles with; KESTRAVA_WERROR (on in the builds scripts/test
# makes) turns them into errors.
option(KESTRAVA_WERROR "Treat warnings as errors" OFF)
function(kestrava_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  # GCC 12 warns falsely about overlapping copies inside std::string's operator+ once it
  # inlines it at -O2 and above (GCC bug 105329); the warning says nothing of our code there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(KESTRAVA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
