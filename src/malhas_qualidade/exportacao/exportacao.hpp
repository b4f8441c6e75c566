// The mesh and its measures in the formats of the field's tools, one file per
// format, each written through the output rule of comum/saida.hpp with the
// one writer of numbers of comum/numeros.hpp: a CSV table of the volumes;
// VTK's XML structured grid (ParaView), or its unstructured grid where the
// name ends in .vtu (meshio); Gmsh's MSH 4.1; a Plot3D grid; SU2's mesh. The
// OpenFOAM case is openfoam.hpp's.
#pragma once

#include <string>

#include "malhas_qualidade/exportacao/fronteiras.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"

namespace malhas_qualidade {

void escreve_csv(const std::string& nome, const malha_lida& m, const medidas_malha& med);

// The residual is written when it was computed (r not null).
void escreve_vtk(const std::string& nome, const malha_lida& m, const medidas_malha& med,
                 const residuo_malha* r);

// The boundary lines as physical groups 1 to 4, named as f names them, and
// the domain as group 5.
void escreve_msh(const std::string& nome, const malha_lida& m, const fronteiras& f);

// Formatted Plot3D, one block, two-dimensional, in the multi-block form: "1",
// then "ni nj", then every x, then every y, i fastest.
void escreve_plot3d(const std::string& nome, const malha_lida& m);

// SU2's native mesh: the quadrilaterals (counter-clockwise, whatever the
// mesh's own turn), the points, and the four boundary lines as markers
// named as f names them.
void escreve_su2(const std::string& nome, const malha_lida& m, int orientacao, const fronteiras& f);

}  // namespace malhas_qualidade
