// Entry of malhas_qualidade.
#include <cstdio>
#include <string>
#include <vector>

#include "malhas_qualidade/principal.hpp"
#include "tempo_execucao/sistema.hpp"

int main(int argc, char** argv) {
    // A closed pipe or a file-size limit gives a failed write, reported as
    // such, not a death by signal; an interruption leaves no temporary file.
    sistema::prepara_processo();
    sistema::limpa_temporarios_ao_interromper();
    std::vector<std::string> argumentos(argv + 1, argv + argc);
    return malhas_qualidade::executa(argumentos, stdout, stderr);
}
