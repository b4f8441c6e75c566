// The command line and the sequence of a run of malhas_qualidade.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace malhas_qualidade {

struct opcoes {
    std::string pasta = ".";
    std::string caso;  // --caso; empty: from entradas.txt
    std::string csv, vtk, msh, plot3d, su2;
    std::string openfoam;    // the case folder
    double espessura = 1.0;  // of the one-layer mesh --openfoam writes and checkMesh's figures measure
    bool verifica = false;
    bool sem_residuo = false;
    bool ajuda = false, versao = false;
};

// Fails with erro_uso.
opcoes analisa_argumentos(const std::vector<std::string>& argumentos);

// The exit status of a run whose summary holds an undefined measure or
// residual somewhere: a script can tell it from a complete one.
inline constexpr int status_indefinido = 4;
// The exit status of a run with --verifica whose mesh fails a check (an
// undefined figure among them: it takes the place of status_indefinido).
inline constexpr int status_verificacao = 3;

// The whole run; returns the exit status (0, 1 on a failure, 2 on a usage
// error, status_verificacao, status_indefinido), having written the
// failure's message on erro.
int executa(const std::vector<std::string>& argumentos, std::FILE* saida, std::FILE* erro);

}  // namespace malhas_qualidade
