// The boundaries as the exports name and type them: the four boundary lines
// (leitura/fronteiras.hpp), then the front and back of the OpenFOAM case.
// One name each, which Gmsh's physical groups, SU2's markers and OpenFOAM's
// patches take alike, and an OpenFOAM type: the two lines of the L are
// walls, the two edges that close the strip are patches (where a flow comes
// in and goes out), front and back the one empty patch that keeps the case
// two-dimensional. --fronteira renames and retypes them.
#pragma once

#include <string>
#include <string_view>

#include "malhas_qualidade/medidas/extrusao.hpp"

namespace malhas_qualidade {

struct fronteira {
    std::string nome;
    std::string tipo;  // OpenFOAM's patch type
};

struct fronteiras {
    fronteira de[n_patches];  // in the order of the patches (extrusao.hpp)
};

fronteiras fronteiras_padrao();

// The physical group of the domain's surface in the Gmsh export.
inline constexpr char nome_dominio[] = "dominio";

// One --fronteira: BOUNDARY=NAME, BOUNDARY=NAME:TYPE or BOUNDARY=:TYPE,
// BOUNDARY a boundary's own name (nomes_patches). A name is a letter or '_'
// then letters, digits, '_' and '-', a word every one of the three formats
// takes as it stands; a line's type is patch, wall, symmetry or, for the
// straight edges only, symmetryPlane; front and back stay empty. Fails with
// erro_uso; the names are checked to be distinct once all are given.
void aplica_fronteira(fronteiras& f, std::string_view pedido);
void confere_fronteiras(const fronteiras& f);

}  // namespace malhas_qualidade
