// The sweeps of x and y, with the fault report of the sweeps in order.
//
// x and y take the same coefficients and neither reads the other, so they
// are swept side by side, the two lanes of one vector operation, on a copy
// of the two arrays. The sweeps of a call are cut into groups; with several
// threads, group k + 1 runs on the next thread a few rows behind group k, so
// that every vertex still sees the values the sweeps in order give it.
//
// Neither the wavefront nor the threads take the operations in the order of
// the plain loop: an overflow early in a row can execute before a division
// by zero late in the row below it, or one of y before one of x. With the
// traps live, that would change the report. The sweeps therefore run with
// the traps masked and test the fault flags afterwards; faults are rare, and
// only then are the sweeps done again on x and y, which are as the call
// found them, in the order of the plain loop with the traps live, so that
// the trap fires at the very operation that faults first in that order.
#include "solvers/varreduras_xy.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "solvers/frente_onda.hpp"
#include "solvers/solvers.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/fios.hpp"
#include "variaveis/numeracao.hpp"

namespace solvers {

namespace {

// Below this many vertex updates per sweep call, handing work to another
// thread costs more than it saves: the call runs on the calling thread alone.
constexpr std::int64_t minimo_para_fios_auxiliares = std::int64_t{1} << 16;

// Rows between a group and the one before it, beyond what the order needs.
constexpr std::int64_t folga_linhas = 8;

// A short wait in a spin loop.
inline void pausa() {
#if defined(MALHAS_PAR_SSE2)
    _mm_pause();
#endif
}

}  // namespace

void gauss_seidel_em_ordem(double* phi, const double* ap, const double* ae, const double* aw,
                           const double* an, const double* as, const double* ane, const double* anw,
                           const double* ase, const double* asw, std::int32_t nvert_ksi,
                           std::int32_t nvert_eta, std::int32_t niter_solver) {
    const std::int64_t n_ksi = nvert_ksi;
    const coeficientes c{ap, ae, aw, an, as, ane, anw, ase, asw};
    for (std::int32_t iter = 1; iter <= niter_solver; ++iter) {
        for (std::int64_t j = 2; j <= static_cast<std::int64_t>(nvert_eta) - 1; ++j) {
            for (std::int64_t i = 2; i <= n_ksi - 1; ++i) {
                const std::int64_t v = variaveis::numero_vertice(i, j, n_ksi);
                phi[v] = atualizacao(phi, c, v, n_ksi);
            }
        }
    }
}

void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver) {
    const std::int64_t atualizacoes = (static_cast<std::int64_t>(nvert_ksi) - 2) *
                                      (static_cast<std::int64_t>(nvert_eta) - 2) * niter_solver;
    const int n = atualizacoes >= minimo_para_fios_auxiliares ? tempo_execucao::fios_de_execucao() : 1;
    gauss_seidel_x_y(x, y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver, n);
}

