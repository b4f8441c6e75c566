// The two fields of the result lines.
//
// I10 is the value's decimal digits right-justified in 10 columns, or ten
// asterisks when they do not fit. E25.15 under the scale factor 1P holds the
// value in scientific form: its 17 significant digits rounded half away from
// zero, rounded once more to the 16 the field shows, and an exponent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace processamento {

inline constexpr std::size_t largura_i10 = 10;
inline constexpr std::size_t largura_e25_15 = 25;

// Each writes exactly its width of bytes at destino and returns the position
// after them. The format interpretation and the fast vertex, outline and
// volume lines both take their fields from here.
char* campo_i10(char* destino, std::int32_t v);
char* campo_e25_15(char* destino, double v);

// The decimal digits of v, after a '-' when it is negative, from destino on,
// as wide as they are: the same digits as an I10 field's, for every other
// text that writes an integer (the companion program's exports). At most 20
// bytes; returns the position after them.
char* escreve_decimal(char* destino, std::int64_t v);

// The digits of the E25.15 field of a finite, nonzero magnitude: its 16
// significant digits as an integer from 10^15 to 10^16 - 1, and the decimal
// exponent p of the first one. For whoever needs the value a result file
// holds without the text (the companion program's re-run of the smoothing).
void digitos_e25_15(double magnitude, std::uint64_t& d16, int& p);

}  // namespace processamento
