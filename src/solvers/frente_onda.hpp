// The wavefront order of the point-iterative sweep, for one array (escalar)
// or for x and y side by side (par), whose two lanes take the same
// coefficients and go through the same operations at once.
//
// Written as the plain loop, every update waits for the one before it (its
// west neighbour), so the processor idles through the latency of eight
// multiplications, seven additions and a division per vertex. The updates are
// done instead along a wavefront: vertex (i, j) needs the new values of
// (i - 1, j), (i - 1, j - 1), (i, j - 1) and (i + 1, j - 1) and the old values
// of its other four neighbours, so a row can run two columns behind the row
// before it, and the first row of the next sweep two columns behind the last
// row of this one. Several rows are kept in flight, their updates independent
// of each other, while every vertex still sees exactly the values the plain
// loop would give it and computes them with the same operations in the same
// order: the results are the same to the bit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "solvers/equacao_ponto.hpp"
#include "variaveis/numeracao.hpp"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define MALHAS_PAR_SSE2 1
#endif

namespace solvers::frente {

// x and y of one vertex, side by side. Each lane is an IEEE double operation
// of its own, rounded as the scalar one is (SSE2 is the arithmetic of every
// x86 build), so a lane gives the bits one array would.
#if defined(MALHAS_PAR_SSE2)
struct par {
    static constexpr int largura = 2;
    using valor = __m128d;
    static valor carrega(const double* p) { return _mm_loadu_pd(p); }
    static valor coeficiente(const double* a) { return _mm_load1_pd(a); }
    // Two stores of a double each: a store of the vector type may alias
    // anything, and the compiler would reload every pointer after it.
    static void guarda(double* p, valor v) {
        _mm_storel_pd(p, v);
        _mm_storeh_pd(p + 1, v);
    }
    static valor mul(valor a, valor b) { return _mm_mul_pd(a, b); }
    static valor soma(valor a, valor b) { return _mm_add_pd(a, b); }
    static valor div(valor a, valor b) { return _mm_div_pd(a, b); }
};
#else
struct par {
    static constexpr int largura = 2;
    struct valor {
        double a, b;
    };
    static valor carrega(const double* p) { return {p[0], p[1]}; }
    static valor coeficiente(const double* c) { return {*c, *c}; }
    static void guarda(double* p, valor v) {
        p[0] = v.a;
        p[1] = v.b;
    }
    static valor mul(valor u, valor w) { return {u.a * w.a, u.b * w.b}; }
    static valor soma(valor u, valor w) { return {u.a + w.a, u.b + w.b}; }
    static valor div(valor u, valor w) { return {u.a / w.a, u.b / w.b}; }
};
#endif

// The nine coefficients of a vertex side by side, in the order the sum uses
// them: one stream instead of nine, and one pointer per row in flight.
constexpr int coeficientes_por_vertice = 9;

// One sweep's array and coefficients: vertex v at phi + v * T::largura; the
// packed coefficients of interior vertex (i, j) at
// pacote + ((j - 2) * m + (i - 2)) * coeficientes_por_vertice, when packed.
struct malha_varrida {
    double* phi;
    coeficientes c;
    const double* pacote;  // null: the coefficients are read from c
    std::int64_t n_ksi;    // vertices per row
    std::int64_t m;        // interior columns
    std::int64_t linhas;   // interior rows (eta indices 2 to linhas + 1)
};

// One vertex at p; w is the value of its west neighbour, already in a
// register; a its packed coefficients.
template <class T>
inline typename T::valor atualiza_empacotado(double* p, const double* a, std::int64_t passo,
                                             typename T::valor w) {
    const auto novo = equacao_ponto<T>([&](int k) { return T::coeficiente(a + k); },
                                       [&](int k) { return vizinho<T>(p, passo, k); }, w);
    T::guarda(p, novo);
    return novo;
}

// The same with the coefficients of vertex v read from their arrays.
template <class T>
inline typename T::valor atualiza(double* phi, const coeficientes& c, std::int64_t v, std::int64_t n_ksi,
                                  typename T::valor w) {
    const auto novo = atualizacao<T>(phi, c, v, n_ksi, w);
    T::guarda(phi + v * T::largura, novo);
    return novo;
}

// Rows in flight. Each keeps its west value in a register.
constexpr int linhas_em_voo = 4;

// K consecutive rows of the sweep order, row r two columns behind row r - 1,
// over the m interior columns; oeste(r) is the value west of the first
// column of row r, atualiza_em(r, i, w) updates column i (from 0) of row r
// and returns the new value. The west values are local here, where no store
// to the mesh can alias them, so that they stay in registers.
template <class T, int K, class O, class F>
void faixa(std::int64_t m, O&& oeste, F&& atualiza_em) {
    typename T::valor w[K];
    for (int r = 0; r < K; ++r)
        w[r] = oeste(r);
    const std::int64_t passos = m + 2 * (K - 1);
    const std::int64_t pleno_de = 2 * (K - 1), pleno_ate = m;  // steps in which every row has a column
    std::int64_t t = 0;
    for (; t < std::min(pleno_de, passos); ++t) {
        for (int r = 0; r < K; ++r) {
            const std::int64_t i = t - 2 * r;
            if (i >= 0 && i < m) w[r] = atualiza_em(r, i, w[r]);
        }
    }
    for (; t < pleno_ate; ++t) {
        for (int r = 0; r < K; ++r)
            w[r] = atualiza_em(r, t - 2 * r, w[r]);
    }
    for (; t < passos; ++t) {
        for (int r = 0; r < K; ++r) {
            const std::int64_t i = t - 2 * r;
            if (i >= 0 && i < m) w[r] = atualiza_em(r, i, w[r]);
        }
    }
}

// K rows (their eta indices) through the wavefront. The updates capture what
// they use by value: held by reference, the pointers would be reloaded after
// every store to the mesh, which the compiler cannot prove does not reach them.
template <class T, int K>
void faixa_de(const malha_varrida& mv, const std::int64_t (&linha)[K]) {
    constexpr int l = T::largura;
    std::int64_t inicio[K];
    for (int r = 0; r < K; ++r)
        inicio[r] = (linha[r] - 1) * mv.n_ksi + 2;
    auto oeste_de = [&](int r) { return T::carrega(mv.phi + (inicio[r] - 1) * l); };
    if (mv.pacote != nullptr) {
        double* p[K];
        const double* a[K];
        for (int r = 0; r < K; ++r) {
            p[r] = mv.phi + inicio[r] * l;
            a[r] = mv.pacote + (linha[r] - 2) * mv.m * coeficientes_por_vertice;
        }
        const std::int64_t passo = mv.n_ksi * l;
        faixa<T, K>(mv.m, oeste_de, [=](int r, std::int64_t i, typename T::valor oeste) {
            return atualiza_empacotado<T>(p[r] + i * l, a[r] + i * coeficientes_por_vertice, passo, oeste);
        });
    } else {
        double* const phi = mv.phi;
        const coeficientes c = mv.c;
        const std::int64_t n_ksi = mv.n_ksi;
        faixa<T, K>(mv.m, oeste_de, [=](int r, std::int64_t i, typename T::valor oeste) {
            return atualiza<T>(phi, c, inicio[r] + i, n_ksi, oeste);
        });
    }
}

// The coefficients of the interior vertices packed for the sweeps, at destino
// (m * linhas * coeficientes_por_vertice doubles).
inline void empacota(const coeficientes& c, std::int64_t n_ksi, std::int64_t m, std::int64_t linhas,
                     double* destino) {
    for (std::int64_t j = 2; j <= linhas + 1; ++j) {
        for (std::int64_t i = 2; i <= m + 1; ++i) {
            const std::int64_t v = variaveis::numero_vertice(i, j, n_ksi);
            const double a[coeficientes_por_vertice] = {c.asw[v], c.as[v],  c.an[v],  c.anw[v], c.aw[v],
                                                        c.ae[v],  c.ase[v], c.ane[v], c.ap[v]};
            std::copy(a, a + coeficientes_por_vertice, destino);
            destino += coeficientes_por_vertice;
        }
    }
}

// Repacking reads and writes every coefficient once; it pays when the
// sweeps are several, and it is done only while the copy stays small. When
// it pays, the coefficients of mv go to pacote and mv reads them from there.
inline void empacota_se_compensa(malha_varrida& mv, std::int64_t niter_solver, std::vector<double>& pacote) {
    constexpr std::int64_t limite_pacote = std::int64_t{8} << 20;
    const std::int64_t n = mv.m * mv.linhas * coeficientes_por_vertice;
    if (niter_solver < 4 || n * static_cast<std::int64_t>(sizeof(double)) > limite_pacote) return;
    pacote.resize(static_cast<std::size_t>(n));
    empacota(mv.c, mv.n_ksi, mv.m, mv.linhas, pacote.data());
    mv.pacote = pacote.data();
}

// How many successive sweeps advance together through the mesh. Sweep s + 1
// runs two rows and two columns behind sweep s, so the rows that the group of
// sweeps works on stay in the cache and their coefficients are fetched once per
// group instead of once per sweep. The group is kept to what half of a
// typical second-level cache holds: two rows per sweep of phi and the nine
// coefficients.
template <class T>
std::int64_t varreduras_por_grupo(std::int64_t n_ksi, std::int64_t niter_solver) {
    constexpr std::int64_t bytes_cache = std::int64_t{1} << 20;
    constexpr std::int64_t bytes_por_vertice = (coeficientes_por_vertice + T::largura) * sizeof(double);
    const std::int64_t por_linha = std::max<std::int64_t>(1, n_ksi * bytes_por_vertice);
    const std::int64_t cabem = bytes_cache / (2 * por_linha);
    return std::clamp<std::int64_t>(cabem, 1, std::min<std::int64_t>(niter_solver, 16));
}

// One group of g successive sweeps. Row j of sweep s (counted from 0) is
// taken in the order of j + 2s: each row then depends only on rows taken
// before it, which are at least two columns ahead, and rows of equal rank do
// not touch each other. The rows of that order go through the wavefront K at
// a time, the last few one by one.
//
// Before a band that holds rows of the group's first sweep, espera(j) is
// called with the highest of them: the sweep before the group must have
// passed row j + 1 by then. After a band that holds rows of the group's last
// sweep, avancou(j) is called with the highest of them.
template <class T, class Espera, class Avancou>
void varre_grupo(const malha_varrida& mv, std::int64_t g, Espera&& espera, Avancou&& avancou) {
    std::int64_t pendentes[linhas_em_voo], varredura[linhas_em_voo];
    int n_pendentes = 0;
    auto passa = [&](auto&& executa, int de, int ate) {
        std::int64_t primeira = 0, ultima = 0;
        for (int k = de; k < ate; ++k) {
            if (varredura[k] == 0) primeira = std::max(primeira, pendentes[k]);
            if (varredura[k] == g - 1) ultima = std::max(ultima, pendentes[k]);
        }
        if (primeira != 0) espera(primeira);
        executa();
        if (ultima != 0) avancou(ultima);
    };
    for (std::int64_t rank = 2; rank <= mv.linhas + 1 + 2 * (g - 1); ++rank) {
        for (std::int64_t s = std::min(g - 1, (rank - 2) / 2); s >= 0; --s) {
            const std::int64_t j = rank - 2 * s;
            if (j > mv.linhas + 1) break;
            pendentes[n_pendentes] = j;
            varredura[n_pendentes] = s;
            if (++n_pendentes == linhas_em_voo) {
                passa([&] { faixa_de<T, linhas_em_voo>(mv, pendentes); }, 0, linhas_em_voo);
                n_pendentes = 0;
            }
        }
    }
    for (int k = 0; k < n_pendentes; ++k) {
        const std::int64_t uma[1] = {pendentes[k]};
        passa([&] { faixa_de<T, 1>(mv, uma); }, k, k + 1);
    }
}

}  // namespace solvers::frente
