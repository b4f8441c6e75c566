// The result files and the viewers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace processamento {

// The names of the report file (120 characters) and of the volume file (150
// characters), blank-padded; set by escreve_resultados, kept for the run.
extern std::string nome_arq_txt;
extern std::string nome_arq_vert;

// Writes the report file, "malha.txt" and the volume file, closes them, and
// runs the two editors and the plotting program one after another.
void escreve_resultados();

// The layout of the result files, for those who read them back: the fixed
// lines as a run writes them, CR LF included (the four size lines, the empty
// line and the heading of the report file; the heading of the volume file),
// and the width of a vertex line and of a volume line without their CR LF.
std::string linhas_iniciais_relatorio(std::int32_t nvol_ksi, std::int32_t nvol_eta, std::int32_t nvert_ksi,
                                      std::int32_t nvert_eta);
std::string linha_cabecalho_volumes();
inline constexpr std::size_t largura_linha_vertice = 60;  // I10 and two E25.15
inline constexpr std::size_t largura_linha_volume = 50;   // five I10

}  // namespace processamento
