#include "coef/coef.hpp"

#include <algorithm>
#include <cstdint>

#include "variaveis/variaveis.hpp"

namespace coef {

using namespace variaveis;

namespace {
void zera(double* a) {
    if (nvert > 0) std::fill(a + 1, a + 1 + static_cast<std::int64_t>(nvert), 0.0);
}
}  // namespace

void zera_fontes() {
    if (tipo_p != 2) zera(p_fonte);
    if (tipo_q != 2) zera(q_fonte);
}

void calcula_coef() {
    const std::int64_t n_ksi = nvert_ksi;
    for (std::int64_t j = 2; j <= static_cast<std::int64_t>(nvert_eta) - 1; ++j) {
        for (std::int64_t i = 2; i <= n_ksi - 1; ++i) {
            const std::int64_t v = (j - 1) * n_ksi + i;
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

}  // namespace coef
