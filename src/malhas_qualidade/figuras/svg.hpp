// Pictures as plain SVG 1.1 (no script, no external file), which any browser
// shows: the mesh coloured by a measure (--svg), and the pieces the history's
// plot shares with it (text, numbers, axes' marks, the colour scale).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/medida_volume.hpp"

namespace malhas_qualidade {

namespace svg {

// Text for an SVG document: the XML specials escaped, a byte above 127 taken
// as ISO 8859-1 and written as its character reference (the document itself
// stays ASCII), control characters shown as '?'.
std::string texto(std::string_view t);

// A coordinate in the picture, to a hundredth of a pixel.
std::string num(double x);

// A value for a label, in at most six significant digits.
std::string rotulo(double x);

// The marks of an axis from a to b: round values (1, 2 or 5 times a power of
// ten apart), about alvo of them.
std::vector<double> marcas(double a, double b, int alvo);

// The colour scale, from the best value (0, pale) to the worst (1, dark):
// its stops, equally spaced, and the colour of a position as "#rrggbb",
// linear between the stops as an SVG gradient is.
inline constexpr int n_paradas = 9;
std::string cor(double t);

// The document's start (XML declaration, svg element of the given size in
// pixels, its title) and end.
std::string inicio(double largura, double altura, std::string_view titulo);
inline constexpr char fim[] = "</svg>\n";

}  // namespace svg

// Above these counts of volumes in a direction, the picture draws the grid
// lines of every n-th index only and colours each of its cells by the worst
// of the volumes in it: the file stays a few megabytes and a browser keeps
// up with it.
inline constexpr int celulas_maximas_svg = 250;

// The mesh with every volume filled by the colour of the measure, a colour
// bar with the measure's name and range, the worst volume outlined, axes in
// x and y, and a title with the case's name and sizes.
void escreve_svg_malha(const std::string& nome, const std::string& nome_caso, const malha_lida& m,
                       const medida_volume& medida, const std::vector<double>& valores);

}  // namespace malhas_qualidade
