// The point-iterative sweep of one array: the program's own sweep
// (varreduras_xy.cpp), on one array instead of two.
#include "solvers/solvers.hpp"

#include "solvers/varreduras_xy.hpp"
#include "tempo_execucao/nucleos.hpp"

namespace solvers {

void gauss_seidel(double* phi, const double* ap, const double* ae, const double* aw, const double* an,
                  const double* as, const double* ane, const double* anw, const double* ase,
                  const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                  std::int32_t niter_solver) {
    double* const um[1] = {phi};
    varre(um, 1, {ap, ae, aw, an, as, ane, anw, ase, asw}, nvert_ksi, nvert_eta, niter_solver,
          fios_para_varreduras(nvert_ksi, nvert_eta, niter_solver), tempo_execucao::nucleo_da_execucao());
}

}  // namespace solvers
