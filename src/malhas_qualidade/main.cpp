// Entry of malhas_qualidade.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "malhas_qualidade/principal.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/sistema.hpp"

int main(int argc, char** argv) {
    tempo_execucao::nomeia_falhas_de_alocacao();
    // A closed pipe or a file-size limit gives a failed write, reported as
    // such, not a death by signal; an interruption leaves no temporary file.
    sistema::prepara_processo();
    sistema::limpa_temporarios_ao_interromper();
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
