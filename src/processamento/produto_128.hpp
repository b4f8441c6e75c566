// The 128-bit product of two 64-bit integers, for the exact digits of the
// real fields. Every build takes the same exact path: the compiler's 128-bit
// integer where it has one (g++ and clang++ on 64-bit targets), the
// multiplication intrinsics of MSVC on x64 and ARM64, and otherwise (32-bit
// targets) four 32 x 32 -> 64-bit products. All give the same bits; the
// choice is made here and nowhere else.
#pragma once

#include <cstdint>

#if !defined(__SIZEOF_INT128__) && defined(_MSC_VER) && (defined(_M_X64) || defined(_M_ARM64))
#include <intrin.h>
#endif

namespace processamento {

struct produto_128 {
    std::uint64_t alto;
    std::uint64_t baixo;
};

// The product from its 32-bit halves: a = a1·2^32 + a0, b = b1·2^32 + b0.
constexpr produto_128 multiplica_por_metades(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32;
    const std::uint64_t b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    // The middle column: at most 3·(2^32 - 1), so it cannot overflow 64 bits.
    const std::uint64_t meio = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (meio >> 32), (meio << 32) | (p00 & 0xFFFFFFFFu)};
}

inline produto_128 multiplica_64x64(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
    const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
    return {static_cast<std::uint64_t>(p >> 64), static_cast<std::uint64_t>(p)};
#elif defined(_MSC_VER) && defined(_M_X64)
    std::uint64_t alto = 0;
    const std::uint64_t baixo = _umul128(a, b, &alto);
    return {alto, baixo};
#elif defined(_MSC_VER) && defined(_M_ARM64)
    return {__umulh(a, b), a * b};
#else
    return multiplica_por_metades(a, b);
#endif
}

// The low 64 bits of p shifted right by s bits, 0 <= s <= 127.
constexpr std::uint64_t desloca_128(produto_128 p, int s) {
    if (s == 0) return p.baixo;
    if (s < 64) return (p.alto << (64 - s)) | (p.baixo >> s);
    return p.alto >> (s - 64);
}

}  // namespace processamento
