#include "malhas_qualidade/nomes.hpp"

namespace malhas_qualidade {

std::string base_do_nome(const std::string& nome_caso) {
    const auto inicio = nome_caso.find_first_not_of(' ');
    if (inicio == std::string::npos) return std::string();
    const auto fim = nome_caso.find_last_not_of(' ');
    return nome_caso.substr(inicio, fim - inicio + 1);
}

std::string nome_relatorio(const std::string& nome_caso) {
    return base_do_nome(nome_caso) + ".txt";
}

std::string nome_volumes(const std::string& nome_caso) {
    return base_do_nome(nome_caso) + "_vert.txt";
}

}  // namespace malhas_qualidade
