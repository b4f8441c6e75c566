// The metric terms of rows de to ate on each kernel's lanes
// (metricas_pistas.cpp, compiled once per kernel): several vertices of a row
// at once, each by the operations of the plain loop, so the same bits.
#pragma once

#include <cstdint>

#include "tempo_execucao/nucleos.hpp"

namespace metricas {
MALHAS_DECLARA_NOS_NUCLEOS(void calcula_linhas(std::int64_t de, std::int64_t ate))
}  // namespace metricas
