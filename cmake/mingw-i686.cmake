# Cross-build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686),
# tests run under Wine:
#   cmake -S . -B build-win32 --toolchain cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(malhas_wine_nomes wine)
set(malhas_triplo i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-comum.cmake)
