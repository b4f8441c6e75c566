# Cross-build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64),
# tests run under Wine:
#   cmake -S . -B build-win64 --toolchain cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(malhas_wine_nomes wine64)
set(malhas_triplo x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-comum.cmake)
