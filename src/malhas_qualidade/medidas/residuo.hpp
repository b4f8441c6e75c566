// How far the elliptic smoothing is from having settled: at every interior
// vertex, the move that one more point update would make,
// |(sum of a_nb * phi_nb) / ap - phi| for phi = x and phi = y, with the
// metric terms and coefficients of the smoothing computed on the mesh as it
// stands.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "solvers/equacao_ponto.hpp"

namespace malhas_qualidade {

struct residuo_malha {
    // Per vertex 1 .. nvert; zero at boundary vertices, which never move, and
    // not a number where the move is undefined.
    std::vector<double> x, y;
    // Interior vertices where it is undefined, by cause: ap is zero (the
    // metric terms underflow: spacings too large for the mesh), ap is not
    // finite (they overflow or divide by zero: a zero or tiny spacing), or
    // the move itself is not finite; and the first vertex of each.
    std::int64_t ap_nulo = 0, ap_nao_finito = 0, movimento_nao_finito = 0;
    std::int64_t primeiro_ap_nulo = 0, primeiro_ap_nao_finito = 0, primeiro_movimento_nao_finito = 0;
};

void calcula_residuo(const malha_lida& m, const parametros& par, residuo_malha& r);

// The largest and the root mean square of a residual over the interior
// vertices that have one (not a number: undefined), in the order of the
// vertices, and the vertex of the largest: what the summary reports.
struct resumo_residuo {
    double maximo = 0.0, rms = 0.0;
    std::int64_t onde = 0, definidos = 0;
};
resumo_residuo resume_residuo(const malha_lida& m, const std::vector<double>& r);

// Why the residual of a vertex is undefined, if it is.
enum class causa_indefinida { nenhuma, ap_nulo, ap_nao_finito, movimento_nao_finito };

// The moves at interior vertex e of the coordinates x and y (n_ksi vertices a
// row, numbered as the coefficient arrays c are): the one definition of the
// residual of a vertex, for the summary and for the history of the smoothing.
inline causa_indefinida movimentos_vertice(const double* x, const double* y, const solvers::coeficientes& c,
                                           std::int64_t e, std::int64_t n_ksi, double& mx, double& my) {
    const double ap = c.ap[e];
    // The move the smoothing's own sweep would make.
    mx = std::fabs(solvers::atualizacao(x, c, e, n_ksi) - x[e]);
    my = std::fabs(solvers::atualizacao(y, c, e, n_ksi) - y[e]);
    if (!std::isfinite(ap)) return causa_indefinida::ap_nao_finito;
    if (ap == 0.0) return causa_indefinida::ap_nulo;
    if (!std::isfinite(mx) || !std::isfinite(my)) return causa_indefinida::movimento_nao_finito;
    return causa_indefinida::nenhuma;
}

}  // namespace malhas_qualidade
