# 64-bit Windows with mingw-w64 (posix thread model: GoogleTest needs it). Programs run under
# 64-bit wine, in a prefix of their own: a prefix that the 32-bit wine made cannot run them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's wine64 package puts the 64-bit loader here and not on the PATH.
find_program(VARNEL_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNEL_WINE})
