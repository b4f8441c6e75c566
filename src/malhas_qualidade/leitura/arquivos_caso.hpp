// The case file and the parameter file of a case folder, read by the very
// reads of malhas_segmentos (dados::le_valores_entradas and
// dados::le_valores_eq_elipticas), without starting the editor and without
// creating a file that is missing.
#pragma once

#include <string>

#include "dados/dados.hpp"

namespace malhas_qualidade {

using caso = dados::entradas;
using parametros = dados::eq_elipticas;

// Both fail with falha_qualidade naming the file, the line and the item.
caso le_caso(const std::string& caminho);
parametros le_parametros(const std::string& caminho);

// The same reads from bytes in memory, as if they were the named file.
caso le_caso_memoria(const std::string& nome, std::string bytes);
parametros le_parametros_memoria(const std::string& nome, std::string bytes);

}  // namespace malhas_qualidade
