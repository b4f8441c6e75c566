// How far the elliptic smoothing is from having settled: at every interior
// vertex, the move that one more point update would make,
// |(sum of a_nb * phi_nb) / ap - phi| for phi = x and phi = y, with the
// metric terms and coefficients of the smoothing computed on the mesh as it
// stands.
#pragma once

#include <cstdint>
#include <vector>

#include "malhas_qualidade/arquivos_caso.hpp"
#include "malhas_qualidade/malha_lida.hpp"

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

}  // namespace malhas_qualidade
