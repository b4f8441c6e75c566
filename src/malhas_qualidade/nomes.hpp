// The names of the result files, formed from the case name.
#pragma once

#include <string>

namespace malhas_qualidade {

// The case name without its leading and trailing blanks. This must stay the
// rule by which malhas_segmentos names its result files (processamento):
// the two programs have to agree on which files belong to a case.
std::string base_do_nome(const std::string& nome_caso);
std::string nome_relatorio(const std::string& nome_caso);  // base + ".txt"
std::string nome_volumes(const std::string& nome_caso);    // base + "_vert.txt"

}  // namespace malhas_qualidade
