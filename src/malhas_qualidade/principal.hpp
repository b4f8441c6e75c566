// A run of malhas_qualidade: the options read (opcoes.hpp), then each room
// called in turn.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "malhas_qualidade/opcoes.hpp"

namespace malhas_qualidade {

// The whole run; returns the exit status (0, 1 on a failure, 2 on a usage
// error, or one of those of comum/erros.hpp), having written the failure's
// message on erro.
int executa(const std::vector<std::string>& argumentos, std::FILE* saida, std::FILE* erro);

}  // namespace malhas_qualidade
