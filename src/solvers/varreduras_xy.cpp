// The sweeps of x and y at once, with the fault report of the sweeps in order.
//
// The sweep itself (gauss_seidel) updates the vertices along a wavefront, so
// even on one thread its operations do not come in the order of the plain
// loop: an overflow early in a row can execute before a division by zero late
// in the row below it. With the traps live, that would change the report.
// Both paths therefore run with the traps masked and test the fault flags
// afterwards; faults are rare, and only then is the iteration redone from a
// copy of x and y, in order, with the traps live, so that the trap fires at
// the very operation that faults first in the order of the description of a
// sweep.
#include "solvers/varreduras_xy.hpp"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "solvers/solvers.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/linhas_execucao.hpp"
#include "tempo_execucao/relatorio_erro.hpp"

namespace solvers {

namespace {

// Below this many vertex updates per sweep call, starting a thread costs
// more than it saves.
constexpr std::int64_t minimo_para_duas_linhas = std::int64_t{1} << 16;

// The second thread of the sweeps: started at the first iteration that
// wants it and kept for the run, since a thread of its own for every outer
// iteration would start each time with empty scratch (the packed
// coefficients of the sweep) and fault its pages in again. It waits for a
// task until the process ends, so it and its state are never destroyed.
struct linha_auxiliar {
    std::mutex trava;
    std::condition_variable mudou;
    std::function<void()> tarefa;
    bool pendente = false;
};

linha_auxiliar* auxiliar() {
    static linha_auxiliar* const a = []() -> linha_auxiliar* {
        auto* p = new linha_auxiliar;
        try {
            std::thread([p] {
                for (;;) {
                    std::function<void()> t;
                    {
                        std::unique_lock<std::mutex> l(p->trava);
                        p->mudou.wait(l, [p] { return p->pendente; });
                        t = std::move(p->tarefa);
                    }
                    t();
                    {
                        std::lock_guard<std::mutex> l(p->trava);
                        p->pendente = false;
                    }
                    p->mudou.notify_all();
                }
            }).detach();
        } catch (const std::system_error&) {
            delete p;
            return nullptr;  // no thread to be had: the sweeps run one after the other
        }
        return p;
    }();
    return a;
}

}  // namespace

void gauss_seidel_em_ordem(double* phi, const double* ap, const double* ae, const double* aw,
                           const double* an, const double* as, const double* ane, const double* anw,
                           const double* ase, const double* asw, std::int32_t nvert_ksi,
                           std::int32_t nvert_eta, std::int32_t niter_solver) {
    const std::int64_t n_ksi = nvert_ksi;
    for (std::int32_t iter = 1; iter <= niter_solver; ++iter) {
        for (std::int64_t j = 2; j <= static_cast<std::int64_t>(nvert_eta) - 1; ++j) {
            for (std::int64_t i = 2; i <= n_ksi - 1; ++i) {
                const std::int64_t v = (j - 1) * n_ksi + i;
                const std::int64_t n = v + n_ksi, s = v - n_ksi;
                const double soma = asw[v] * phi[s - 1] + as[v] * phi[s] + an[v] * phi[n] +
                                    anw[v] * phi[n - 1] + aw[v] * phi[v - 1] + ae[v] * phi[v + 1] +
                                    ase[v] * phi[s + 1] + ane[v] * phi[n + 1];
                phi[v] = soma / ap[v];
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
    const int n = atualizacoes >= minimo_para_duas_linhas ? tempo_execucao::linhas_de_execucao() : 1;
    gauss_seidel_x_y(x, y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver, n);
}

void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver, int linhas_execucao) {
    const std::int64_t colunas = static_cast<std::int64_t>(nvert_ksi) - 2;
    const std::int64_t linhas = static_cast<std::int64_t>(nvert_eta) - 2;
    if (niter_solver <= 0 || colunas <= 0 || linhas <= 0) return;
    auto varre = [&](double* phi) {
        gauss_seidel(phi, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver);
    };

    // The rows the sweeps can change, boundary columns included: vertices
    // nvert_ksi + 1 to (nvert_eta - 1) * nvert_ksi. Kept from call to call,
    // as the driver's arrays are.
    static std::vector<double> copia_x, copia_y;
    const std::int64_t primeiro = static_cast<std::int64_t>(nvert_ksi) + 1;
    const auto quantos = static_cast<std::size_t>(linhas * nvert_ksi);
    copia_x.assign(x + primeiro, x + primeiro + quantos);
    copia_y.assign(y + primeiro, y + primeiro + quantos);

    const tempo_execucao::ambiente_fp ambiente = tempo_execucao::ambiente_fp_atual();
    const bool duas_linhas = linhas_execucao >= 2;
    bool falhou = false;
    tempo_execucao::mascara_armadilhas_fp();
    if (duas_linhas) {
        bool falhou_y = false;
        linha_auxiliar* const a = auxiliar();
        if (a != nullptr) {
            {
                std::lock_guard<std::mutex> l(a->trava);
                a->tarefa = [&] {
                    tempo_execucao::adota_ambiente_fp(ambiente);
                    tempo_execucao::mascara_armadilhas_fp();
                    varre(y);
                    falhou_y = tempo_execucao::falha_fp_sinalizada();
                };
                a->pendente = true;
            }
            a->mudou.notify_all();
        }
        varre(x);
        if (a != nullptr) {
            std::unique_lock<std::mutex> l(a->trava);
            a->mudou.wait(l, [a] { return !a->pendente; });
        } else {
            varre(y);
            falhou_y = tempo_execucao::falha_fp_sinalizada();
        }
        falhou = tempo_execucao::falha_fp_sinalizada() || falhou_y;
    } else {
        varre(x);
        varre(y);
        falhou = tempo_execucao::falha_fp_sinalizada();
    }
    tempo_execucao::adota_ambiente_fp(ambiente);
    if (!falhou) return;

    std::copy(copia_x.begin(), copia_x.end(), x + primeiro);
    std::copy(copia_y.begin(), copia_y.end(), y + primeiro);
    gauss_seidel_em_ordem(x, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver);
    gauss_seidel_em_ordem(y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver);
}

}  // namespace solvers
