// A result file: opened without changing an existing file, cut to nothing
// when its first line is written, filled through a large buffer so that a
// big mesh costs few system calls.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "tempo_execucao/sistema.hpp"

namespace processamento {

struct arquivo_saida {
    std::string nome;  // as the report names it
    int fd = -1;
    bool cortado = false;  // true once the first line has cut the old contents
    std::unique_ptr<char[]> buffer;
    std::size_t usados = 0;

    arquivo_saida() = default;
    arquivo_saida(const arquivo_saida&) = delete;
    arquivo_saida& operator=(const arquivo_saida&) = delete;
    ~arquivo_saida();  // closes without reporting: only reached on the way out of a failed run
};

inline constexpr std::size_t tamanho_buffer_saida = std::size_t{1} << 20;

// Gives the file its name and its buffer, the memory it needs, without
// touching the disk: a run allocates for every result file before it opens
// the first.
void prepara_saida(arquivo_saida& arq, const std::string& nome);

// Opens the prepared file (creating a missing file empty, leaving an existing
// one as it is) and holds it against other runs until it is closed. Failure,
// a file that is not a regular one, or one that another run is writing, ends
// the run with the OPEN report naming the file.
void abre_saida(arquivo_saida& arq);

// Both, for a file written on its own.
void abre_saida(arquivo_saida& arq, const std::string& nome);

// Appends bytes that make up whole lines. The first call cuts the file.
void escreve_bytes(arquivo_saida& arq, const char* dados, std::size_t n);
inline void escreve_bytes(arquivo_saida& arq, std::string_view texto) {
    escreve_bytes(arq, texto.data(), texto.size());
}

// Writes what is buffered, then the n bytes (whole lines) straight from
// dados, without copying them into the buffer. The first write cuts the file.
// Failure ends the run with the WRITE report naming the file.
void escreve_direto(arquivo_saida& arq, const char* dados, std::size_t n);

// Writes what is buffered, so that the file holds every line given so far.
// Failure ends the run with the WRITE report naming the file.
void descarrega_saida(arquivo_saida& arq);

// Writes what is buffered and closes. Failure ends the run with the WRITE or
// CLOSE report naming the file.
void fecha_saida(arquivo_saida& arq);

// Identity of an open file, for telling whether two names lead to the same file.
using sistema::identidade_arquivo;
identidade_arquivo identidade(const arquivo_saida& arq);

}  // namespace processamento
