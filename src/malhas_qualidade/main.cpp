// Entry of malhas_qualidade.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "malhas_qualidade/principal.hpp"
#include "tempo_execucao/alocacao.hpp"

int main(int argc, char** argv) {
    tempo_execucao::nomeia_falhas_de_alocacao();
    std::vector<std::string> argumentos;
    try {
        tempo_execucao::alocando nome("command-line arguments");
        argumentos.assign(argv + 1, argv + argc);
    } catch (const std::bad_alloc& falha) {
        // The name is a static text: nothing on this path allocates.
        std::fprintf(stderr, "malhas_qualidade: insufficient memory (%s)\n",
                     tempo_execucao::o_que_faltou(falha));
        return 1;
    }
    return malhas_qualidade::executa(argumentos, stdout, stderr);
}
