#include <cstdlib>
#include <thread>

#include "malhas_segmentos/execucao.hpp"

namespace execucao {

int linhas_de_execucao() {
    static const int linhas = [] {
        if (const char* texto = std::getenv("MALHAS_LINHAS_EXECUCAO")) {
            char* fim = nullptr;
            const long n = std::strtol(texto, &fim, 10);
            if (fim != texto && *fim == '\0' && n >= 1) return n > 64 ? 64 : static_cast<int>(n);
        }
        const unsigned int n = std::thread::hardware_concurrency();
        return n == 0 ? 1 : n > 64 ? 64 : static_cast<int>(n);
    }();
    return linhas;
}

}  // namespace execucao