void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver, int fios) {
    using namespace frente;
    const std::int64_t n_ksi = nvert_ksi;
    const std::int64_t m = n_ksi - 2;
    const std::int64_t linhas = static_cast<std::int64_t>(nvert_eta) - 2;
    if (niter_solver <= 0 || m <= 0 || linhas <= 0) return;

    // x and y side by side, vertex v at xy[2v]: the sweeps work on this
    // copy, so x and y stay as the iteration found them until the sweeps are
    // known to be sound. Kept from call to call, as the driver's arrays are.
    // Left uninitialised: every element is written here before it is read.
    static std::unique_ptr<double[]> xy;
    static std::int64_t capacidade = 0;
    const std::int64_t nvert = n_ksi * nvert_eta;
    if (capacidade < 2 * (nvert + 1)) {
        tempo_execucao::alocando nome("sweep copy of x and y");
        xy.reset();  // the old one goes first, so the two are never held at once
        capacidade = 0;
        xy.reset(new double[static_cast<std::size_t>(2 * (nvert + 1))]);
        capacidade = 2 * (nvert + 1);
    }
    double* const par_xy = xy.get();
    tempo_execucao::linhas_independentes(1, nvert_eta, n_ksi, [=](std::int64_t de, std::int64_t ate) {
        for (std::int64_t v = (de - 1) * n_ksi + 1; v <= ate * n_ksi; ++v) {
            par_xy[2 * v] = x[v];
            par_xy[2 * v + 1] = y[v];
        }
    });
    malha_varrida mv{par_xy, {ap, ae, aw, an, as, ane, anw, ase, asw}, nullptr, n_ksi, m, linhas};

    // One packed copy of the coefficients, which every thread reads.
    static std::vector<double> pacote;
    {
        tempo_execucao::alocando nome("packed sweep coefficients");
        empacota_se_compensa(mv, niter_solver, pacote);
    }

    // The sweeps in groups (frente_onda.hpp), dealt out in turn to the
    // threads, as evenly as the count allows: group k + 1 follows group k
    // through the mesh a few rows behind it, each on the next thread.
    const int n_fios = tempo_execucao::reserva_fios(std::min(fios, niter_solver));
    const std::int64_t por_grupo = varreduras_por_grupo<par>(n_ksi, niter_solver);
    const std::int64_t cabem = (niter_solver + por_grupo - 1) / por_grupo;
    const std::int64_t grupos = std::min<std::int64_t>(niter_solver, (cabem + n_fios - 1) / n_fios * n_fios);
    const std::int64_t base = niter_solver / grupos, resto = niter_solver % grupos;
    // Progress of each thread: k * passo_grupo + j once group k has passed
    // row j in its last sweep. One cache line each, as each is written by
    // one thread and read by another.
    const std::int64_t passo_grupo = linhas + 2;
    struct alignas(64) contador {
        std::atomic<std::int64_t> valor{-1};
    };
    std::array<contador, tempo_execucao::maximo_fios> avanco;
    auto trabalha = [&](int t) {
        for (std::int64_t k = t; k < grupos; k += n_fios) {
            const std::int64_t g = base + (k < resto ? 1 : 0);
            const std::atomic<std::int64_t>& anterior =
                avanco[static_cast<std::size_t>((k + n_fios - 1) % n_fios)].valor;
            std::atomic<std::int64_t>& proprio = avanco[static_cast<std::size_t>(t)].valor;
            auto espera = [&](std::int64_t j) {
                if (n_fios == 1 || k == 0) return;
                // A few rows more than the group needs, so that the rows it
                // reads are no longer being written by the thread of the
                // group before it.
                const std::int64_t alvo = (k - 1) * passo_grupo + std::min(j + 1 + folga_linhas, linhas + 1);
                for (int tentativas = 0; anterior.load(std::memory_order_acquire) < alvo;) {
                    if (tentativas < 20000) {
                        ++tentativas;
                        pausa();
                    } else {
                        std::this_thread::yield();  // the thread ahead is not running: let it
                    }
                }
            };
            auto avancou = [&](std::int64_t j) {
                if (n_fios != 1) proprio.store(k * passo_grupo + j, std::memory_order_release);
            };
            varre_grupo<par>(mv, g, espera, avancou);
        }
    };
    const bool falhou = tempo_execucao::em_fios_mascarados(n_fios, trabalha);
    if (!falhou) {
        tempo_execucao::linhas_independentes(1, nvert_eta, n_ksi, [=](std::int64_t de, std::int64_t ate) {
            for (std::int64_t v = (de - 1) * n_ksi + 1; v <= ate * n_ksi; ++v) {
                x[v] = par_xy[2 * v];
                y[v] = par_xy[2 * v + 1];
            }
        });
        return;
    }
    // x and y are as the iteration found them: the sweeps again, in order,
    // with the traps live.
    gauss_seidel_em_ordem(x, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver);
    gauss_seidel_em_ordem(y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver);
}

}  // namespace solvers
