# Shared part of the two mingw-w64 toolchains. Expects KESTRAVA_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The -posix variants: googletest and the run's std::thread need the posix thread model.
set(CMAKE_C_COMPILER ${KESTRAVA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRAVA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRAVA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRAVA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Lean windows.h: no COM headers (whose "interface" macro would clash with our names)
# and no old winsock.h beside winsock2.h; no min/max macros against std::min/max.
set(CMAKE_CXX_FLAGS_INIT "-DWIN32_LEAN_AND_MEAN -DNOMINMAX")

# One .exe to ship: the C and C++ run-times and winpthreads are linked in, so the
# program imports nothing but DLLs that every Windows has.
# No link time in the PE header: the same sources give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
# A release carries no symbols (the static libraries bring theirs).
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# The header-only libraries come from the build machine; googletest is built from its
# sources for the target. The host's own package files cannot be used: they would put
# the host's include folder, and with it the host's C library headers, on the path.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/packages/nlohmann_json CACHE PATH "" FORCE)
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/packages/CLI11 CACHE PATH "" FORCE)
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/packages/GTest CACHE PATH "" FORCE)
