// Control functions and the nine-point stencil coefficients.
#pragma once

#include "tempo_execucao/nucleos.hpp"

namespace coef {

// Clears p_fonte unless tipo_p is 2, then q_fonte unless tipo_q is 2.
void zera_fontes();

// The nine coefficients of the point equation at every interior vertex.
void calcula_coef();

// The same on the lanes of the given kernel: for the tests.
void calcula_coef(tempo_execucao::nucleo n);

}  // namespace coef
