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
    // not a number where the equations cannot be formed (ap zero or not finite).
    std::vector<double> x, y;
};

void calcula_residuo(const malha_lida& m, const parametros& par, residuo_malha& r);

}  // namespace malhas_qualidade
