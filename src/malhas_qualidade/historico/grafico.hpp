// The history's plot: the residual on a log scale against the outer
// iteration, the quality extremes on a second axis, the tolerance and the
// recommended count marked. Plain SVG 1.1.
#pragma once

#include <string>

#include "malhas_qualidade/historico/historico.hpp"

namespace malhas_qualidade {

void escreve_svg_historico(const std::string& nome, const historico& h, const pedido_historico& p);

}  // namespace malhas_qualidade
