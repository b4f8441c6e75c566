// The two fields of the result files, read back only in the exact form
// malhas_segmentos writes them, so that a changed byte is never taken for a
// value the file does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace malhas_qualidade {

// An I10 field (all 10 columns) and its value; false when it is not what
// the program writes.
bool inteiro_i10(std::string_view campo, std::int64_t& valor);

// An E25.15 field (all 25 columns) and its value, correctly rounded; false
// when it is not what the program writes or not a finite number.
bool real_e25_15(std::string_view campo, double& valor);

// The value of a coordinate field's text (blanks before it dropped) as the
// report file's parser takes it; false when it is not a finite number.
bool le_real_campo(std::string_view campo, double& valor);

// The value of the field in the columns de + 1 .. de + largura, which a
// Fortran-style field right-justifies: the blanks before it dropped, for
// the messages that quote it.
std::string_view campo_fixo(std::string_view linha, std::size_t de, std::size_t largura);

// What the messages say of a field that is not in the program's form.
extern const char forma_i10[];
extern const char forma_e25_15[];

}  // namespace malhas_qualidade
