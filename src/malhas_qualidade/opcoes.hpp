// The command line of malhas_qualidade.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "malhas_qualidade/exportacao/fronteiras.hpp"

namespace malhas_qualidade {

struct opcoes {
    std::string pasta = ".";
    std::string caso;  // --caso; empty: from entradas.txt
    std::string csv, vtk, msh, plot3d, su2;
    std::string openfoam;    // the case folder
    double espessura = 1.0;  // of the one-layer mesh --openfoam writes and checkMesh's figures measure
    fronteiras fronteira = fronteiras_padrao();  // --fronteira
    bool fronteira_dada = false;
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

// The exports asked for that are single files, with their options, in the
// order they are written.
std::vector<std::pair<const char*, const std::string*>> saidas_de(const opcoes& o);

extern const char texto_ajuda[];

}  // namespace malhas_qualidade
