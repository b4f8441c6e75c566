// The result files and the viewers.
#pragma once

#include <string>

namespace processamento {

// The names of the report file (120 characters) and of the volume file (150
// characters), blank-padded; set by escreve_resultados, kept for the run.
extern std::string nome_arq_txt;
extern std::string nome_arq_vert;

// Writes the report file, "malha.txt" and the volume file, closes them, and
// runs the two editors and the plotting program one after another.
void escreve_resultados();

}  // namespace processamento
