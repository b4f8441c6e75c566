// Metric terms of the current mesh at every interior vertex.
#pragma once

namespace metricas {

// Half the reciprocal of each spacing, recomputed at every call.
extern double fator_ksi;
extern double fator_eta;

// Central differences of x and y along ksi and eta, and from them alfa, beta,
// gama and jac, at the interior vertices.
void calcula_metricas();

}  // namespace metricas
