// The fields of the result files, read back exactly as malhas_segmentos
// writes them.
#include "malhas_qualidade/leitura/campos_lidos.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "malhas_qualidade/comum/numeros.hpp"
#include "processamento/campos.hpp"

namespace malhas_qualidade {

namespace {

bool digito(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

// An I10 field exactly as the program writes it: blanks, then "-" for a
// negative value, then the digits without a leading zero ("0" alone for
// zero), right-justified in the 10 columns. "032", "-0", "+32" or a blank
// after the digits are not what it writes.
bool inteiro_i10(std::string_view c, std::int64_t& valor) {
    if (c.size() != processamento::largura_i10) return false;
    std::size_t k = 0;
    while (k < c.size() && c[k] == ' ')
        ++k;
    const bool negativo = k < c.size() && c[k] == '-';
    if (negativo) ++k;
    if (k == c.size() || !digito(c[k]) || (c[k] == '0' && (negativo || k + 1 < c.size()))) return false;
    // Decimal digits by hand: the volume file alone holds ten million of
    // them, and this is the bulk of its parsing.
    std::int64_t v = 0;
    for (; k < c.size(); ++k) {
        if (!digito(c[k])) return false;
        v = v * 10 + (c[k] - '0');
    }
    if (negativo) v = -v;
    // What the field holds is a 32-bit value.
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return false;
    valor = v;
    return true;
}

// An E25.15 field exactly as the program writes it under 1P: three blanks,
// a blank or "-", a digit, ".", fifteen digits, and the exponent: "E", its
// sign and two digits, or, from 100 on, its sign and three digits without
// the letter. The first digit is 0 only in the field of zero,
// "0.000000000000000E+00", which has no sign; the exponent 0 is "E+00".
// Anything else ("e", "-.", a digit more or less, an exponent of three
// digits below 100) is not what the program writes, and a changed byte
// there must not pass for a coordinate. The value is the correctly rounded
// one, as any reader takes it.
bool real_e25_15(std::string_view c, double& valor) {
    if (c.size() != processamento::largura_e25_15) return false;
    const char* const f = c.data();
    // Eight bytes at once: each from '0' to '9' exactly when its high half
    // is 3 and adding 6 leaves it 3 (no byte can carry into the next once
    // every high half is 3). The report holds millions of these fields.
    auto oito_digitos = [](const char* p) {
        std::uint64_t x;
        std::memcpy(&x, p, 8);
        constexpr std::uint64_t altos = 0xF0F0F0F0F0F0F0F0u, tres = 0x3030303030303030u;
        return (x & altos) == tres && ((x + 0x0606060606060606u) & altos) == tres;
    };
    if (std::memcmp(f, "   ", 3) != 0 || (f[3] != ' ' && f[3] != '-') || !digito(f[4]) || f[5] != '.' ||
        !oito_digitos(f + 6) || !oito_digitos(f + 13))
        return false;
    const bool com_letra = f[21] == 'E';
    const char sinal = f[com_letra ? 22 : 21];
    if ((sinal != '+' && sinal != '-') || !digito(f[23]) || !digito(f[24]) || (!com_letra && !digito(f[22])))
        return false;
    if (com_letra) {
        if (sinal == '-' && f[23] == '0' && f[24] == '0') return false;  // E-00: the exponent 0 is E+00
    } else if (f[22] == '0') {
        return false;  // three digits only from 100 on
    }
    if (f[4] == '0' && std::memcmp(f + 3, " 0.000000000000000E+00", 22) != 0) return false;
    // from_chars takes the field from its sign or first digit as it stands;
    // the form without the letter is given one.
    const char* inicio = f[3] == '-' ? f + 3 : f + 4;
    const char* fim = f + processamento::largura_e25_15;
    char texto[32];
    if (!com_letra) {
        const auto n = static_cast<std::size_t>(f + 21 - inicio);
        std::memcpy(texto, inicio, n);
        texto[n] = 'e';
        std::memcpy(texto + n + 1, f + 21, 4);
        inicio = texto;
        fim = texto + n + 5;
    }
    const auto r = le_real(inicio, fim, valor, std::chars_format::scientific);
    // Beyond the double range (a field rounded up past the largest double)
    // no report holds a value.
    return r.ec == std::errc() && r.ptr == fim && std::isfinite(valor);
}

const char forma_i10[] =
    " in the form malhas_segmentos writes (I10: the digits right-justified in 10 columns, no leading zero): ";
const char forma_e25_15[] =
    " in the form malhas_segmentos writes (E25.15: sign, digit, point, 15 digits, E, sign and two exponent "
    "digits, or sign and three, right-justified in 25 columns): ";

// A value with a blank inside, or one not right-justified, keeps that blank
// and fails the conversion.
std::string_view campo_fixo(std::string_view linha, std::size_t de, std::size_t largura) {
    const std::string_view c = linha.substr(std::min(de, linha.size()), largura);
    const auto k = c.find_first_not_of(' ');
    return k == std::string_view::npos ? std::string_view() : c.substr(k);
}

bool le_real_campo(std::string_view campo, double& valor) {
    constexpr std::size_t largura = processamento::largura_e25_15;
    if (campo.size() > largura) return false;
    char c[largura];
    std::memset(c, ' ', sizeof c);
    std::memcpy(c + largura - campo.size(), campo.data(), campo.size());
    return real_e25_15(std::string_view(c, sizeof c), valor);
}

}  // namespace malhas_qualidade
