// The result files and the viewers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "processamento/campos.hpp"

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
// and where the fields of a vertex line and of a volume line stand.
std::string linhas_iniciais_relatorio(std::int32_t nvol_ksi, std::int32_t nvol_eta, std::int32_t nvert_ksi,
                                      std::int32_t nvert_eta);
std::string linha_cabecalho_volumes();
// A vertex line: the vertex number (I10), then x and y (E25.15 each); the
// columns counted from 0, the width without the CR LF.
inline constexpr std::size_t coluna_numero = 0;
inline constexpr std::size_t coluna_x = coluna_numero + largura_i10;
inline constexpr std::size_t coluna_y = coluna_x + largura_e25_15;
inline constexpr std::size_t largura_linha_vertice = coluna_y + largura_e25_15;
// A volume line: five I10 fields, the volume number and its four corners.
inline constexpr std::size_t campos_linha_volume = 5;
inline constexpr std::size_t largura_linha_volume = campos_linha_volume * largura_i10;

// The lines of the result files from their values, CR LF included, byte for
// byte as a run writes them: the layouts of "(I10,2(1P,E25.15))" (a vertex),
// "(2(1P,E25.15))" (a point of an outline) and "(5(I10))" (a volume), for
// the run and for whoever else writes a mesh in these formats. Each returns
// the position after the line.
char* escreve_linha_vertice(char* destino, std::int32_t v, double x, double y);
char* escreve_linha_contorno(char* destino, double x, double y);
char* escreve_linha_volume(char* destino, std::int32_t p, const std::int32_t cantos[4]);
// The corner slots a volume's outline walks, back to the first; a line of
// one blank (linha_branca, formato.hpp) follows it.
inline constexpr int ordem_cantos_contorno[5] = {0, 1, 2, 3, 0};

}  // namespace processamento
