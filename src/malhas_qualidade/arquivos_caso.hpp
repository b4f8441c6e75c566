// The case file and the parameter file of a case folder, read by the same
// free-format rule as malhas_segmentos reads them, without starting the
// editor and without creating a file that is missing.
#pragma once

#include <cstdint>
#include <string>

namespace malhas_qualidade {

struct caso {
    std::string nome_caso;  // 100 characters, blank-padded
    std::int32_t nvol_ksi = 0;
    std::int32_t nvol_eta = 0;
    std::int32_t tipo_malha = 0;
};

struct parametros {
    std::int32_t niter_solver = 0;
    std::int32_t niter = 0;
    double dksi = 0.0;
    double deta = 0.0;
    std::int32_t tipo_p = 0;
    std::int32_t tipo_q = 0;
};

// Both fail with falha_qualidade naming the file and the line.
caso le_caso(const std::string& caminho);
parametros le_parametros(const std::string& caminho);

// The same reads from bytes in memory, as if they were the named file.
caso le_caso_memoria(const std::string& nome, std::string bytes);
parametros le_parametros_memoria(const std::string& nome, std::string bytes);

}  // namespace malhas_qualidade
