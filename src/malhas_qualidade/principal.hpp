// The command line and the sequence of a run of malhas_qualidade.
#pragma once

#include <cstdint>
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
    std::string svg;                     // --svg: the mesh as a picture
    std::string medida;                  // --medida; empty: skew
    std::vector<std::string> historico;  // --historico, each .csv or .svg
    double tolerancia = 0.0;             // --tolerancia; 0: the summary's settled threshold
    bool sem_residuo = false;
    // --ortogonaliza: the solver-grade mesh, made from the case file's sizes,
    // in place of the result files (ortogonalizacao/ortogonaliza.hpp).
    bool ortogonaliza = false;
    double gradua = 1.0;             // --gradua: the power of the grading; 1: none
    std::int64_t max_iteracoes = 0;  // --max-iteracoes; 0: the default
    std::string grava;               // --grava: the folder of its result files
    bool ajuda = false, versao = false;
};

// Fails with erro_uso.
opcoes analisa_argumentos(const std::vector<std::string>& argumentos);

// The exit status of a run whose summary holds an undefined measure or
// residual somewhere, or whose solver-grade mesh reached its iteration limit
// before it settled: a script can tell it from a complete one.
inline constexpr int status_indefinido = 4;
// The exit status of a run with --verifica whose mesh fails a check (an
// undefined figure among them: it takes the place of status_indefinido).
inline constexpr int status_verificacao = 3;
// The exit status of a history whose re-run does not give the result files:
// they come from another run, were edited, or the case files changed since
// (or the program's own run of the case files would end at a
// floating-point fault). It wins over status_verificacao and
// status_indefinido.
inline constexpr int status_nao_reproduz = 5;

// The whole run; returns the exit status (0, 1 on a failure, 2 on a usage
// error, status_verificacao, status_indefinido, status_nao_reproduz), having
// written the failure's message on erro.
int executa(const std::vector<std::string>& argumentos, std::FILE* saida, std::FILE* erro);

}  // namespace malhas_qualidade
