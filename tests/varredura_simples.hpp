// The sweep written as the plain lexicographic loop: the reference that the
// program's sweep must match to the bit, and the baseline of its benchmark.
#pragma once

#include <cstdint>

namespace referencia {

inline void gauss_seidel_simples(double* phi, const double* ap, const double* ae, const double* aw,
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

}  // namespace referencia
