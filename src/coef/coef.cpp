#include "coef/coef.hpp"

#include <algorithm>
#include <cstdint>

#include "coef/coef_pistas.hpp"
#include "tempo_execucao/fios.hpp"
#include "tempo_execucao/nucleos.hpp"
#include "variaveis/variaveis.hpp"

namespace coef {

using namespace variaveis;

namespace {

// The whole arrays a and b (either may be null), boundary included, in rows
// that threads may share: on the first outer iteration this is where their
// pages are first touched.
void zera(double* a, double* b) {
    if (nvert <= 0 || (a == nullptr && b == nullptr)) return;
    const std::int64_t n_ksi = nvert_ksi;
    tempo_execucao::linhas_independentes(
        1, nvert_eta, n_ksi, [a, b, n_ksi](std::int64_t de, std::int64_t ate) {
            for (double* c : {a, b})
                if (c != nullptr) std::fill(c + 1 + (de - 1) * n_ksi, c + 1 + ate * n_ksi, 0.0);
        });
}

// The rows de to ate (eta indices) of the interior, in the plain loop's order.
void calcula_linhas_em_ordem(std::int64_t de, std::int64_t ate) {
    const std::int64_t n_ksi = nvert_ksi;
    for (std::int64_t j = de; j <= ate; ++j) {
        for (std::int64_t i = 2; i <= n_ksi - 1; ++i) {
            const std::int64_t v = variaveis::numero_vertice(i, j, n_ksi);
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

// The same rows on the lanes of kernel n.
void calcula_linhas_com(tempo_execucao::nucleo n, std::int64_t de, std::int64_t ate) {
    MALHAS_NO_NUCLEO(n, coef, calcula_linhas(de, ate))
}

}  // namespace

void zera_fontes() {
    // One pass for both, as the result is the same as p then q.
    zera(tipo_p != 2 ? p_fonte : nullptr, tipo_q != 2 ? q_fonte : nullptr);
}

void calcula_coef() {
    calcula_coef(tempo_execucao::nucleo_da_execucao());
}

void calcula_coef(tempo_execucao::nucleo n) {
    // Each vertex reads the metric terms and the control functions, which the
    // rows do not write: the rows may be split between threads, and the
    // vertices of a row computed several at once.
    tempo_execucao::linhas_independentes(
        2, static_cast<std::int64_t>(nvert_eta) - 1, nvert_ksi,
        [n](std::int64_t de, std::int64_t ate) { calcula_linhas_com(n, de, ate); }, calcula_linhas_em_ordem);
}

}  // namespace coef
