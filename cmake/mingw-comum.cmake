# What the two MinGW-w64 toolchain files share; malhas_triplo names the
# target (i686-w64-mingw32 or x86_64-w64-mingw32).
# The "posix" thread model: in GCC 12 the default "win32" model of Debian's
# MinGW-w64 has no std::mutex or std::thread, which GoogleTest needs.
set(CMAKE_C_COMPILER ${malhas_triplo}-gcc-posix)
set(CMAKE_CXX_COMPILER ${malhas_triplo}-g++-posix)
set(CMAKE_RC_COMPILER ${malhas_triplo}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${malhas_triplo})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe each: the C++ runtime and the thread library linked
# in, so that neither a Windows desktop nor Wine needs MinGW's DLLs on PATH.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest starts the test programs through Wine's loader for the target's word
# size (malhas_wine_nomes), called by its own path: Debian's /usr/bin/wine
# starts the 32-bit loader for every program whenever wine32 is installed,
# 64-bit ones too, which fails on a machine whose kernel runs no 32-bit
# programs. Debian keeps the loaders in /usr/lib/wine, outside PATH; other
# systems put wine64, or one wine for both word sizes, on PATH.
find_program(MALHAS_WINE_CARREGADOR NAMES ${malhas_wine_nomes} wine HINTS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(MALHAS_WINE_CARREGADOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MALHAS_WINE_CARREGADOR})
endif()
