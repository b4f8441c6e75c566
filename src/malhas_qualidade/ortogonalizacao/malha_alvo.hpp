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
//    target already orthogonal there and do not drift into the corners.
//
// Grading is not part of the target: it is a map of the settled mesh
// (gradua_radial, and faz_malha in ortogonaliza.hpp for why).
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

// The target for the sizes of g, into g.
void gera_alvo(malha_lida& g);

// The distance within which grading acts about the re-entrant corner: that
// from (0.5, 0.5) to every other boundary line of the L.
inline constexpr double raio_graduacao = 0.5;

// The widest of the spacings the target has next to the re-entrant corner
// (along either of its lines and across the L).
double maior_passo_reentrante(const malha_lida& m);

// Grading toward the re-entrant corner (0.5, 0.5): every vertex within
// raio of it moved along its ray from it, so that its distance r becomes
// raio F(r / raio) with F(t) ~ t^gradua, F(1) = 1 and F', F'' continuous
// there, F linear within the first two spacings of the corner. Rays stay
// rays and circles about the corner stay circles, so the two boundary lines
// that meet there keep their vertices (each keeps the coordinate it holds,
// to the bit) and a grid line square to them stays square. gradua >= 1,
// raio <= raio_graduacao.
void gradua_radial(malha_lida& m, double gradua, double raio = raio_graduacao);

// The ungraded mesh's re-entrant corner: the index half-plane there is
// spread over 270 degrees, and with cells of one size that cannot be
// conformal, so the grid lines about the corner cross at up to 22 degrees
// off square at every size, a defect a finite-volume solver pays for at
// every refinement. Within four spacings of the corner the mesh is drawn in
// as by the conformal map z^(3/2) (gradua_radial with the power 1.5): the
// lines there cross nearer square, and the first ring of vertices comes to
// 0.77 of its distance from the corner. Nothing is done where four spacings reach past a quarter of the
// way to the other lines (meshes of fewer than 8 volumes across).
void canto_conforme(malha_lida& m);

}  // namespace malhas_qualidade::ortogonalizacao
