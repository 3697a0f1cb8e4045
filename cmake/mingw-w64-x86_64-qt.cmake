# Cross build for 64-bit Windows that links Qt and SDL2 as DLLs (packaging/windows/build.sh).
# Same compilers as cmake/mingw-w64-x86_64.cmake, but the C and C++ runtimes stay shared
# (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll go beside the program): the Qt
# DLLs use them, and one copy of the runtime per process keeps exceptions and the heap whole.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SENTREL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SENTREL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SENTREL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SENTREL_MINGW_PREFIX}-windres)

# The libraries built for this target (Qt, SDL2, SQLite) are looked for in the cache
# folder first; SENTREL_WIN_PREFIXES is a list given on the command line.
set(CMAKE_FIND_ROOT_PATH ${SENTREL_WIN_PREFIXES} /usr/${SENTREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SENTREL_WIN_PREFIXES)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
