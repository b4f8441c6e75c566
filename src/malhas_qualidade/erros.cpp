#include "malhas_qualidade/erros.hpp"

namespace malhas_qualidade {

void falha(const std::string& arquivo, std::int64_t linha, const std::string& mensagem) {
    falha_qualidade f;
    f.arquivo = arquivo;
    f.linha = linha;
    f.mensagem = mensagem;
    if (!arquivo.empty()) {
        f.texto = arquivo;
        if (linha > 0) f.texto += ", line " + std::to_string(linha);
        f.texto += ": ";
    }
    f.texto += mensagem;
    throw f;
}

void falha_uso(const std::string& mensagem) {
    erro_uso e;
    e.texto = mensagem;
    throw e;
}

std::string citacao(const char* inicio, std::size_t n) {
    constexpr std::size_t limite = 40;
    std::string s = "'";
    for (std::size_t k = 0; k < n && k < limite; ++k) {
        const auto c = static_cast<unsigned char>(inicio[k]);
        s += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    if (n > limite) s += "...";
    return s + "'";
}

}  // namespace malhas_qualidade
