#include "tempo_execucao/linhas_execucao.hpp"

#include <cstdlib>

#include "tempo_execucao/sistema.hpp"

namespace tempo_execucao {

int linhas_de_execucao() {
    static const int linhas = [] {
        if (const char* texto = std::getenv("MALHAS_LINHAS_EXECUCAO")) {
            char* fim = nullptr;
            const long n = std::strtol(texto, &fim, 10);
            if (fim != texto && *fim == '\0' && n >= 1) return n > 64 ? 64 : static_cast<int>(n);
        }
        const int n = sistema::processadores_disponiveis();
        return n < 1 ? 1 : n > 64 ? 64 : n;
    }();
    return linhas;
}

}  // namespace tempo_execucao
