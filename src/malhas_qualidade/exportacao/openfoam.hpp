// The OpenFOAM case: its constant/polyMesh, the mesh extruded to one layer
// of hexahedra (medidas/extrusao.hpp), written as OpenFOAM writes one.
#pragma once

#include <string>
#include <vector>

#include "malhas_qualidade/exportacao/fronteiras.hpp"
#include "malhas_qualidade/medidas/extrusao.hpp"

namespace malhas_qualidade {

// FOLDER/constant/polyMesh of the mesh extruded to one layer of hexahedra is
// replaced as a whole: written into a new folder beside it and put in its
// place only when complete, the old one removed after. A case without
// system/controlDict also gets system/controlDict, fvSchemes and fvSolution,
// each only where it is missing.

// Before anything is written: fails, naming it, when FOLDER, FOLDER/constant,
// FOLDER/constant/polyMesh or FOLDER/system is something other than a
// folder, or when FOLDER/constant or FOLDER/constant/polyMesh is a symbolic
// link (the export would replace a folder outside the case).
void confere_destino_openfoam(const std::string& pasta);

// Whether writing the case into pasta would replace or remove the file nome:
// a file inside constant/polyMesh, one of the system files, or the names of
// the folders themselves, by any spelling.
bool openfoam_alcanca(const std::string& pasta, const std::string& nome);
// Whether nome lies inside pasta/constant/polyMesh, which the export removes.
bool dentro_do_polymesh(const std::string& pasta, const std::string& nome);

// What the export did: the system files it wrote, and the interruption
// (its signal) that came while the new mesh went in and the old one was
// removed, held until then; 0 for none. The caller ends the run with it
// unless nothing is left to do.
struct exportacao_openfoam {
    std::vector<std::string> sistema;
    int interrupcao = 0;
};

// Writes the case, the boundaries named and typed as f says.
exportacao_openfoam escreve_openfoam(const std::string& pasta, const extrusao& e, const fronteiras& f);

// What the two files of the export share (openfoam_caso.cpp).
namespace openfoam {
// FOLDER/constant/polyMesh.
std::string polymesh_de(const std::string& pasta);
// Fails when constant or constant/polyMesh is a symbolic link.
void confere_sem_link(const std::string& pasta);
// A file's FoamFile header.
std::string cabecalho(const char* classe, const char* local, const char* objeto,
                      const std::string& nota = "");
// Makes the folder unless it is there; fails naming it.
void cria_pasta(const std::string& pasta);
// The system files that are missing, as a set; returns the names written.
std::vector<std::string> escreve_sistema(const std::string& pasta);
}  // namespace openfoam

}  // namespace malhas_qualidade
