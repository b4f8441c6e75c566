// The history's measures of a row on each kernel's lanes
// (medidas_pistas.cpp, compiled once per kernel): several volumes or
// vertices at once, each by the operations of the plain measure, so the same
// bits. What the record takes of them (the extremes of a row) is taken
// afterwards, in volume order, by the caller.
#pragma once

#include <cstdint>

#include "solvers/equacao_ponto.hpp"
#include "tempo_execucao/nucleos.hpp"

namespace malhas_qualidade::historico_interno {

// mede_volumes: the volumes whose first corners are vertices b to b + n - 1
// of a mesh of nk vertices a row: the scaled Jacobian, skew and shortest
// edge of each (mede_quadrilatero without the angles) into element 0 to
// n - 1 of the three arrays. movimentos: the residual's moves at vertices e
// to e + n - 1, not a number where undefined (movimentos_vertice), into
// rx[e] .. and ry[e] ...
MALHAS_DECLARA_NOS_NUCLEOS(void mede_volumes(const double* ax, const double* ay, std::int64_t b,
                                             std::int64_t nk, std::int64_t n, double* jacobiano,
                                             double* assimetria, double* aresta))
MALHAS_DECLARA_NOS_NUCLEOS(void movimentos(const double* ax, const double* ay, const solvers::coeficientes& c,
                                           std::int64_t e, std::int64_t nk, std::int64_t n, double* rx,
                                           double* ry))

// The same on kernel n (reexecucao.cpp).
void mede_volumes_com(tempo_execucao::nucleo n, const double* ax, const double* ay, std::int64_t b,
                      std::int64_t nk, std::int64_t quantos, double* jacobiano, double* assimetria,
                      double* aresta);
void movimentos_com(tempo_execucao::nucleo n, const double* ax, const double* ay,
                    const solvers::coeficientes& c, std::int64_t e, std::int64_t nk, std::int64_t quantos,
                    double* rx, double* ry);

}  // namespace malhas_qualidade::historico_interno
