// Finding the value of one read in the free-format reading rule.
//
// A read takes the first value at or after its starting line: blanks, tabs
// and line ends before it are skipped. A value ends at a blank, tab, comma,
// slash or line end; a comma or a slash in place of a value is a null value;
// r*c stands for c; a text may be enclosed in apostrophes or quotation marks,
// with a doubled mark standing for one.
#pragma once

#include <cstddef>
#include <string>

#include "dados/arquivo_entrada.hpp"

namespace dados {

// A plain (unenclosed) value longer than this is refused rather than taken.
inline constexpr std::size_t comprimento_maximo_valor = 260;

// What a read is for: only a text may be enclosed.
enum class tipo_valor { inteiro, real, texto };

// Finds the value of one read and leaves in valor its text, without a repeat
// count; for an enclosed text, its content with doubled marks undone and at
// most guarda bytes of it. Returns false for a null value. The read position
// is left just after the value. End of file, a zero or oversized repeat
// count, an overlong value and an unclosed text end the run with the READ
// report.
bool le_valor(arquivo_entrada& arq, tipo_valor tipo, std::string& valor, std::size_t guarda);

// Skips whatever follows the value on its line: it belongs to no read.
void pula_resto_da_linha(arquivo_entrada& arq);

}  // namespace dados
