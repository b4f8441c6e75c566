// Entry of malhas_qualidade.
#include <cstdio>
#include <string>
#include <vector>

#include "malhas_qualidade/principal.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> argumentos(argv + 1, argv + argc);
    return malhas_qualidade::executa(argumentos, stdout, stderr);
}
