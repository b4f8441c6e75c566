#include "tempo_execucao/relatorio_erro.hpp"

#include <algorithm>
#include <cstring>

#include "tempo_execucao/sistema.hpp"

namespace tempo_execucao {

erro_execucao::erro_execucao(std::string codigo, std::string instrucao, std::string mensagem)
    : codigo_(std::move(codigo)), instrucao_(std::move(instrucao)), mensagem_(std::move(mensagem)) {}

// Made in a fixed buffer, a piece at a time: the report must get out when
// the failure is that no memory is left.
void escreve_relatorio_erro(const erro_execucao& erro) {
    char texto[512];
    std::size_t n = 0;
    auto acrescenta = [&](std::string_view s) {
        while (!s.empty()) {
            if (n == sizeof texto) {
                sistema::escreve_erro_padrao(texto, n);
                n = 0;
            }
            const std::size_t k = std::min(s.size(), sizeof texto - n);
            std::memcpy(texto + n, s.data(), k);
            n += k;
            s.remove_prefix(k);
        }
    };
    acrescenta("\r\nrun-time error ");
    acrescenta(erro.codigo());
    acrescenta(": ");
    acrescenta(erro.instrucao());
    acrescenta("\r\n- ");
    acrescenta(erro.mensagem());
    acrescenta("\r\n");
    sistema::escreve_erro_padrao(texto, n);
}

// A result file is named after the case, so a report can carry bytes that
// the user typed into the case file: a NUL, a lone CR, a terminal escape, a
// C1 control such as 0x9B (a terminal's CSI). Those are shown as '?', so the
// report stays three plain lines and cannot drive the terminal it is written
// to. Letters of ISO 8859-1 (0xA0 and above) stay as they are.
char visivel(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 || (b >= 0x7f && b < 0xa0)) ? '?' : c;
}

void acrescenta_visivel(std::string& destino, std::string_view texto) {
    for (const char c : texto)
        destino += visivel(c);
}

// The bytes of an input file are of no known encoding (an editor may have
// saved UTF-8), so a quotation keeps printable ASCII only: a report never
// carries half of a multi-byte character.
std::string citacao(std::string_view texto) {
    constexpr std::size_t limite = 40;
    std::string s = "'";
    for (std::size_t k = 0; k < texto.size() && k < limite; ++k) {
        const auto c = static_cast<unsigned char>(texto[k]);
        s += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    if (texto.size() > limite) s += "...";
    s += '\'';
    return s;
}

void falha_es(int codigo, std::string_view instrucao, std::string_view arquivo, std::string_view mensagem) {
    std::string inst(instrucao);
    inst += " (";
    acrescenta_visivel(inst, arquivo);
    inst += ')';
    std::string msg;
    acrescenta_visivel(msg, mensagem);
    throw erro_execucao("F" + std::to_string(codigo), std::move(inst), std::move(msg));
}

void falha_alocacao(std::string_view array, int codigo, std::string_view mensagem) {
    std::string inst = "ALLOCATE (";
    inst += array;
    inst += ')';
    throw erro_execucao("F" + std::to_string(codigo), std::move(inst), std::string(mensagem));
}

}  // namespace tempo_execucao
