# The kernels of the smoothing's arithmetic (src/tempo_execucao/nucleos.hpp):
# the sources given to malhas_nucleos are compiled once per kernel this build
# can hold, each compilation with its kernel's instruction set and the
# definition MALHAS_NUCLEO_<KERNEL>, and their objects go into the target.
# The runtime layer defines MALHAS_COM_<KERNEL> for each, for every module
# above it (generico, the plain C++ one, has none). At run time only the
# kernels the processor can run are used (nucleos.cpp), so the wider
# instructions never reach a processor without them.
#
#   generico  everywhere
#   sse2      every x86 build (the 32-bit ones are SSE2 builds already)
#   avx2      x86 with g++ or clang++ (-mavx2), or MSVC on x64 (/arch:AVX2)
#   avx512    likewise (-mavx512f, /arch:AVX512): Foundation instructions only
#
# No kernel is given -mfma: with malhas_aritmetica's -ffp-contract=off the
# compiler could not contract anyway, and without the instruction set it
# cannot even be tempted.
#
# MinGW-w64's g++ assumes the stack of a 64-bit Windows function is aligned
# to the vector it spills there, which Windows does not promise beyond 16
# bytes, and its aligned moves of a 32- or 64-byte register then fault. The
# assembler is told to write those moves unaligned (binutils 2.38 or later):
# as fast on aligned data, and correct on the rest.

set(malhas_nucleos_compilados generico)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^([xX]86_64|[aA][mM][dD]64|[iI][3-6]86|[xX]86)$")
  list(APPEND malhas_nucleos_compilados sse2)
  # MSVC cannot pass the wider vectors by value on 32-bit x86.
  if(NOT (MSVC AND CMAKE_SIZEOF_VOID_P EQUAL 4))
    list(APPEND malhas_nucleos_compilados avx2 avx512)
  endif()
endif()

# malhas_nucleos_compilados_em(ALVO): ALVO, and every target that links it,
# told of the kernels this build holds (MALHAS_COM_<KERNEL>).
function(malhas_nucleos_compilados_em alvo)
  foreach(nucleo IN LISTS malhas_nucleos_compilados)
    if(NOT nucleo STREQUAL "generico")
      string(TOUPPER ${nucleo} nome)
      target_compile_definitions(${alvo} PUBLIC MALHAS_COM_${nome})
    endif()
  endforeach()
endfunction()

# malhas_nucleos(ALVO SOURCES...): the sources compiled once per kernel into
# ALVO, each compilation seeing what ALVO sees (cmake/camadas.cmake).
function(malhas_nucleos alvo)
  foreach(nucleo IN LISTS malhas_nucleos_compilados)
    string(TOUPPER ${nucleo} nome)
    set(objetos ${alvo}_${nucleo})
    add_library(${objetos} OBJECT ${ARGN})
    target_include_directories(${objetos} PRIVATE $<TARGET_PROPERTY:${alvo},INCLUDE_DIRECTORIES>)
    target_compile_definitions(${objetos} PRIVATE $<TARGET_PROPERTY:${alvo},COMPILE_DEFINITIONS>)
    target_compile_definitions(${objetos} PRIVATE MALHAS_NUCLEO_${nome})
    target_link_libraries(${objetos} PRIVATE malhas_aritmetica malhas_avisos)
    if(nucleo STREQUAL "avx2" OR nucleo STREQUAL "avx512")
      if(MSVC)
        set(conjunto /arch:AVX2)
        if(nucleo STREQUAL "avx512")
          set(conjunto /arch:AVX512)
        endif()
        target_compile_options(${objetos} PRIVATE ${conjunto})
      else()
        set(conjunto -mavx2)
        if(nucleo STREQUAL "avx512")
          set(conjunto -mavx512f)
        endif()
        target_compile_options(${objetos} PRIVATE ${conjunto})
        if(WIN32)
          target_compile_options(${objetos} PRIVATE -Wa,-muse-unaligned-vector-move)
        endif()
      endif()
    endif()
    target_link_libraries(${alvo} PRIVATE ${objetos})
  endforeach()
endfunction()
