// The kernels of the smoothing's arithmetic: the same loops compiled for
// several widths of the processor's vector lanes (tempo_execucao/pistas.hpp),
// and the one a run uses. Every kernel gives the same bits; they differ only
// in speed, so the widest one the processor and the system can run is
// chosen, once per run.
#pragma once

namespace tempo_execucao {

// From the narrowest to the widest. generico is plain C++ (two doubles at
// a time), built everywhere; the others exist where the build compiled them:
// sse2 on every x86 build, avx2 and avx512 where the compiler can target them.
enum class nucleo : int { generico = 0, sse2 = 1, avx2 = 2, avx512 = 3 };
inline constexpr nucleo nucleos[] = {nucleo::generico, nucleo::sse2, nucleo::avx2, nucleo::avx512};

// Its name, as MALHAS_NUCLEO takes it: "generico", "sse2", "avx2", "avx512".
const char* nome_nucleo(nucleo n);

// Whether this build holds the kernel and the processor and the system (which
// must save the wider registers on a thread switch) can run it.
bool nucleo_disponivel(nucleo n);

// The kernel of this run: the one the environment variable MALHAS_NUCLEO
// names, when it names one that is available (for tests and timings), else
// the widest available. Read once.
nucleo nucleo_da_execucao();

}  // namespace tempo_execucao

// A module's function compiled once per kernel lives in the namespaces
// espaco::generico, espaco::sse2, espaco::avx2 and espaco::avx512 (its source
// compiled once per kernel, see cmake/nucleos.cmake). These declare it for
// every kernel and call it on kernel n: the portable one for a kernel this
// build did not compile.
#define MALHAS_DECLARA_NOS_NUCLEOS(declaracao) \
    namespace generico {                       \
    declaracao;                                \
    }                                          \
    namespace sse2 {                           \
    declaracao;                                \
    }                                          \
    namespace avx2 {                           \
    declaracao;                                \
    }                                          \
    namespace avx512 {                         \
    declaracao;                                \
    }

#if defined(MALHAS_COM_AVX512)
#define MALHAS_CASO_AVX512(espaco, chamada) \
    case ::tempo_execucao::nucleo::avx512:  \
        return espaco::avx512::chamada;
#else
#define MALHAS_CASO_AVX512(espaco, chamada)
#endif
#if defined(MALHAS_COM_AVX2)
#define MALHAS_CASO_AVX2(espaco, chamada) \
    case ::tempo_execucao::nucleo::avx2:  \
        return espaco::avx2::chamada;
#else
#define MALHAS_CASO_AVX2(espaco, chamada)
#endif
#if defined(MALHAS_COM_SSE2)
#define MALHAS_CASO_SSE2(espaco, chamada) \
    case ::tempo_execucao::nucleo::sse2:  \
        return espaco::sse2::chamada;
#else
#define MALHAS_CASO_SSE2(espaco, chamada)
#endif
#define MALHAS_NO_NUCLEO(n, espaco, chamada)  \
    switch (n) {                              \
        MALHAS_CASO_AVX512(espaco, chamada)   \
        MALHAS_CASO_AVX2(espaco, chamada)     \
        MALHAS_CASO_SSE2(espaco, chamada)     \
        default:                              \
            return espaco::generico::chamada; \
    }
