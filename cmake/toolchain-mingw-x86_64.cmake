# 64-bit Windows with Debian's mingw-w64. Its programs run under wine64 here, so this
# build carries the tests: ctest runs them through scripts/wine-run.
set(KESTRAVA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw/common.cmake)
# One wine prefix per build folder, made on first use.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run ${CMAKE_BINARY_DIR}/wine)
