// Metric terms of the current mesh at every interior vertex.
#pragma once

#include "tempo_execucao/nucleos.hpp"

namespace metricas {

// Half the reciprocal of each spacing, recomputed at every call.
extern double fator_ksi;
extern double fator_eta;

// Central differences of x and y along ksi and eta, and from them alfa, beta,
// gama and jac, at the interior vertices.
void calcula_metricas();

// The same on the lanes of the given kernel: for the tests.
void calcula_metricas(tempo_execucao::nucleo n);

}  // namespace metricas
