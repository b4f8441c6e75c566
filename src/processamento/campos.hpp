// The fields of the result lines.
//
// An integer field is the value's decimal digits right-justified, or
// asterisks when they do not fit. A real field E<w>.<d> holds the value in
// scientific form: its 17 significant digits rounded half away from zero,
// rounded once more to the digits the field shows, and an exponent.
#pragma once

#include <cstdint>
#include <string>

namespace processamento {

// The two fields of the vertex, outline and volume lines, each writing
// exactly its width of bytes at destino and returning the position after
// them: I10, and E25.15 under the scale factor 1P.
char* campo_i10(char* destino, std::int32_t v);
char* campo_e25_15(char* destino, double v);

// Any width, for the format interpretation: appends the field to s. escala is
// the scale factor in force (0 or 1).
void acrescenta_inteiro(std::string& s, std::int32_t v, int largura);
void acrescenta_real(std::string& s, double v, int largura, int decimais, int escala);

}  // namespace processamento
