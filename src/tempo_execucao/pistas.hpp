// Lanes: several doubles computed at once, each lane an IEEE double operation
// of its own, rounded exactly as the scalar operation on the same operands
// is. A kernel written against these types gives, lane by lane, the bits of
// the plain loop, as long as it applies the same operations in the same
// order: there is no fused multiply-add here, no reciprocal, and the build
// forbids the compiler to contract (cmake/opcoes.cmake).
//
// Each type holds largura doubles and offers the same static operations:
//   carrega, guarda        aligned load and store of largura doubles
//   carrega_u, guarda_u    the same at any address
//   difunde                one double in every lane
//   mul, soma, sub, div    lane by lane
//   troca_sinal            the sign flipped (as unary minus, -0 for 0)
//   sobe(a, h)             [*h, a0, ..., a(n-2)]: a moved up one lane
//   desce(a, h)            [a1, ..., a(n-1), *h]: a moved down one lane
//   mistura(bits, n, v)    lane r from n if bit r of bits is set, else from v
//   iguais(a, b)           whether every lane of a has the bits of b's
//   raiz, absoluto         square root and magnitude, lane by lane
//   menor(a, b)            std::min(a, b) lane by lane: b where b < a, else a
//   menor_que(a, b), maior_que(a, b), finitos(a)
//                          bit r set where lane r of a is less than (greater
//                          than) b's, is a finite number
//   transpoe(m)            the largura x largura matrix of largura vectors
//                          transposed: lane r of m[q] and lane q of m[r] swap
//
// The vector types exist only where the translation unit is compiled for
// their instructions; which of them a run uses is chosen once, by
// tempo_execucao/nucleos.hpp.
//
// A source compiled for a wider instruction set than the build's own must
// not share an inline function with the rest of the program: the linker keeps
// one copy of it, maybe the one with the wider instructions, which would then
// run on a processor without them. So everything here is declared in an
// inline namespace of the kernel the source is compiled for.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define MALHAS_PISTAS_SSE2 1
#include <emmintrin.h>
#endif
#if defined(__AVX2__) || defined(__AVX512F__)
#include <immintrin.h>
#endif

#if defined(MALHAS_NUCLEO_AVX512)
#define MALHAS_PISTAS_DE pistas_avx512_
#elif defined(MALHAS_NUCLEO_AVX2)
#define MALHAS_PISTAS_DE pistas_avx2_
#elif defined(MALHAS_NUCLEO_SSE2)
#define MALHAS_PISTAS_DE pistas_sse2_
#elif defined(MALHAS_NUCLEO_GENERICO)
#define MALHAS_PISTAS_DE pistas_generico_
#else
#define MALHAS_PISTAS_DE pistas_comuns_
#endif

