// An output file written under a temporary name in the same folder and
// renamed to its own name only when it is complete, so that a failed or
// interrupted run never leaves a partial file under that name (and an older
// file of that name stays as it was).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace malhas_qualidade {

struct arquivo_saida {
    std::string nome;        // the final name
    std::string temporario;  // where the bytes go until it is complete
    std::FILE* f = nullptr;
    std::vector<char> buffer;
    std::size_t usado = 0;

    arquivo_saida() = default;
    arquivo_saida(const arquivo_saida&) = delete;
    arquivo_saida& operator=(const arquivo_saida&) = delete;
    ~arquivo_saida();  // removes the temporary file of an output not completed
};

void abre_saida(arquivo_saida& s, const std::string& nome);
void escreve(arquivo_saida& s, const void* bytes, std::size_t n);
inline void escreve(arquivo_saida& s, std::string_view texto) {
    escreve(s, texto.data(), texto.size());
}
// Room for at least n bytes at the end of the buffer, written by the caller,
// who then adds them with confirma: saves a copy for the bulk of the data.
char* reserva(arquivo_saida& s, std::size_t n);
inline void confirma(arquivo_saida& s, std::size_t n) {
    s.usado += n;
}
// Writes what is left, closes, and gives the file its name.
void conclui_saida(arquivo_saida& s);

// Number texts: the shortest that reads back as the same double, and
// decimal integers. They return the end of what they wrote.
char* escreve_real(char* p, double v);
char* escreve_inteiro(char* p, std::int64_t v);

}  // namespace malhas_qualidade
