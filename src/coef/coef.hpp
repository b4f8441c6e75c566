// Control functions and the nine-point stencil coefficients.
#pragma once

namespace coef {

// Clears p_fonte unless tipo_p is 2, then q_fonte unless tipo_q is 2.
void zera_fontes();

// The nine coefficients of the point equation at every interior vertex.
void calcula_coef();

}  // namespace coef
