// The texts of integer and real values turned into numbers, by the forms of
// the reading rule. Pure functions of the text: testable from a table.
#pragma once

#include <cstdint>
#include <string_view>

namespace dados {

enum class conversao { certa, forma_errada, fora_do_intervalo };

// [sign] digits, or [sign] [base] # digits with the base from 2 to 36 (16
// when it is left out) and the letters A to Z, in either case, as the digits
// 10 to 35. The value must lie in the 32-bit signed range.
conversao converte_inteiro(std::string_view texto, std::int32_t& resultado);

// [sign] mantissa [exponent]: the mantissa holds at least one digit and at
// most one point, the exponent is a letter with an optional sign and at least
// one digit. A value beyond the range of a double is out of range; one that
// underflows is taken as it comes.
conversao converte_real(std::string_view texto, double& resultado);

}  // namespace dados
