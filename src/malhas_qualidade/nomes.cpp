#include "malhas_qualidade/nomes.hpp"

namespace malhas_qualidade {

std::string nome_relatorio(const std::string& nome_caso) {
    return base_do_nome(nome_caso) + ".txt";
}

std::string nome_volumes(const std::string& nome_caso) {
    return base_do_nome(nome_caso) + "_vert.txt";
}

}  // namespace malhas_qualidade
