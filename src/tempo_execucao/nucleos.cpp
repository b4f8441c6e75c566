#include "tempo_execucao/nucleos.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <intrin.h>
#define MALHAS_X86 1
#elif (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#define MALHAS_X86 1
#endif

namespace tempo_execucao {

namespace {

#if defined(MALHAS_X86)
struct registros_cpuid {
    std::uint32_t a = 0, b = 0, c = 0, d = 0;
};

registros_cpuid cpuid(std::uint32_t folha, std::uint32_t subfolha) {
    registros_cpuid r;
#if defined(_MSC_VER)
    int v[4];
    __cpuidex(v, static_cast<int>(folha), static_cast<int>(subfolha));
    r = {static_cast<std::uint32_t>(v[0]), static_cast<std::uint32_t>(v[1]), static_cast<std::uint32_t>(v[2]),
         static_cast<std::uint32_t>(v[3])};
#else
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_count(folha, subfolha, &a, &b, &c, &d) != 0) r = {a, b, c, d};
#endif
    return r;
}

// Which register states the system saves on a thread switch (XCR0).
std::uint64_t estados_salvos() {
#if defined(_MSC_VER)
    return _xgetbv(0);
#else
    std::uint32_t baixo = 0, alto = 0;
    __asm__ volatile("xgetbv" : "=a"(baixo), "=d"(alto) : "c"(0));
    return (static_cast<std::uint64_t>(alto) << 32) | baixo;
#endif
}

struct capacidades {
    bool avx2 = false, avx512 = false;
};

capacidades do_processador() {
    capacidades c;
    if (cpuid(0, 0).a < 7) return c;
    const registros_cpuid r1 = cpuid(1, 0), r7 = cpuid(7, 0);
    const bool osxsave = (r1.c >> 27) & 1u, avx = (r1.c >> 28) & 1u;
    if (!osxsave || !avx) return c;
    const std::uint64_t xcr0 = estados_salvos();
    // SSE and AVX registers saved; for AVX-512 also the mask registers and
    // the upper halves and upper sixteen of the vector registers.
    const bool salva_ymm = (xcr0 & 0x6) == 0x6, salva_zmm = (xcr0 & 0xE6) == 0xE6;
    c.avx2 = salva_ymm && ((r7.b >> 5) & 1u);
    c.avx512 = c.avx2 && salva_zmm && ((r7.b >> 16) & 1u);
    return c;
}
#endif

bool compilado(nucleo n) {
    switch (n) {
        case nucleo::generico:
            return true;
        case nucleo::sse2:
#if defined(MALHAS_COM_SSE2)
            return true;
#else
            return false;
#endif
        case nucleo::avx2:
#if defined(MALHAS_COM_AVX2)
            return true;
#else
            return false;
#endif
        case nucleo::avx512:
#if defined(MALHAS_COM_AVX512)
            return true;
#else
            return false;
#endif
    }
    return false;
}

}  // namespace

const char* nome_nucleo(nucleo n) {
    switch (n) {
        case nucleo::generico:
            return "generico";
        case nucleo::sse2:
            return "sse2";
        case nucleo::avx2:
            return "avx2";
        case nucleo::avx512:
            return "avx512";
    }
    return "?";
}

bool nucleo_disponivel(nucleo n) {
    if (!compilado(n)) return false;
#if defined(MALHAS_X86)
    static const capacidades c = do_processador();
    if (n == nucleo::avx2) return c.avx2;
    if (n == nucleo::avx512) return c.avx512;
#endif
    return true;  // generico anywhere; sse2 is part of every x86 build
}

nucleo nucleo_da_execucao() {
    static const nucleo escolhido = [] {
        if (const char* nome = std::getenv("MALHAS_NUCLEO")) {
            for (nucleo n : nucleos)
                if (std::strcmp(nome, nome_nucleo(n)) == 0 && nucleo_disponivel(n)) return n;
        }
        nucleo melhor = nucleo::generico;
        for (nucleo n : nucleos)
            if (nucleo_disponivel(n)) melhor = n;
        return melhor;
    }();
    return escolhido;
}

}  // namespace tempo_execucao
