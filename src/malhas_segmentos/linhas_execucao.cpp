#include <cstdlib>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

#include "malhas_segmentos/execucao.hpp"

namespace execucao {

int linhas_de_execucao() {
    static const int linhas = [] {
        if (const char* texto = std::getenv("MALHAS_LINHAS_EXECUCAO")) {
            char* fim = nullptr;
            const long n = std::strtol(texto, &fim, 10);
            if (fim != texto && *fim == '\0' && n >= 1) return n > 64 ? 64 : static_cast<int>(n);
        }
        unsigned int n = std::thread::hardware_concurrency();
#if defined(__linux__)
        // A run confined to fewer processors (taskset, a container's CPU
        // set) gets no more threads than it has processors.
        cpu_set_t conjunto;
        if (sched_getaffinity(0, sizeof conjunto, &conjunto) == 0 && CPU_COUNT(&conjunto) > 0)
            n = static_cast<unsigned int>(CPU_COUNT(&conjunto));
#endif
        return n == 0 ? 1 : n > 64 ? 64 : static_cast<int>(n);
    }();
    return linhas;
}

}  // namespace execucao
