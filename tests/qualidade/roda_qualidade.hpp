// malhas_qualidade run in process, as the companion's whole-run tests use
// it: the arguments given, its two streams caught in files of a scratch
// folder of their own.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "malhas_qualidade/principal.hpp"

namespace apoio {

struct resultado_qualidade {
    int status;
    std::string saida, erro;
};

inline resultado_qualidade roda_qualidade(const std::vector<std::string>& argumentos) {
    pasta_temporaria fluxos;
    const std::string nome_saida = (fluxos / "saida").string(), nome_erro = (fluxos / "erro").string();
    std::FILE* saida = std::fopen(nome_saida.c_str(), "wb");
    std::FILE* erro = std::fopen(nome_erro.c_str(), "wb");
    const int status = malhas_qualidade::executa(argumentos, saida, erro);
    std::fclose(saida);
    std::fclose(erro);
    return {status, le_arquivo(nome_saida), le_arquivo(nome_erro)};
}

}  // namespace apoio
