// The two sweeps of an outer iteration, x then y, as the driver calls them.
#pragma once

#include <cstdint>

namespace solvers {

// gauss_seidel on x, then on y, with the same coefficients. Neither sweep
// reads the other's array, so they are swept side by side on one copy of the
// two; when the run may use several threads and the mesh is large enough to
// repay them, successive groups of sweeps run on as many threads, each
// following the one before it through the mesh. The results are those of the two
// calls in order, to the bit. A floating-point fault ends the run with the
// report of the operation that faults first in that order (every vertex of
// the x sweep before any of y, row by row, ksi fastest): the sweeps run with
// the traps masked and, if one of them raised a fault flag, they are done
// again on x and y as the call found them, in exactly that order with the
// traps live.
void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver);

// The same with the most threads to use given, whatever the size of the mesh
// (as many as that, the sweeps of the call and the system allow): for the
// tests.
void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver, int fios);

// The sweep as the plain lexicographic loop: the order in which the
// operations, and so their faults, come one after the other.
void gauss_seidel_em_ordem(double* phi, const double* ap, const double* ae, const double* aw,
                           const double* an, const double* as, const double* ane, const double* anw,
                           const double* ase, const double* asw, std::int32_t nvert_ksi,
                           std::int32_t nvert_eta, std::int32_t niter_solver);

}  // namespace solvers
