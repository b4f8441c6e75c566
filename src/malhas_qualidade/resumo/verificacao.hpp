// --verifica: the mesh judged as checkMesh judges it, and by the
// companion's own checks.
#pragma once

#include <string>
#include <vector>

#include "malhas_qualidade/resumo/resumo.hpp"

namespace malhas_qualidade {

// --verifica: every check checkMesh -allGeometry -allTopology (OpenFOAM
// 1912) makes of the mesh --openfoam writes (the figures computed with
// completas), as checkMesh counts them, and the companion's own checks (no
// inverted volume, a scaled Jacobian above zero everywhere), each a line
// with its figures. An undefined figure of any of them fails it: checkMesh
// would stop at a floating-point exception.
struct checagem {
    bool falhou = false;
    std::string texto;
};
struct verificacao {
    std::vector<checagem> simples;                 // those of a plain checkMesh
    std::vector<checagem> geometria;               // those -allGeometry adds
    std::vector<checagem> proprias;                // the companion's own
    std::string avisos;                            // checkMesh's warnings, which fail nothing
    int falhas_simples = 0, falhas_geometria = 0;  // checkMesh's "Failed n mesh checks"
    bool indefinida = false;                       // checkMesh would stop at an exception
    bool falhou = false;                           // exit status 3
};
verificacao verifica_malha(const dados_resumo& d);
std::string texto_verificacao(const verificacao& v);

}  // namespace malhas_qualidade
