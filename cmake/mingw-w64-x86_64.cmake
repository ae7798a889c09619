# Cross build of the Windows executable with mingw-w64 for x86_64.
# x86_64 does its single-precision arithmetic in SSE2 registers, so the
# executable rounds exactly as the native build does (a 32-bit x87 build
# would not). The runtime is linked statically: one self-contained .exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTROVAN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTROVAN_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KESTROVAN_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${KESTROVAN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTROVAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
