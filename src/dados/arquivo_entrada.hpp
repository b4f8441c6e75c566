// The bytes of an input file, as the reading rule consumes them.
//
// The bytes come either from an open file, a block at a time, so that a file
// of any size or content is read in bounded memory, or from memory, for the
// tests and fuzzing. Line ends (LF, CR LF, or a CR that is the file's last
// byte) are seen as one character. A UTF-8 byte-order mark (EF BB BF), which
// some editors put at the start of a file, is skipped there and nowhere else.
#pragma once

#include <cstddef>
#include <string>

namespace dados {

// Bytes taken from the file per system read.
inline constexpr std::size_t tamanho_bloco_entrada = std::size_t{1} << 16;

struct arquivo_entrada {
    std::string nome;    // as the reports name it
    int fd = -1;         // -1 when every byte is already in buffer
    std::string buffer;  // the bytes not yet consumed start at posicao
    std::size_t posicao = 0;
    bool esgotado = false;  // true once no byte beyond buffer remains
    bool no_inicio = true;  // nothing read yet: a byte-order mark may stand here
    const char* item = "";  // the item being read, for a reader that names it in its own messages

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

// What espia finds at the read position besides an ordinary byte.
inline constexpr int fim_de_arquivo = -1;
inline constexpr int fim_de_linha = -2;

struct caractere {
    int valor;            // the byte (0 to 255), fim_de_linha or fim_de_arquivo
    std::size_t largura;  // bytes it takes in the file
};

// The character at the read position, and the step past it.
caractere espia(arquivo_entrada& arq);
inline void consome(arquivo_entrada& arq, const caractere& c) {
    arq.posicao += c.largura;
}

// Ends the run with the READ report naming the file.
[[noreturn]] void falha_leitura(const arquivo_entrada& arq, int codigo, const std::string& mensagem);

}  // namespace dados
