# Cross-build for 32-bit x86 Linux (Debian: g++-i686-linux-gnu): the 32-bit
# arithmetic of the Win32 build (SSE2 doubles, 64-bit integers in 32-bit
# halves) on any x86-64 Linux machine:
#   cmake -S . -B build-i686 --toolchain cmake/linux-i686.cmake
# Its programs run natively where the kernel executes 32-bit programs, or
# under an emulator named by MALHAS_EMULADOR_I686 (a ;-list), e.g.
#   -DMALHAS_EMULADOR_I686=/usr/bin/qemu-i386-static
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Linked statically: a 64-bit machine seldom has the i386 C library in /lib,
# and a dynamic program run by "qemu-i386-static -L /usr/i686-linux-gnu"
# takes that folder's loader but, through /etc/ld.so.cache, the libc.so.6 of
# libc6:i386 where that is installed (wine32 brings it): two glibc builds,
# and the first pthread_create loops for ever. A static one runs anywhere.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(MALHAS_EMULADOR_I686 "" CACHE STRING "Command that runs the 32-bit programs (empty: run natively)")
if(MALHAS_EMULADOR_I686)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MALHAS_EMULADOR_I686})
endif()
