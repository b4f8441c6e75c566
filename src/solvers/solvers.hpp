// The point-iterative sweep of the nine-point equations.
#pragma once

#include <cstdint>

namespace solvers {

// niter_solver in-place sweeps over the interior vertices of phi, row by row,
// ksi fastest; each vertex takes at once the weighted sum of its eight
// neighbours divided by ap. Arrays are indexed by vertex number (from 1).
// It is the program's sweep (varreduras_xy.hpp) on one array: the same
// kernels, threads and fault report.
void gauss_seidel(double* phi, const double* ap, const double* ae, const double* aw, const double* an,
                  const double* as, const double* ane, const double* anw, const double* ase,
                  const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                  std::int32_t niter_solver);

}  // namespace solvers
