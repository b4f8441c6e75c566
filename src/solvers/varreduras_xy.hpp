// The sweeps as the program runs them: x then y, on the processor's widest
// lanes, on several threads; and the plain loop that gives the faults their
// order.
#pragma once

#include <cstdint>

#include "solvers/equacao_ponto.hpp"
#include "tempo_execucao/nucleos.hpp"

namespace solvers {

// gauss_seidel on x, then on y, with the same coefficients. Neither sweep
// reads the other's array, so they are swept side by side on one banded copy
// of the two (faixas.hpp), on the run's kernel; when the run may use several
// threads and the mesh is large enough to repay them, successive groups of
// sweeps run on as many threads, each following the one before it through the
// mesh. The results are those of the two calls in order, to the bit. A
// floating-point fault ends the run with the report of the operation that
// faults first in that order (every vertex of the x sweep before any of y, row
// by row, ksi fastest): the sweeps run with the traps masked and, if one of
// them raised a fault flag, they are done again on x and y as the call found
// them, in exactly that order with the traps live.
void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver);

// The same with the most threads to use given, whatever the size of the mesh
// (as many as that, the sweeps of the call and the system allow), and the
// kernel: for the tests and the benchmarks.
void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver, int fios,
                      tempo_execucao::nucleo nucleo = tempo_execucao::nucleo_da_execucao());

// The one sweep of the program, of one array (gauss_seidel) or of two (x and
// y): niter_solver sweeps of phi[0] to phi[coordenadas - 1] as described
// above, on at most fios threads, on the given kernel.
void varre(double* const* phi, int coordenadas, const coeficientes& c, std::int32_t nvert_ksi,
           std::int32_t nvert_eta, std::int32_t niter_solver, int fios, tempo_execucao::nucleo nucleo);

// The most threads the sweeps of a call of that size are worth: those of the
// run when the call updates enough vertices to repay them, else 1.
int fios_para_varreduras(std::int32_t nvert_ksi, std::int32_t nvert_eta, std::int32_t niter_solver);

// The sweep as the plain lexicographic loop: the order in which the
// operations, and so their faults, come one after the other.
void gauss_seidel_em_ordem(double* phi, const double* ap, const double* ae, const double* aw,
                           const double* an, const double* as, const double* ane, const double* anw,
                           const double* ase, const double* asw, std::int32_t nvert_ksi,
                           std::int32_t nvert_eta, std::int32_t niter_solver);

}  // namespace solvers
