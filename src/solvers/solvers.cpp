// The point-iterative sweep of one array, in the wavefront order of
// frente_onda.hpp.
#include "solvers/solvers.hpp"

#include <vector>

#include "solvers/frente_onda.hpp"
#include "tempo_execucao/alocacao.hpp"

namespace solvers {

void gauss_seidel(double* phi, const double* ap, const double* ae, const double* aw, const double* an,
                  const double* as, const double* ane, const double* anw, const double* ase,
                  const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                  std::int32_t niter_solver) {
    using namespace frente;
    const std::int64_t n_ksi = nvert_ksi;
    const std::int64_t m = n_ksi - 2;                                      // interior columns
    const std::int64_t linhas = static_cast<std::int64_t>(nvert_eta) - 2;  // interior rows
    if (niter_solver <= 0 || m <= 0 || linhas <= 0) return;
    malha_varrida mv{phi, {ap, ae, aw, an, as, ane, anw, ase, asw}, nullptr, n_ksi, m, linhas};

    // Scratch only. Not kept from call to call in a thread_local: a thread's
    // first use of one registers its destructor, which needs memory, and the
    // C library ends the process when it has none.
    std::vector<double> pacote;
    {
        tempo_execucao::alocando nome("packed sweep coefficients");
        empacota_se_compensa(mv, niter_solver, pacote);
    }

    const std::int64_t grupo = varreduras_por_grupo<escalar>(n_ksi, niter_solver);
    for (std::int64_t feitas = 0; feitas < niter_solver; feitas += grupo) {
        varre_grupo<escalar>(
            mv, std::min<std::int64_t>(grupo, niter_solver - feitas), [](std::int64_t) {},
            [](std::int64_t) {});
    }
}

}  // namespace solvers
