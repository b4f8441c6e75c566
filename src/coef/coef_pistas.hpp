// The coefficients of rows de to ate on each kernel's lanes
// (coef_pistas.cpp, compiled once per kernel): several vertices of a row at
// once, each by the operations of the plain loop, so the same bits.
#pragma once

#include <cstdint>

namespace coef {
namespace generico {
void calcula_linhas(std::int64_t de, std::int64_t ate);
}
namespace sse2 {
void calcula_linhas(std::int64_t de, std::int64_t ate);
}
namespace avx2 {
void calcula_linhas(std::int64_t de, std::int64_t ate);
}
namespace avx512 {
void calcula_linhas(std::int64_t de, std::int64_t ate);
}
}  // namespace coef
