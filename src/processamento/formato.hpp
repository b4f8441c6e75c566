// Format texts and the lines they make.
//
// A format text such as "(I10,2(1P,E25.15))" is compiled once into a
// formato and then used for every line it writes. Fixed texts are ISO 8859-1
// bytes, one byte per column.
//
// The language is the one the result files are written in, and no more: the
// fields I10 and E25.15 (under the scale factor 1P, which must come before
// it), fixed texts, column positions Tn, line breaks and repeated groups n(...)
// that do not nest. When values remain at the end of the format, processing
// starts again at its last repeated group, on a new line.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "processamento/arquivo_saida.hpp"

namespace processamento {

// One value of a write: a 32-bit integer for an I field, a double for an E field.
struct valor {
    bool inteiro;
    std::int32_t i;
    double r;
    valor(std::int32_t v) : inteiro(true), i(v), r(0.0) {}  // NOLINT: implicit by design
    valor(double v) : inteiro(false), i(0), r(v) {}         // NOLINT
};

// A compiled format text. compila_formato refuses with std::invalid_argument
// any text outside the language above.
struct formato {
    struct item {
        enum tipo_item { inteiro, real, posicao, quebra, texto, grupo_inicio, grupo_fim } tipo;
        int coluna = 0;        // posicao: the column, from 1
        int repeticoes = 1;    // grupo_inicio: repeat count
        int par = -1;          // grupo_inicio/grupo_fim: index of the matching item
        std::string conteudo;  // texto: the bytes between the apostrophes
    };
    std::string texto;
    std::vector<item> itens;
    int reversao = 0;  // where processing starts again when values remain
};

formato compila_formato(std::string_view texto);

// Appends to linhas the complete lines (each ended by CR LF) that the format
// makes of the values. A value of the wrong kind for its field, or values that
// no field would ever take, are refused with std::invalid_argument and leave
// linhas as it was.
void formata(std::string& linhas, const formato& fmt, std::span<const valor> valores);

// Writes those lines to the file, or, when the values are refused as above,
// nothing. Writes straight into the file's buffer: nothing is allocated.
void escreve_formatado(arquivo_saida& arq, const formato& fmt, std::span<const valor> valores);
inline void escreve_formatado(arquivo_saida& arq, const formato& fmt, std::initializer_list<valor> valores) {
    escreve_formatado(arq, fmt, std::span<const valor>(valores.begin(), valores.size()));
}

// The separator line of the outline file: one blank and CR LF.
inline constexpr std::string_view linha_branca{" \r\n", 3};

}  // namespace processamento
