#include "dados/conversoes.hpp"

#include <cmath>
#include <cstdlib>
#include <string>

#include "tempo_execucao/armadilhas.hpp"

namespace dados {

namespace {

bool digito_decimal(char c) {
    return c >= '0' && c <= '9';
}

int valor_digito(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

}  // namespace

conversao converte_inteiro(std::string_view t, std::int32_t& resultado) {
    std::size_t k = 0;
    bool negativo = false;
    if (k < t.size() && (t[k] == '+' || t[k] == '-')) {
        negativo = t[k] == '-';
        ++k;
    }
    std::int64_t base = 10;
    const std::size_t cerquilha = t.find('#', k);
    if (cerquilha != std::string_view::npos) {
        if (cerquilha == k) {
            base = 16;
        } else {
            base = 0;
            for (std::size_t m = k; m < cerquilha; ++m) {
                if (!digito_decimal(t[m])) return conversao::forma_errada;
                if (base <= 36) base = base * 10 + (t[m] - '0');
            }
            if (base < 2 || base > 36) return conversao::forma_errada;
        }
        k = cerquilha + 1;
    }
    if (k == t.size()) return conversao::forma_errada;

    // Accumulation stops once past every 32-bit magnitude; the digits are
    // still checked so that a malformed value is reported as such.
    constexpr std::int64_t maior_magnitude = std::int64_t{INT32_MAX} + 1;
    std::int64_t magnitude = 0;
    for (; k < t.size(); ++k) {
        const int d = valor_digito(t[k]);
        if (d < 0 || d >= base) return conversao::forma_errada;
        if (magnitude <= maior_magnitude) magnitude = magnitude * base + d;
    }
    if (magnitude > (negativo ? maior_magnitude : maior_magnitude - 1)) return conversao::fora_do_intervalo;
    resultado = static_cast<std::int32_t>(negativo ? -magnitude : magnitude);
    return conversao::certa;
}

// The exponent letter is E, in either case; any other letter, D included,
// is of the wrong form. The library conversion is given only
// texts of the checked form, so no hexadecimal, infinity or nan spelling ever
// gets through it.
conversao converte_real(std::string_view t, double& resultado) {
    std::size_t k = 0;
    if (k < t.size() && (t[k] == '+' || t[k] == '-')) ++k;
    std::size_t digitos = 0;
    while (k < t.size() && digito_decimal(t[k]))
        ++k, ++digitos;
    if (k < t.size() && t[k] == '.') {
        ++k;
        while (k < t.size() && digito_decimal(t[k]))
            ++k, ++digitos;
    }
    if (digitos == 0) return conversao::forma_errada;
    if (k < t.size() && (t[k] == 'E' || t[k] == 'e')) {
        ++k;
        if (k < t.size() && (t[k] == '+' || t[k] == '-')) ++k;
        std::size_t digitos_expoente = 0;
        while (k < t.size() && digito_decimal(t[k]))
            ++k, ++digitos_expoente;
        if (digitos_expoente == 0) return conversao::forma_errada;
    }
    if (k != t.size()) return conversao::forma_errada;

    const std::string normal(t);
    // The run never changes the C locale, so the point is the decimal
    // separator here. Out-of-range conversions raise overflow and underflow
    // flags, which must not fire the run's floating-point traps: the result
    // is judged below instead.
    char* fim = nullptr;
    const double r = tempo_execucao::sem_armadilhas([&] { return std::strtod(normal.c_str(), &fim); });
    if (fim != normal.c_str() + normal.size()) return conversao::forma_errada;
    if (std::isinf(r)) return conversao::fora_do_intervalo;
    resultado = r;
    return conversao::certa;
}

}  // namespace dados
