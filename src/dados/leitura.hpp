// The free-format reading of the input files: one read takes one value.
//
// Each read takes its value from the first line at or after its starting
// line that holds one (lexico.hpp), converts it by the item's type
// (conversoes.hpp), and leaves the next read to start on the following line.
// Every failure ends the run with the READ (or OPEN) report naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dados/arquivo_entrada.hpp"

namespace dados {

// One read of one item each. They return true when the item was assigned and
// false for a null value, which leaves the item unchanged. le_texto stores
// the first comprimento bytes of the value, padded on the right with blanks.
bool le_inteiro(arquivo_entrada& arq, std::int32_t& item);
bool le_real(arquivo_entrada& arq, double& item);
bool le_texto(arquivo_entrada& arq, std::string& item, std::size_t comprimento);

}  // namespace dados
