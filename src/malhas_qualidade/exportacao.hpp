// The mesh and its measures in the formats of the field's tools: a CSV table
// of the volumes, VTK's XML structured grid (ParaView), or its unstructured
// grid where the name ends in .vtu (meshio), and Gmsh's MSH 4.1.
#pragma once

#include <string>

#include "malhas_qualidade/malha_lida.hpp"
#include "malhas_qualidade/medidas.hpp"
#include "malhas_qualidade/residuo.hpp"

namespace malhas_qualidade {

// The residual is written when it was computed (r not null).
void escreve_csv(const std::string& nome, const malha_lida& m, const medidas_malha& med);
void escreve_vtk(const std::string& nome, const malha_lida& m, const medidas_malha& med,
                 const residuo_malha* r);
void escreve_msh(const std::string& nome, const malha_lida& m);

// The names of the physical groups of the MSH file, in the order of their
// tags 1 to 5: the boundary lines j = 1, j = nvert_eta, i = 1, i = nvert_ksi
// and the domain.
extern const char* const nomes_grupos[5];

}  // namespace malhas_qualidade
