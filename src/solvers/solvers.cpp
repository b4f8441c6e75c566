// The point-iterative sweep.
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
#include "solvers/solvers.hpp"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace solvers {

namespace {

struct coeficientes {
    const double* ap;
    const double* ae;
    const double* aw;
    const double* an;
    const double* as;
    const double* ane;
    const double* anw;
    const double* ase;
    const double* asw;
};

// One vertex v; w is the value of its west neighbour, already in a register.
// The sum is accumulated strictly left to right, then one division.
inline double atualiza(double* phi, const coeficientes& c, std::int64_t v, std::int64_t n_ksi, double w) {
    const std::int64_t n = v + n_ksi, s = v - n_ksi;
    const double soma = c.asw[v] * phi[s - 1] + c.as[v] * phi[s] + c.an[v] * phi[n] + c.anw[v] * phi[n - 1] +
                        c.aw[v] * w + c.ae[v] * phi[v + 1] + c.ase[v] * phi[s + 1] + c.ane[v] * phi[n + 1];
    const double novo = soma / c.ap[v];
    phi[v] = novo;
    return novo;
}

// The nine coefficients of a vertex side by side, in the order the sum uses
// them: one stream instead of nine, and one pointer per row in flight.
constexpr int coeficientes_por_vertice = 9;

inline double atualiza_empacotado(double* p, const double* a, std::int64_t n_ksi, double w) {
    const double soma = a[0] * p[-n_ksi - 1] + a[1] * p[-n_ksi] + a[2] * p[n_ksi] + a[3] * p[n_ksi - 1] +
                        a[4] * w + a[5] * p[1] + a[6] * p[-n_ksi + 1] + a[7] * p[n_ksi + 1];
    const double novo = soma / a[8];
    *p = novo;
    return novo;
}

// Rows in flight. Each keeps its west value in a register.
constexpr int linhas_em_voo = 4;

// K consecutive rows of the sweep order, row r two columns behind row r - 1,
// over the m interior columns; atualiza_em(r, i, w) updates column i (from 0)
// of row r and returns the new value.
template <int K, class F>
void faixa(std::int64_t m, double (&w)[K], F&& atualiza_em) {
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

// How many successive sweeps advance together through the mesh. Sweep s + 1
// runs two rows and two columns behind sweep s, so the rows that the group of
// sweeps works on stay in the cache and their coefficients are fetched once per
// group instead of once per sweep. The group is kept to what half of a
// typical second-level cache holds: two rows per sweep of phi and the nine
// coefficients.
std::int64_t varreduras_por_grupo(std::int64_t n_ksi, std::int32_t niter_solver) {
    constexpr std::int64_t bytes_cache = std::int64_t{1} << 20;
    constexpr std::int64_t bytes_por_vertice = 10 * sizeof(double);
    const std::int64_t por_linha = std::max<std::int64_t>(1, n_ksi * bytes_por_vertice);
    const std::int64_t cabem = bytes_cache / (2 * por_linha);
    return std::clamp<std::int64_t>(cabem, 1, std::min<std::int64_t>(niter_solver, 16));
}

}  // namespace

void gauss_seidel(double* phi, const double* ap, const double* ae, const double* aw, const double* an,
                  const double* as, const double* ane, const double* anw, const double* ase,
                  const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                  std::int32_t niter_solver) {
    const std::int64_t n_ksi = nvert_ksi;
    const std::int64_t m = n_ksi - 2;                                      // interior columns
    const std::int64_t linhas = static_cast<std::int64_t>(nvert_eta) - 2;  // interior rows
    if (niter_solver <= 0 || m <= 0 || linhas <= 0) return;
    const coeficientes c{ap, ae, aw, an, as, ane, anw, ase, asw};
    const std::int64_t grupo = varreduras_por_grupo(n_ksi, niter_solver);

    // Repacking reads and writes every coefficient once; it pays when the
    // sweeps are several, and it is done only while the copy stays small.
    constexpr std::int64_t limite_pacote = std::int64_t{8} << 20;
    const std::int64_t bytes_pacote =
        m * linhas * coeficientes_por_vertice * static_cast<std::int64_t>(sizeof(double));
    const bool empacotar = niter_solver >= 4 && bytes_pacote <= limite_pacote;
    // Scratch only, kept to spare the allocation at every call; one per
    // thread, since the sweeps of x and y may run at once.
    thread_local std::vector<double> pacote;
    if (empacotar) {
        pacote.resize(static_cast<std::size_t>(m * linhas * coeficientes_por_vertice));
        double* destino = pacote.data();
        for (std::int64_t j = 2; j <= linhas + 1; ++j) {
            for (std::int64_t i = 2; i <= m + 1; ++i) {
                const std::int64_t v = (j - 1) * n_ksi + i;
                const double a[coeficientes_por_vertice] = {asw[v], as[v],  an[v],  anw[v], aw[v],
                                                            ae[v],  ase[v], ane[v], ap[v]};
                std::copy(a, a + coeficientes_por_vertice, destino);
                destino += coeficientes_por_vertice;
            }
        }
    }

    // K rows (their eta indices) through the wavefront.
    auto faixa_de = [&]<int K>(const std::int64_t(&linha)[K]) {
        double w[K];
        std::int64_t inicio[K];
        for (int r = 0; r < K; ++r) {
            inicio[r] = (linha[r] - 1) * n_ksi + 2;
            w[r] = phi[inicio[r] - 1];
        }
        if (empacotar) {
            double* p[K];
            const double* a[K];
            for (int r = 0; r < K; ++r) {
                p[r] = phi + inicio[r];
                a[r] = pacote.data() + (linha[r] - 2) * m * coeficientes_por_vertice;
            }
            faixa<K>(m, w, [&](int r, std::int64_t i, double oeste) {
                return atualiza_empacotado(p[r] + i, a[r] + i * coeficientes_por_vertice, n_ksi, oeste);
            });
        } else {
            faixa<K>(m, w, [&](int r, std::int64_t i, double oeste) {
                return atualiza(phi, c, inicio[r] + i, n_ksi, oeste);
            });
        }
    };

    // Within a group of g sweeps, row j of sweep s (counted from 0) is taken
    // in the order of j + 2s: each row then depends only on rows taken before
    // it, which are at least two columns ahead, and rows of equal rank do not
    // touch each other. Group after group, the rows of that order go through
    // the wavefront K at a time, the last few one by one.
    std::int64_t pendentes[linhas_em_voo];
    int n_pendentes = 0;
    for (std::int64_t feitas = 0; feitas < niter_solver; feitas += grupo) {
        const std::int64_t g = std::min<std::int64_t>(grupo, niter_solver - feitas);
        for (std::int64_t rank = 2; rank <= linhas + 1 + 2 * (g - 1); ++rank) {
            for (std::int64_t s = std::min(g - 1, (rank - 2) / 2); s >= 0; --s) {
                const std::int64_t j = rank - 2 * s;
                if (j > linhas + 1) break;
                pendentes[n_pendentes++] = j;
                if (n_pendentes == linhas_em_voo) {
                    faixa_de(pendentes);
                    n_pendentes = 0;
                }
            }
        }
    }
    for (int k = 0; k < n_pendentes; ++k) {
        const std::int64_t uma[1] = {pendentes[k]};
        faixa_de(uma);
    }
}

}  // namespace solvers