namespace tempo_execucao {
inline namespace MALHAS_PISTAS_DE {

// Plain doubles: for processors without the vector instructions below, and,
// one wide, for the end of a row that a whole vector does not fill.
template <int N>
struct pistas_genericas {
    static constexpr int largura = N;
    struct valor {
        double d[N];
    };
    static valor carrega(const double* p) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = p[i];
        return v;
    }
    static valor carrega_u(const double* p) { return carrega(p); }
    static void guarda(double* p, const valor& v) {
        for (int i = 0; i < N; ++i)
            p[i] = v.d[i];
    }
    static void guarda_u(double* p, const valor& v) { guarda(p, v); }
    static valor difunde(double a) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = a;
        return v;
    }
    static valor mul(const valor& a, const valor& b) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = a.d[i] * b.d[i];
        return v;
    }
    static valor soma(const valor& a, const valor& b) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = a.d[i] + b.d[i];
        return v;
    }
    static valor sub(const valor& a, const valor& b) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = a.d[i] - b.d[i];
        return v;
    }
    static valor div(const valor& a, const valor& b) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = a.d[i] / b.d[i];
        return v;
    }
    static valor troca_sinal(const valor& a) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = -a.d[i];
        return v;
    }
    static valor sobe(const valor& a, const double* h) {
        valor v;
        v.d[0] = *h;
        for (int i = 1; i < N; ++i)
            v.d[i] = a.d[i - 1];
        return v;
    }
    static valor desce(const valor& a, const double* h) {
        valor v;
        for (int i = 0; i + 1 < N; ++i)
            v.d[i] = a.d[i + 1];
        v.d[N - 1] = *h;
        return v;
    }
    static valor mistura(unsigned bits, const valor& novo, const valor& velho) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = (bits >> i) & 1u ? novo.d[i] : velho.d[i];
        return v;
    }
    static bool iguais(const valor& a, const valor& b) { return std::memcmp(a.d, b.d, sizeof a.d) == 0; }
    static valor raiz(const valor& a) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = std::sqrt(a.d[i]);
        return v;
    }
    static valor absoluto(const valor& a) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = std::fabs(a.d[i]);
        return v;
    }
    static valor menor(const valor& a, const valor& b) {
        valor v;
        for (int i = 0; i < N; ++i)
            v.d[i] = b.d[i] < a.d[i] ? b.d[i] : a.d[i];
        return v;
    }
    static unsigned menor_que(const valor& a, const valor& b) {
        unsigned bits = 0;
        for (int i = 0; i < N; ++i)
            bits |= std::isless(a.d[i], b.d[i]) ? 1u << i : 0u;
        return bits;
    }
    static unsigned maior_que(const valor& a, const valor& b) { return menor_que(b, a); }
    static unsigned finitos(const valor& a) {
        unsigned bits = 0;
        for (int i = 0; i < N; ++i)
            bits |= std::isfinite(a.d[i]) ? 1u << i : 0u;
        return bits;
    }
    static void transpoe(valor (&m)[N]) {
        for (int q = 0; q < N; ++q)
            for (int r = q + 1; r < N; ++r) {
                const double a = m[q].d[r];
                m[q].d[r] = m[r].d[q];
                m[r].d[q] = a;
            }
    }
};

#if defined(MALHAS_PISTAS_SSE2)
// Two doubles: the arithmetic of every x86 build.
struct pistas_sse2 {
    static constexpr int largura = 2;
    using valor = __m128d;
    static valor carrega(const double* p) { return _mm_load_pd(p); }
    static valor carrega_u(const double* p) { return _mm_loadu_pd(p); }
    static void guarda(double* p, const valor& v) { _mm_store_pd(p, v); }
    static void guarda_u(double* p, const valor& v) { _mm_storeu_pd(p, v); }
    static valor difunde(double a) { return _mm_set1_pd(a); }
    static valor mul(const valor& a, const valor& b) { return _mm_mul_pd(a, b); }
    static valor soma(const valor& a, const valor& b) { return _mm_add_pd(a, b); }
    static valor sub(const valor& a, const valor& b) { return _mm_sub_pd(a, b); }
    static valor div(const valor& a, const valor& b) { return _mm_div_pd(a, b); }
    static valor troca_sinal(const valor& a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    static valor sobe(const valor& a, const double* h) { return _mm_unpacklo_pd(_mm_load_sd(h), a); }
    static valor desce(const valor& a, const double* h) { return _mm_shuffle_pd(a, _mm_load_sd(h), 1); }
    static valor mistura(unsigned bits, const valor& novo, const valor& velho) {
        const int b0 = -static_cast<int>(bits & 1u), b1 = -static_cast<int>((bits >> 1) & 1u);
        const valor m = _mm_castsi128_pd(_mm_set_epi32(b1, b1, b0, b0));
        return _mm_or_pd(_mm_and_pd(m, novo), _mm_andnot_pd(m, velho));
    }
    static bool iguais(const valor& a, const valor& b) {
        return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_castpd_si128(a), _mm_castpd_si128(b))) == 0xFFFF;
    }
    static valor raiz(const valor& a) { return _mm_sqrt_pd(a); }
    static valor absoluto(const valor& a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    static valor menor(const valor& a, const valor& b) { return _mm_min_pd(b, a); }
    // SSE2's less-than raises the invalid flag on a NaN, as the scalar
    // comparison does.
    static unsigned menor_que(const valor& a, const valor& b) {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(a, b)));
    }
    static unsigned maior_que(const valor& a, const valor& b) { return menor_que(b, a); }
    static unsigned finitos(const valor& a) {
        const valor infinito = _mm_set1_pd(HUGE_VAL);
        return static_cast<unsigned>(
            _mm_movemask_pd(_mm_and_pd(_mm_cmpeq_pd(a, a), _mm_cmpneq_pd(absoluto(a), infinito))));
    }
    static void transpoe(valor (&m)[2]) {
        const valor a = _mm_unpacklo_pd(m[0], m[1]), b = _mm_unpackhi_pd(m[0], m[1]);
        m[0] = a;
        m[1] = b;
    }
};
#endif

