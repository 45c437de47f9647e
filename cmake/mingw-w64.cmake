# Cross toolchain: 64-bit Windows with Debian's mingw-w64 (POSIX thread model, so that
# std::thread and friends work). Everything is linked statically: kelna.scr needs nothing
# beyond the DLLs that come with Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELNA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELNA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELNA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KELNA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELNA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
