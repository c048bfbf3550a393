# Cross-building the Windows programs on Debian with mingw-w64 (posix threads). The tests run
# under Wine, so ctest works as on Linux.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TREADLE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TREADLE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TREADLE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TREADLE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TREADLE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable each, with no compiler runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TREADLE_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TREADLE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run --retry)
endif()
