#include "malhas_qualidade/comum/erros.hpp"

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

}  // namespace malhas_qualidade
