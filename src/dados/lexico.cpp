#include "dados/lexico.hpp"

#include <cstdint>

#include "tempo_execucao/relatorio_erro.hpp"

namespace dados {

namespace {

using tempo_execucao::citacao;

bool termina_valor(int c) {
    return c == ' ' || c == '\t' || c == ',' || c == '/' || c == fim_de_linha || c == fim_de_arquivo;
}

bool digito_decimal(char c) {
    return c >= '0' && c <= '9';
}

// "12*": a repeat count and its star, with nothing after them yet.
bool prefixo_repeticao(const std::string& valor) {
    if (valor.size() < 2 || valor.back() != '*') return false;
    for (std::size_t k = 0; k + 1 < valor.size(); ++k) {
        if (!digito_decimal(valor[k])) return false;
    }
    return true;
}

// Takes an enclosed text, the opening mark being at the read position. The
// value ends at the matching mark on the same line; a doubled mark stands
// for one. Only the first guarda bytes are kept, but the scan goes on to the
// closing mark so that the rest of the value is dropped, not read as the
// next value.
void le_delimitado(arquivo_entrada& arq, std::string& valor, std::size_t guarda) {
    const caractere abertura = espia(arq);
    consome(arq, abertura);
    for (;;) {
        const caractere c = espia(arq);
        if (c.valor == fim_de_linha || c.valor == fim_de_arquivo) {
            falha_leitura(arq, tempo_execucao::codigo_texto_aberto,
                          "enclosed text without its closing mark on its line");
        }
        consome(arq, c);
        if (c.valor == abertura.valor) {
            const caractere seguinte = espia(arq);
            if (seguinte.valor != abertura.valor) return;
            consome(arq, seguinte);
        }
        if (valor.size() < guarda) valor.push_back(static_cast<char>(c.valor));
    }
}

}  // namespace

bool le_valor(arquivo_entrada& arq, tipo_valor tipo, std::string& valor, std::size_t guarda) {
    caractere c = espia(arq);
    while (c.valor == ' ' || c.valor == '\t' || c.valor == fim_de_linha) {
        consome(arq, c);
        c = espia(arq);
    }
    if (c.valor == fim_de_arquivo) falha_leitura(arq, tempo_execucao::codigo_fim_de_arquivo, "end of file");
    if (c.valor == ',' || c.valor == '/') return false;

    valor.clear();
    bool delimitado = false;
    for (;;) {
        c = espia(arq);
        if (termina_valor(c.valor)) break;
        if (tipo == tipo_valor::texto && (c.valor == '\'' || c.valor == '"') &&
            (valor.empty() || prefixo_repeticao(valor))) {
            delimitado = true;
            break;
        }
        if (valor.size() == comprimento_maximo_valor) {
            falha_leitura(arq, tempo_execucao::codigo_valor_longo,
                          "value longer than " + std::to_string(comprimento_maximo_valor) +
                              " characters: " + citacao(valor));
        }
        valor.push_back(static_cast<char>(c.valor));
        consome(arq, c);
    }

    const std::size_t estrela = valor.find('*');
    if (estrela != std::string::npos && estrela > 0 && prefixo_repeticao(valor.substr(0, estrela + 1))) {
        // The count only says how many items the value would fill; one read
        // fills one, so beyond being positive and a proper count it has no use.
        std::int64_t contagem = 0;
        for (std::size_t k = 0; k < estrela && contagem <= INT32_MAX; ++k)
            contagem = contagem * 10 + (valor[k] - '0');
        if (contagem == 0) {
            falha_leitura(arq, tempo_execucao::codigo_repeticao_zero,
                          "repeat count of zero: " + citacao(valor));
        }
        if (contagem > INT32_MAX) {
            falha_leitura(arq, tempo_execucao::codigo_inteiro_fora,
                          "repeat count out of range: " + citacao(valor));
        }
        valor.erase(0, estrela + 1);
        if (valor.empty() && !delimitado) return false;  // "r*" alone: r null values
    }
    if (delimitado) le_delimitado(arq, valor, guarda);
    return true;
}

void pula_resto_da_linha(arquivo_entrada& arq) {
    for (;;) {
        const caractere c = espia(arq);
        if (c.valor == fim_de_arquivo) return;
        consome(arq, c);
        if (c.valor == fim_de_linha) return;
    }
}

}  // namespace dados
