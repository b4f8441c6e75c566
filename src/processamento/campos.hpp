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

// The digits of the E25.15 field of a finite, nonzero magnitude: its 16
// significant digits as an integer from 10^15 to 10^16 - 1, and the decimal
// exponent p of the first one. For whoever needs the value a result file
// holds without the text (the companion program's re-run of the smoothing).
void digitos_e25_15(double magnitude, std::uint64_t& d16, int& p);

// Any width, for the format interpretation: appends the field to s. escala is
// the scale factor in force (0 or 1).
void acrescenta_inteiro(std::string& s, std::int32_t v, int largura);
void acrescenta_real(std::string& s, double v, int largura, int decimais, int escala);

}  // namespace processamento
