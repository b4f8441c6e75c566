#include "metricas/metricas.hpp"

#include <cstdint>

#include "metricas/metricas_pistas.hpp"
#include "tempo_execucao/fios.hpp"
#include "tempo_execucao/nucleos.hpp"
#include "variaveis/variaveis.hpp"

namespace metricas {

using namespace variaveis;

double fator_ksi = 0.0;
double fator_eta = 0.0;

namespace {

// The rows de to ate (eta indices) of the interior, in the plain loop's order.
void calcula_linhas_em_ordem(std::int64_t de, std::int64_t ate) {
    const std::int64_t n_ksi = nvert_ksi;
    for (std::int64_t j = de; j <= ate; ++j) {
        for (std::int64_t i = 2; i <= n_ksi - 1; ++i) {
            const std::int64_t v = variaveis::numero_vertice(i, j, n_ksi);
            const std::int64_t e = v + 1, w = v - 1, n = v + n_ksi, s = v - n_ksi;
            x_eta[v] = (x[n] - x[s]) * fator_eta;
            y_eta[v] = (y[n] - y[s]) * fator_eta;
            x_ksi[v] = (x[e] - x[w]) * fator_ksi;
            y_ksi[v] = (y[e] - y[w]) * fator_ksi;
            alfa[v] = x_eta[v] * x_eta[v] + y_eta[v] * y_eta[v];
            beta[v] = x_ksi[v] * x_eta[v] + y_ksi[v] * y_eta[v];
            gama[v] = x_ksi[v] * x_ksi[v] + y_ksi[v] * y_ksi[v];
            jac[v] = 1.0 / (x_ksi[v] * y_eta[v] - x_eta[v] * y_ksi[v]);
        }
    }
}

// The same rows on the lanes of kernel n.
void calcula_linhas_com(tempo_execucao::nucleo n, std::int64_t de, std::int64_t ate) {
    MALHAS_NO_NUCLEO(n, metricas, calcula_linhas(de, ate))
}

}  // namespace

void calcula_metricas() {
    calcula_metricas(tempo_execucao::nucleo_da_execucao());
}

void calcula_metricas(tempo_execucao::nucleo n) {
    // The differences are multiplied by 0.5/spacing, never divided by twice
    // the spacing: the two round differently.
    fator_ksi = 0.5 / dksi;
    fator_eta = 0.5 / deta;

    // Each vertex reads only x and y, which the rows do not write: the rows
    // may be split between threads, and the vertices of a row computed
    // several at once.
    tempo_execucao::linhas_independentes(
        2, static_cast<std::int64_t>(nvert_eta) - 1, nvert_ksi,
        [n](std::int64_t de, std::int64_t ate) { calcula_linhas_com(n, de, ate); }, calcula_linhas_em_ordem);
}

}  // namespace metricas
