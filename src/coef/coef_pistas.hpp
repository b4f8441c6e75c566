// The coefficients of rows de to ate on each kernel's lanes
// (coef_pistas.cpp, compiled once per kernel): several vertices of a row at
// once, each by the operations of the plain loop, so the same bits.
#pragma once

#include <cstdint>

#include "tempo_execucao/nucleos.hpp"

namespace coef {
MALHAS_DECLARA_NOS_NUCLEOS(void calcula_linhas(std::int64_t de, std::int64_t ate))
}  // namespace coef
