// The free-format reading of the input files.
//
// Each read takes one value, from the first line at or after its starting
// line that holds one, and leaves the next read to start on the following
// line. A value ends at a blank, tab, comma, slash or line end; a comma or a
// slash in place of a value is a null value that leaves the item as it was;
// r*c stands for c; integers may be written base#digits; texts may be
// enclosed in apostrophes or quotation marks. Lines end with LF or CR LF.
//
// The bytes come either from an open file, a block at a time, so that a file
// of any size or content is read in bounded memory, or from memory, for the
// tests and fuzzing. Every failure ends the run with the READ (or OPEN)
// report naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dados {

// Bytes taken from the file per system read.
inline constexpr std::size_t tamanho_bloco_entrada = std::size_t{1} << 16;

// A plain (unenclosed) value longer than this is refused rather than taken.
inline constexpr std::size_t comprimento_maximo_valor = 260;

struct arquivo_entrada {
    std::string nome;    // as the reports name it
    int fd = -1;         // -1 when every byte is already in buffer
    std::string buffer;  // the bytes not yet consumed start at posicao
    std::size_t posicao = 0;
    bool esgotado = false;  // true once no byte beyond buffer remains

    arquivo_entrada() = default;
    arquivo_entrada(const arquivo_entrada&) = delete;
    arquivo_entrada& operator=(const arquivo_entrada&) = delete;
    ~arquivo_entrada();  // closes without reporting: only reached on the way out of a failed run
};

// Opens the file for reading, creating it empty when it does not exist; a
// file that may not be written is accepted. Failure ends the run with the
// OPEN report naming the file.
void abre_entrada(arquivo_entrada& arq, const std::string& nome);

// Reads from the given bytes as if they were the file named nome.
void abre_entrada_memoria(arquivo_entrada& arq, const std::string& nome, std::string bytes);

// Closes the file, leaving it as it is.
void fecha_entrada(arquivo_entrada& arq);

// One read of one item each. They return true when the item was assigned and
// false for a null value, which leaves the item unchanged. le_texto stores
// the first comprimento bytes of the value, padded on the right with blanks.
bool le_inteiro(arquivo_entrada& arq, std::int32_t& item);
bool le_real(arquivo_entrada& arq, double& item);
bool le_texto(arquivo_entrada& arq, std::string& item, std::size_t comprimento);

}  // namespace dados
