// The fields of the result lines: I10, an integer right-justified, and
// E25.15 under 1P, a real in scientific form.
#include "processamento/campos.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>

#include "processamento/produto_128.hpp"

namespace processamento {

namespace {

constexpr std::uint64_t bit_sinal = std::uint64_t{1} << 63;
constexpr std::uint64_t bits_infinito = 0x7FF0000000000000;

// "00" to "99": two digits per division halves the divisions of a field.
constexpr std::array<char, 200> pares_de_digitos = [] {
    std::array<char, 200> t{};
    for (int k = 0; k < 100; ++k) {
        t[static_cast<std::size_t>(2 * k)] = static_cast<char>('0' + k / 10);
        t[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
    }
    return t;
}();

// The two digit routines take the narrowest type that holds the value: on
// 32-bit targets every 64-bit division is a call into the runtime library.

// Writes the decimal digits of m so that they end just before fim; returns
// where they start.
template <class inteiro>
char* digitos_sem_sinal(char* fim, inteiro m) {
    while (m >= 100) {
        const auto par = static_cast<std::size_t>(m % 100) * 2;
        m /= 100;
        fim -= 2;
        std::memcpy(fim, &pares_de_digitos[par], 2);
    }
    if (m >= 10) {
        fim -= 2;
        std::memcpy(fim, &pares_de_digitos[static_cast<std::size_t>(m) * 2], 2);
    } else {
        *--fim = static_cast<char>('0' + m);
    }
    return fim;
}

// Exactly n decimal digits of m (zero-padded on the left), ending before fim.
template <class inteiro>
void digitos_fixos(char* fim, inteiro m, int n) {
    for (; n >= 2; n -= 2) {
        const auto par = static_cast<std::size_t>(m % 100) * 2;
        m /= 100;
        fim -= 2;
        std::memcpy(fim, &pares_de_digitos[par], 2);
    }
    if (n == 1) *--fim = static_cast<char>('0' + m % 10);
}

// Infinite and NaN values never reach a field in a run (the traps end it
// first), but the field must still come out as its 25 bytes.
char* campo_nao_finito(char* destino, std::uint64_t bits) {
    const bool nan = (bits & ~bit_sinal) > bits_infinito;
    const char* texto = nan ? "NaN" : (bits & bit_sinal) ? "-Infinity" : "Infinity";
    const std::size_t n = std::strlen(texto);
    std::memset(destino, ' ', 25 - n);
    std::memcpy(destino + (25 - n), texto, n);
    return destino + 25;
}

// The exponent text: E, sign and two digits while |p| ≤ 99, else the sign and
// three digits (a double never needs more). Returns the position after it.
char* texto_expoente(char* q, int p) {
    const int a = p < 0 ? -p : p;
    if (a <= 99) {
        *q++ = 'E';
        *q++ = p < 0 ? '-' : '+';
    } else {
        *q++ = p < 0 ? '-' : '+';
        *q++ = static_cast<char>('0' + a / 100);
    }
    *q++ = static_cast<char>('0' + a / 10 % 10);
    *q++ = static_cast<char>('0' + a % 10);
    return q;
}

// The exponent printed by to_chars after its 'e'.
int le_expoente(const char* p, const char* fim_texto) {
    const bool negativo = *p == '-';
    int e = 0;
    for (++p; p < fim_texto; ++p)
        e = e * 10 + (*p - '0');
    return negativo ? -e : e;
}

constexpr std::array<std::uint64_t, 20> potencias_de_10 = [] {
    std::array<std::uint64_t, 20> t{};
    t[0] = 1;
    for (std::size_t k = 1; k < t.size(); ++k)
        t[k] = t[k - 1] * 10;
    return t;
}();

// The 17 significant digits of m·2^e (the magnitude's exact value) rounded
// half away from zero, as an integer from 10^16 to 10^17 - 1, with the
// decimal exponent p. One 128-bit product m·10^k and a shift give the exact
// quotient and remainder, for the values a mesh is made of: normal doubles
// from about 10^-3 to 2^52 with a fraction. Returns false for the others,
// which take the general conversion.
bool dezessete_digitos_exatos(std::uint64_t magnitude, std::uint64_t& q, int& p) {
    const int expoente_bruto = static_cast<int>(magnitude >> 52);
    if (expoente_bruto == 0) return false;  // denormals
    const std::uint64_t m = (magnitude & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int e = expoente_bruto - 1075;  // value = m · 2^e
    if (e >= 0 || e < -127) return false;
    // floor(log10 value) is this estimate or one more.
    const int estimativa = ((e + 52) * 78913) >> 18;
    for (int k = 16 - estimativa; k >= 15 - estimativa; --k) {
        if (k < 0 || k > 19) return false;
        const produto_128 produto = multiplica_64x64(m, potencias_de_10[static_cast<std::size_t>(k)]);
        const int deslocamento = -e;
        std::uint64_t quociente = desloca_128(produto, deslocamento);
        if (quociente >= potencias_de_10[17]) continue;  // 18 digits: one place less
        p = 16 - k;
        // The remainder is at least half exactly when the bit below the
        // quotient is set: ties away from zero.
        if ((desloca_128(produto, deslocamento - 1) & 1) != 0) ++quociente;
        if (quociente == potencias_de_10[17]) {
            quociente = potencias_de_10[16];
            ++p;
        }
        q = quociente;
        return true;
    }
    return false;
}

}  // namespace

void digitos_e25_15(double magnitude, std::uint64_t& d16, int& p) {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    std::uint64_t d17 = 0;
    const bool exato = dezessete_digitos_exatos(bits, d17, p);
    if (!exato) {
        // 17 significant digits of the exact value, "d.dddddddddddddddde±xx".
        // to_chars breaks exact ties to even where the rule wants them away
        // from zero, but that never matters: an exact tie at the 18th digit of
        // a double (m·5^k/10^k with k ≥ 2, divisible by 25) always leaves a 2
        // or a 7 as the 17th digit, and 2 or 3 truncate alike while 7 becomes
        // 8 either way.
        char b[32];
        const auto r = std::to_chars(b, b + sizeof b, magnitude, std::chars_format::scientific, 16);
        d17 = static_cast<std::uint64_t>(b[0] - '0');
        for (int k = 2; k < 18; ++k)
            d17 = d17 * 10 + static_cast<std::uint64_t>(b[k] - '0');
        p = le_expoente(b + 19, r.ptr);
    }
    // The second rounding looks only at the 17th digit.
    d16 = d17 / 10;
    if (d17 - d16 * 10 >= 5 && ++d16 == 10000000000000000ull) {
        d16 = 1000000000000000ull;
        ++p;
    }
}

char* campo_i10(char* destino, std::int32_t v) {
    if (v < -999999999) {
        std::memset(destino, '*', 10);
        return destino + 10;
    }
    const std::uint32_t m = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    char* c = digitos_sem_sinal(destino + 10, m);
    if (v < 0) *--c = '-';
    std::memset(destino, ' ', static_cast<std::size_t>(c - destino));
    return destino + 10;
}

namespace {

template <class inteiro>
int quantos_digitos(inteiro m) {
    int n = 1;
    for (; m >= 10; m /= 10)
        ++n;
    return n;
}

template <class inteiro>
char* decimal_sem_sinal(char* destino, inteiro m) {
    char* const fim = destino + quantos_digitos(m);
    digitos_sem_sinal(fim, m);
    return fim;
}

}  // namespace

char* escreve_decimal(char* destino, std::int64_t v) {
    const std::uint64_t m = v < 0 ? 0u - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    if (v < 0) *destino++ = '-';
    if (m <= UINT32_MAX) return decimal_sem_sinal(destino, static_cast<std::uint32_t>(m));
    return decimal_sem_sinal(destino, m);
}

char* campo_e25_15(char* destino, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const auto magnitude = bits & ~bit_sinal;
    if (magnitude == 0) {
        std::memcpy(destino, "    0.000000000000000E+00", 25);
        return destino + 25;
    }
    if (magnitude >= bits_infinito) return campo_nao_finito(destino, bits);

    std::uint64_t d16 = 0;
    int p = 0;
    digitos_e25_15(std::bit_cast<double>(magnitude), d16, p);

    char* q = destino;
    std::memcpy(q, (bits & bit_sinal) ? "   -" : "    ", 4);
    q += 4;
    *q++ = static_cast<char>('0' + d16 / 1000000000000000ull);
    *q++ = '.';
    // The 15 digits after the point as 7 and 8 digits of 32 bits each.
    const std::uint64_t depois = d16 % 1000000000000000ull;
    const std::uint64_t alto = depois / 100000000u;
    digitos_fixos(q + 15, static_cast<std::uint32_t>(depois - alto * 100000000u), 8);
    digitos_fixos(q + 7, static_cast<std::uint32_t>(alto), 7);
    q += 15;
    texto_expoente(q, p);
    return destino + 25;
}

}  // namespace processamento
