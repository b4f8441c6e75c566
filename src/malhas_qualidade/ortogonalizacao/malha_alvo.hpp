// The target grid of the solver-grade mesh: an algebraic grid of the L whose
// point distribution the elliptic equations are made to keep, since their
// control functions are derived from it (ortogonaliza.hpp).
//
// It starts from the program's own algebraic mesh (same sizes, numbering and
// boundary points) and changes it where a finite-volume solver suffers:
//  - near the diagonal i = h, from the convex corner (0, 0) to the re-entrant
//    corner (0.5, 0.5), the L-shaped eta lines of the algebraic mesh have a
//    kink; there the grid is built instead around each corner as a polar
//    grid (radius from the corner proportional to the index distance, angle
//    scaled from the half-plane of the indices onto the corner's 90 or 270
//    degrees), the two blended along the diagonal, so that eta lines cross it
//    at right angles and the cells at the corners stay as small as their
//    neighbours (the Laplace system would inflate them at (0, 0) like the
//    square root of the distance, Thompson, Warsi & Mastin, Numerical Grid
//    Generation, 1985, ch. VI);
//  - on the two legs of the outer and inner lines the first interior vertex
//    of every ksi line is put square to its boundary vertex, the shift
//    fading into the interior, so that the sliding boundary points find the
//    target already orthogonal there and do not drift into the corners;
//  - with grading, every vertex is moved along its ray from (0.5, 0.5) so
//    that the distance r becomes R (r / R)^G near the corner, R = 0.5, going
//    over smoothly into no change at r = R.
#pragma once

#include "malhas_qualidade/leitura/malha_lida.hpp"

namespace malhas_qualidade::ortogonalizacao {

// The smallest mesh the solver-grade mesh is made for: each leg of the L and
// the width across it need interior vertices of their own.
inline constexpr std::int32_t menor_nvol_ksi = 4;
inline constexpr std::int32_t menor_nvol_eta = 2;

// The algebraic mesh of the program for the sizes of g (dimensiona), into g,
// by the program's own routine.
void gera_algebrica(malha_lida& g);

// The target for the sizes of g, into g. gradua >= 1 (1: none).
void gera_alvo(malha_lida& g, double gradua);

}  // namespace malhas_qualidade::ortogonalizacao
