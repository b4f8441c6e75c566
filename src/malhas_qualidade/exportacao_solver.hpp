// The mesh for the solvers: an OpenFOAM case's polyMesh, a Plot3D grid and an
// SU2 mesh. Every file goes through the output rule of saida.hpp.
#pragma once

#include <string>
#include <vector>

#include "malhas_qualidade/malha_lida.hpp"
#include "malhas_qualidade/malha_openfoam.hpp"

namespace malhas_qualidade {

// --- OpenFOAM ---------------------------------------------------------------------
//
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

// Writes the case.
exportacao_openfoam escreve_openfoam(const std::string& pasta, const extrusao& e);

// --- Plot3D and SU2 ---------------------------------------------------------------

// Formatted Plot3D, one block, two-dimensional, in the multi-block form: "1",
// then "ni nj", then every x, then every y, i fastest.
void escreve_plot3d(const std::string& nome, const malha_lida& m);

// SU2's native mesh: the quadrilaterals (counter-clockwise, whatever the
// mesh's own turn), the points, and the four boundary lines as markers named
// as the OpenFOAM patches.
void escreve_su2(const std::string& nome, const malha_lida& m, int orientacao);

}  // namespace malhas_qualidade
