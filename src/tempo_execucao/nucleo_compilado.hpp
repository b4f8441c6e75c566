// For the sources compiled once per kernel (malhas_nucleos in CMakeLists.txt,
// which defines one of MALHAS_NUCLEO_GENERICO, _SSE2, _AVX2 and _AVX512 and
// gives the compiler that kernel's instruction set): MALHAS_NUCLEO is the
// kernel's name, which such a source uses as the namespace of what it
// defines, and tempo_execucao::MALHAS_NUCLEO::pistas its lanes. Such a source
// shares no inline function that computes with doubles with the rest of the
// program (see pistas.hpp): what it takes from common headers is integer
// arithmetic only, which no instruction set changes.
#pragma once

#include "tempo_execucao/pistas.hpp"

// For the steps of a kernel's inner loop: inlined whatever the compiler's
// estimate, so that the values they carry from step to step stay in
// registers instead of going through memory at every call.
#if defined(_MSC_VER) && !defined(__clang__)
#define MALHAS_SEMPRE_INLINE __forceinline
#else
#define MALHAS_SEMPRE_INLINE inline __attribute__((always_inline))
#endif

#if defined(MALHAS_NUCLEO_AVX512)
#define MALHAS_NUCLEO avx512
namespace tempo_execucao::avx512 {
using pistas = pistas_avx512;
}
#elif defined(MALHAS_NUCLEO_AVX2)
#define MALHAS_NUCLEO avx2
namespace tempo_execucao::avx2 {
using pistas = pistas_avx2;
}
#elif defined(MALHAS_NUCLEO_SSE2)
#define MALHAS_NUCLEO sse2
namespace tempo_execucao::sse2 {
using pistas = pistas_sse2;
}
#elif defined(MALHAS_NUCLEO_GENERICO)
#define MALHAS_NUCLEO generico
namespace tempo_execucao::generico {
using pistas = pistas_genericas<2>;
}
#else
#error "a kernel source compiled without its kernel (see malhas_nucleos in CMakeLists.txt)"
#endif
