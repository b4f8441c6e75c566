// An input file of malhas_qualidade, open for reading.
//
// Inputs are never created and never waited for: what is not a regular file
// (a folder, FIFO, socket or device) is refused at once, without blocking.
// The result files of malhas_segmentos are read under a shared lock, so
// that a run writing them (which holds them exclusively) is told apart from
// a file that is merely short.
#pragma once

#include <cstddef>
#include <string>

namespace malhas_qualidade {

struct arquivo_lido {
    std::string nome;
    int fd = -1;

    arquivo_lido() = default;
    arquivo_lido(const arquivo_lido&) = delete;
    arquivo_lido& operator=(const arquivo_lido&) = delete;
    ~arquivo_lido();
};

// resultado: one of the result files of malhas_segmentos (read under the
// lock). Fails with falha_qualidade naming the file.
void abre_lido(arquivo_lido& a, const std::string& nome, bool resultado);

// Up to n bytes; 0 at the end of the file. Fails naming the file.
std::size_t le_bytes(arquivo_lido& a, char* destino, std::size_t n);

}  // namespace malhas_qualidade
