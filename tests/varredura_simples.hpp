// The smoothing's loops written plainly, one vertex after another: the
// references that the program's kernels must match to the bit, and the
// baseline of the sweep's benchmark.
#pragma once

#include <cstdint>

#include "variaveis/variaveis.hpp"

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

// The metric terms and the coefficients of the mesh in the run's state, in
// the run's work arrays.
inline void metricas_e_coeficientes_simples() {
    using namespace variaveis;
    const std::int64_t n_ksi = nvert_ksi;
    const double fator_ksi = 0.5 / dksi, fator_eta = 0.5 / deta;
    for (std::int64_t j = 2; j <= nvert_eta - 1; ++j) {
        for (std::int64_t i = 2; i <= n_ksi - 1; ++i) {
            const std::int64_t v = (j - 1) * n_ksi + i;
            x_eta[v] = (x[v + n_ksi] - x[v - n_ksi]) * fator_eta;
            y_eta[v] = (y[v + n_ksi] - y[v - n_ksi]) * fator_eta;
            x_ksi[v] = (x[v + 1] - x[v - 1]) * fator_ksi;
            y_ksi[v] = (y[v + 1] - y[v - 1]) * fator_ksi;
            alfa[v] = x_eta[v] * x_eta[v] + y_eta[v] * y_eta[v];
            beta[v] = x_ksi[v] * x_eta[v] + y_ksi[v] * y_eta[v];
            gama[v] = x_ksi[v] * x_ksi[v] + y_ksi[v] * y_ksi[v];
            jac[v] = 1.0 / (x_ksi[v] * y_eta[v] - x_eta[v] * y_ksi[v]);
            const double f = 1.0 / (jac[v] * jac[v]);
            ae[v] = alfa[v] + 0.5 * p_fonte[v] * f;
            aw[v] = alfa[v] + 0.5 * p_fonte[v] * (-f);
            an[v] = gama[v] + 0.5 * q_fonte[v] * f;
            as[v] = gama[v] + 0.5 * q_fonte[v] * (-f);
            ane[v] = -0.5 * beta[v];
            anw[v] = 0.5 * beta[v];
            ase[v] = 0.5 * beta[v];
            asw[v] = -0.5 * beta[v];
            ap[v] = ((aw[v] + an[v]) + ae[v]) + as[v];
        }
    }
}

}  // namespace referencia
