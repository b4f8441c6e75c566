#include "malhas_qualidade/comum/numeros.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "processamento/campos.hpp"

namespace malhas_qualidade {

char* escreve_inteiro(char* p, std::int64_t v) {
    return processamento::escreve_decimal(p, v);
}

char* escreve_real(char* p, double v) {
    if (std::isnan(v)) {
        std::memcpy(p, "nan", 3);
        return p + 3;
    }
    return std::to_chars(p, p + 32, v).ptr;
}

std::string texto_real(double v) {
    char b[32];
    return std::string(b, escreve_real(b, v));
}

void escreve_linha_inteiros(saida_atomica& s, std::initializer_list<std::int64_t> valores) {
    char* const inicio = reserva(s, 24 * valores.size() + 2);
    char* q = inicio;
    bool primeiro = true;
    for (std::int64_t v : valores) {
        if (!primeiro) *q++ = ' ';
        primeiro = false;
        q = escreve_inteiro(q, v);
    }
    *q++ = '\n';
    confirma(s, static_cast<std::size_t>(q - inicio));
}

std::from_chars_result le_real(const char* inicio, const char* fim, double& valor,
                               std::chars_format formato) {
    const auto r = std::from_chars(inicio, fim, valor, formato);
#if defined(__i386__) || defined(_M_IX86)
    char texto[64];
    const auto n = static_cast<std::size_t>(r.ptr - inicio);
    if (r.ec == std::errc() && n < sizeof texto) {
        std::memcpy(texto, inicio, n);
        texto[n] = '\0';
        valor = std::strtod(texto, nullptr);
    }
#endif
    return r;
}

}  // namespace malhas_qualidade
