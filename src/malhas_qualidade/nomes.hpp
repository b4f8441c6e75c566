// The names of the result files, formed from the case name.
#pragma once

#include <string>

#include "processamento/nomes_resultado.hpp"

namespace malhas_qualidade {

// The case name without its leading and trailing blanks: the very rule by
// which malhas_segmentos names its result files, so that the two programs
// agree on which files belong to a case.
using processamento::base_do_nome;
std::string nome_relatorio(const std::string& nome_caso);  // base + ".txt"
std::string nome_volumes(const std::string& nome_caso);    // base + "_vert.txt"

}  // namespace malhas_qualidade
