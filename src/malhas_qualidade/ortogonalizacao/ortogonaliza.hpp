// The solver-grade mesh: a mesh of the same L as malhas_segmentos makes from
// the case's sizes (same numbering, same boundary lines, the six corners of
// the L where the program puts them), whose grid lines meet the boundary at
// right angles and whose cells do not swell at the convex corner.
//
// The method:
//  - the interior is the program's own elliptic system, its metric terms,
//    coefficients and point-iterative sweeps (metricas, coef, solvers), with
//    the control functions p_fonte and q_fonte filled, which the program
//    leaves empty;
//  - the control functions are those for which a target grid (malha_alvo.hpp)
//    is a solution of the discrete equations: at every interior vertex the
//    two equations, for x and for y, are solved for them with the target's
//    first and second differences. Taking the metric terms alfa, beta, gama
//    and jac from the current mesh at every outer iteration makes the mesh the
//    image of the target under a map that solves the Laplace system (the
//    two-step form of Spekreijse, "Elliptic grid generation based on Laplace
//    equations and algebraic transformations", J. Comput. Phys. 118, 1995;
//    control functions from an algebraic grid, Thompson, Warsi & Mastin,
//    Numerical Grid Generation, 1985, ch. VI), so the mesh keeps the target's
//    spacing while the boundary points move;
//  - every boundary vertex but the six corners slides along its straight
//    segment to the foot of the perpendicular from its first interior
//    neighbour, so that the first segment of every grid line is square to
//    the boundary: the orthogonality at the boundary as Neumann conditions
//    with floating boundary points (ibid.; an algebraic grid coupled with a
//    boundary-orthogonal elliptic scheme, Conti, Morandi & Spitaleri, Appl.
//    Math. Comput. 162, 2005). A vertex moves at most half way to either
//    neighbour in one iteration and keeps at least half the target's gap to
//    each, so that none can be pulled into a corner;
//  - a grid line square to the boundary is not yet what a finite-volume
//    solver wants there: it takes a boundary face's gradient along the line
//    from the volume's centre to the face's centre, and where the first
//    volumes grow along the boundary (near the corners) their centres lean
//    toward the larger side. So each boundary vertex also leans from the
//    foot, by a share of the segment that it learns over the iterations
//    (an integral controller on the two faces' departures), until every
//    volume on the boundary has its centre over its face's centre;
//  - the outer iterations stop once the largest move of a vertex is below a
//    tolerance times the shortest edge, on the finest of a sequence of
//    meshes of about half the size each: every coarser one is solved first
//    and its departure from its target, interpolated, starts the next, so
//    that the slow, smooth part of the convergence is done where it is cheap.
//    The outer iteration is a fixed-point map of the mesh and the leans,
//    and its iterates are combined by Anderson acceleration
//    (aceleracao.hpp), which removes the slow modes that remain;
//  - grading toward the re-entrant corner (and, without it, the conformal
//    cells of that corner's first spacings) is a radial map of the settled
//    mesh about the corner (malha_alvo.hpp), the first row along its two
//    lines then moved so that the volumes' centres are over their faces'
//    centres again. That mesh is the target of one last level whose boundary
//    vertices keep its leans from the foot: its fixed point, which the
//    iteration confirms.
#pragma once

#include <cstdint>

#include "malhas_qualidade/leitura/malha_lida.hpp"

namespace malhas_qualidade::ortogonalizacao {

// What an observer hears after every outer iteration of every level.
struct iteracao {
    int nivel = 0, niveis = 0;          // 1 .. niveis; the last two are of the size asked for
    std::int64_t k = 0;                 // outer iterations done on this level
    double movimento = 0.0;             // the largest move of a vertex in it
    double menor_aresta = 0.0;          // the shortest edge after it
    double relativo = 0.0;              // movimento / menor_aresta
    const malha_lida* malha = nullptr;  // the level's mesh as it stands
};
using observador = void (*)(void* contexto, const iteracao& it);

struct pedido {
    std::int32_t nvol_ksi = 0, nvol_eta = 0;
    double gradua = 1.0;             // >= 1; 1: no grading
    double tolerancia = 1e-3;        // of the shortest edge
    std::int64_t max_iteracoes = 0;  // on each level
    observador observa = nullptr;
    void* contexto = nullptr;
};

struct resultado {
    malha_lida malha;
    bool assentada = false;              // the tolerance was reached on the levels of that size
    std::int64_t iteracoes = 0;          // on the two levels of the size asked for
    std::int64_t iteracoes_grossas = 0;  // on the coarser levels, together
    int niveis = 0;
    double relativo = 0.0;  // the last iteration's move over the shortest edge
    double segundos = 0.0;
};

// The sweeps of x and y in each outer iteration.
inline constexpr std::int32_t varreduras_por_iteracao = 4;

// Fails with falha_qualidade when the sizes are below menor_nvol_ksi or
// menor_nvol_eta, and when the mesh folds (a value that is not finite).
resultado faz_malha(const pedido& p);

}  // namespace malhas_qualidade::ortogonalizacao
