#pragma once

// The levels of the solver-grade mesh and their outer iteration, shared by
// the files that make it (ortogonaliza.cpp: one level's iteration;
// niveis.cpp: the levels from coarse to fine and the last, mapped one).

#include <cstdint>
#include <vector>

#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/ortogonalizacao/ortogonaliza.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade::ortogonalizacao {

// A boundary vertex that slides along the straight segment from a to b
// between two corners of the L, to the foot of the perpendicular from its
// interior neighbour, between the two vertices beside it on its line.
struct deslizante {
    std::int64_t vertice, interior, antes, depois;
    double ax, ay, bx, by;           // the segment
    double piso_antes, piso_depois;  // the least gaps to keep, as shares of the segment
    // Whether the face toward antes (toward depois) is judged: the faces
    // that touch a corner of the L are not, since no sliding can square them.
    bool face_antes, face_depois;
    // Where the vertex stands from the foot, as shares of the segment: as
    // its target has it (0 but on a graded mesh, whose target is a settled
    // mesh already square to the boundary, see faz_malha), and the lean
    // that puts the volumes' centres over their faces' centres, learned
    // over the iterations.
    double referencia, inclinacao;
};

// The control functions' data of the target at an interior vertex: the
// inverse of its first differences and its second differences.
struct derivadas_alvo {
    double i11, i12, i21, i22;
    double x_kk, x_ke, x_ee, y_kk, y_ke, y_ee;
};

struct nivel {
    malha_lida alvo, malha;
    std::vector<derivadas_alvo> derivadas;  // by vertex number
    std::vector<deslizante> deslizantes;
    std::vector<double> trabalho[variaveis::n_arrays_trabalho];
    std::vector<double> ox, oy;  // the mesh before the iteration
    // Whether the boundary vertices learn their leans (on a graded mesh the
    // volumes at its lines are aligned once, see faz_malha).
    bool aprende_inclinacao = true;
};

// Where a point lies along the segment, as a share of it.
double parametro(const deslizante& d, double x, double y);

// The level's arrays for its target, which n.alvo holds; the mesh starts
// from it.
void prepara_nivel(nivel& n);

// Outer iterations on one level until its largest move is below the
// tolerance times its shortest edge, or the limit.
void resolve(nivel& n, const pedido& p, int indice, int niveis, std::int64_t& feitas, bool& assentada,
             double& relativo);

// Whether every volume of the mesh turns the way its target's do.
bool sem_dobras(const nivel& n);

}  // namespace malhas_qualidade::ortogonalizacao
