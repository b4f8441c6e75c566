// Format texts and the field rules of the result files.
//
// A format text such as "(I10,2(1P,E25.15))" is compiled once into a
// formato and then used for every line it writes: the writers are called
// millions of times in a run on a big mesh. Fixed texts are ISO 8859-1 bytes,
// one byte per column.
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

// A compiled format text. Items of the language that the result files do not
// use are refused by compila_formato with std::invalid_argument.
struct formato {
    struct item {
        enum tipo_item { inteiro, real, posicao, quebra, texto, escala, grupo_inicio, grupo_fim } tipo;
        int largura = 0;       // I and E fields: width; posicao: column
        int decimais = 0;      // E fields: digits after the point; escala: the factor
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
// makes of the values.
void formata(std::string& linhas, const formato& fmt, std::span<const valor> valores);

// Writes one or more complete lines to the file.
void escreve_formatado(arquivo_saida& arq, const formato& fmt, std::span<const valor> valores);
inline void escreve_formatado(arquivo_saida& arq, const formato& fmt, std::initializer_list<valor> valores) {
    escreve_formatado(arq, fmt, std::span<const valor>(valores.begin(), valores.size()));
}

// The separator line: one blank and CR LF.
void escreve_linha_branca(arquivo_saida& arq);

}  // namespace processamento