#if defined(__AVX2__)
// Four doubles.
struct pistas_avx2 {
    static constexpr int largura = 4;
    using valor = __m256d;
    static valor carrega(const double* p) { return _mm256_load_pd(p); }
    static valor carrega_u(const double* p) { return _mm256_loadu_pd(p); }
    static void guarda(double* p, const valor& v) { _mm256_store_pd(p, v); }
    static void guarda_u(double* p, const valor& v) { _mm256_storeu_pd(p, v); }
    static valor difunde(double a) { return _mm256_set1_pd(a); }
    static valor mul(const valor& a, const valor& b) { return _mm256_mul_pd(a, b); }
    static valor soma(const valor& a, const valor& b) { return _mm256_add_pd(a, b); }
    static valor sub(const valor& a, const valor& b) { return _mm256_sub_pd(a, b); }
    static valor div(const valor& a, const valor& b) { return _mm256_div_pd(a, b); }
    static valor troca_sinal(const valor& a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    // [a3, a0, a1, a2], then lane 0 from h.
    static valor sobe(const valor& a, const double* h) {
        return _mm256_blend_pd(_mm256_permute4x64_pd(a, 0x93), _mm256_broadcast_sd(h), 0x1);
    }
    // [a1, a2, a3, a0], then lane 3 from h.
    static valor desce(const valor& a, const double* h) {
        return _mm256_blend_pd(_mm256_permute4x64_pd(a, 0x39), _mm256_broadcast_sd(h), 0x8);
    }
    static valor mistura(unsigned bits, const valor& novo, const valor& velho) {
        const __m256i bit = _mm256_set_epi64x(8, 4, 2, 1);
        const __m256i m = _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(bits), bit), bit);
        return _mm256_blendv_pd(velho, novo, _mm256_castsi256_pd(m));
    }
    static bool iguais(const valor& a, const valor& b) {
        const __m256i m = _mm256_cmpeq_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b));
        return _mm256_movemask_pd(_mm256_castsi256_pd(m)) == 0xF;
    }
    static valor raiz(const valor& a) { return _mm256_sqrt_pd(a); }
    static valor absoluto(const valor& a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static valor menor(const valor& a, const valor& b) { return _mm256_min_pd(b, a); }
    static unsigned menor_que(const valor& a, const valor& b) {
        return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_LT_OQ)));
    }
    static unsigned maior_que(const valor& a, const valor& b) { return menor_que(b, a); }
    static unsigned finitos(const valor& a) { return menor_que(absoluto(a), _mm256_set1_pd(HUGE_VAL)); }
    // Pairs within each half, then the halves.
    static void transpoe(valor (&m)[4]) {
        const valor t0 = _mm256_unpacklo_pd(m[0], m[1]), t1 = _mm256_unpackhi_pd(m[0], m[1]);
        const valor t2 = _mm256_unpacklo_pd(m[2], m[3]), t3 = _mm256_unpackhi_pd(m[2], m[3]);
        m[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
        m[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
        m[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
        m[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
    }
};
#endif

#if defined(__AVX512F__)
// Eight doubles. Only AVX-512 Foundation instructions: every processor with
// AVX-512 has them.
struct pistas_avx512 {
    static constexpr int largura = 8;
    using valor = __m512d;
    static valor carrega(const double* p) { return _mm512_load_pd(p); }
    static valor carrega_u(const double* p) { return _mm512_loadu_pd(p); }
    static void guarda(double* p, const valor& v) { _mm512_store_pd(p, v); }
    static void guarda_u(double* p, const valor& v) { _mm512_storeu_pd(p, v); }
    static valor difunde(double a) { return _mm512_set1_pd(a); }
    static valor mul(const valor& a, const valor& b) { return _mm512_mul_pd(a, b); }
    static valor soma(const valor& a, const valor& b) { return _mm512_add_pd(a, b); }
    static valor sub(const valor& a, const valor& b) { return _mm512_sub_pd(a, b); }
    static valor div(const valor& a, const valor& b) { return _mm512_div_pd(a, b); }
    static valor troca_sinal(const valor& a) {
        return _mm512_castsi512_pd(
            _mm512_xor_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(_mm512_set1_pd(-0.0))));
    }
    // Eight of the sixteen lanes of h..., a (sobe) and of a, h... (desce).
    // With every lane selected: the plain form leaves its unused source
    // undefined, which g++ 12 takes for a read of an uninitialised value.
    static valor sobe(const valor& a, const double* h) {
        const __m512i v = _mm512_castpd_si512(a);
        return _mm512_castsi512_pd(
            _mm512_mask_alignr_epi64(v, 0xFF, v, _mm512_castpd_si512(_mm512_set1_pd(*h)), 7));
    }
    static valor desce(const valor& a, const double* h) {
        const __m512i v = _mm512_castpd_si512(a);
        return _mm512_castsi512_pd(
            _mm512_mask_alignr_epi64(v, 0xFF, _mm512_castpd_si512(_mm512_set1_pd(*h)), v, 1));
    }
    static valor mistura(unsigned bits, const valor& novo, const valor& velho) {
        return _mm512_mask_blend_pd(static_cast<__mmask8>(bits), velho, novo);
    }
    static bool iguais(const valor& a, const valor& b) {
        return _mm512_cmpeq_epi64_mask(_mm512_castpd_si512(a), _mm512_castpd_si512(b)) == 0xFF;
    }
    // With every lane selected, as above.
    static valor raiz(const valor& a) { return _mm512_mask_sqrt_pd(a, 0xFF, a); }
    static valor absoluto(const valor& a) {
        const __m512i v = _mm512_castpd_si512(a);
        return _mm512_castsi512_pd(
            _mm512_mask_andnot_epi64(v, 0xFF, _mm512_castpd_si512(_mm512_set1_pd(-0.0)), v));
    }
    static valor menor(const valor& a, const valor& b) { return _mm512_mask_min_pd(a, 0xFF, b, a); }
    static unsigned menor_que(const valor& a, const valor& b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static unsigned maior_que(const valor& a, const valor& b) { return menor_que(b, a); }
    static unsigned finitos(const valor& a) { return menor_que(absoluto(a), _mm512_set1_pd(HUGE_VAL)); }
    // Pairs within each quarter, then quarters of four vectors, then of all.
    // With every lane selected, as above.
    static void transpoe(valor (&m)[8]) {
        valor t[8], u[8];
        for (int i = 0; i < 8; i += 2) {
            t[i] = _mm512_mask_unpacklo_pd(m[i], 0xFF, m[i], m[i + 1]);
            t[i + 1] = _mm512_mask_unpackhi_pd(m[i], 0xFF, m[i], m[i + 1]);
        }
        for (int i = 0; i < 8; i += 4) {
            u[i] = _mm512_mask_shuffle_f64x2(t[i], 0xFF, t[i], t[i + 2], 0x88);
            u[i + 1] = _mm512_mask_shuffle_f64x2(t[i], 0xFF, t[i + 1], t[i + 3], 0x88);
            u[i + 2] = _mm512_mask_shuffle_f64x2(t[i], 0xFF, t[i], t[i + 2], 0xDD);
            u[i + 3] = _mm512_mask_shuffle_f64x2(t[i], 0xFF, t[i + 1], t[i + 3], 0xDD);
        }
        for (int i = 0; i < 4; ++i) {
            m[i] = _mm512_mask_shuffle_f64x2(u[i], 0xFF, u[i], u[i + 4], 0x88);
            m[i + 4] = _mm512_mask_shuffle_f64x2(u[i], 0xFF, u[i], u[i + 4], 0xDD);
        }
    }
};
#endif

// The loop of every kernel along a row: f.template operator()<P>(k) for k
// from de by whole vectors of P while one fits up to ate, then the rest one
// vertex at a time, plain.
template <class P, class F>
inline void em_pistas(std::int64_t de, std::int64_t ate, F&& f) {
    std::int64_t k = de;
    for (; k + P::largura - 1 <= ate; k += P::largura)
        f.template operator()<P>(k);
    for (; k <= ate; ++k)
        f.template operator()<pistas_genericas<1>>(k);
}

}  // namespace MALHAS_PISTAS_DE
}  // namespace tempo_execucao
