#pragma once

// The volumes on the solver-grade mesh's boundary lines, their centres put
// over their faces' centres (see alinha_centros in alinhamento.cpp).

#include <cstddef>
#include <cstdint>

#include "malhas_qualidade/leitura/malha_lida.hpp"

namespace malhas_qualidade::ortogonalizacao {

// The centre (area centroid) of the quadrilateral q, from its first vertex.
void centro_relativo(const malha_lida& m, const std::size_t q[4], double& cx, double& cy);

// How many volumes of the mesh are not convex.
std::int64_t volumes_concavos(const malha_lida& m);

// The first row along every boundary line moved along it so that every
// volume on the boundary has its centre over its face's centre.
void alinha_centros(malha_lida& m);

}  // namespace malhas_qualidade::ortogonalizacao
