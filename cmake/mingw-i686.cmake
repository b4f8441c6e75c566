# Cross-build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686),
# tests run under Wine:
#   cmake -S . -B build-win32 --toolchain cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(malhas_triplo i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-comum.cmake)

# Doubles in SSE2 registers: the x87 default computes in extended precision
# and would round differently from the other builds, changing the result
# files. Windows only promises a 4-byte aligned stack to callbacks such as
# the exception handler, so functions that spill SSE values realign it.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
