// The mesh extruded to one layer of hexahedra, as the OpenFOAM export writes
// it and checkMesh's figures measure it.
//
// One numbering serves the writer and the figures, so that the figures are
// those of the very faces written: a face's centre and area depend on where
// its point list starts, and a cell's centre on the order in which its faces
// are summed, both to the last bit, and checkMesh prints six digits of them.
//
// Numbering (from 0, as OpenFOAM's): the point of vertex v at z = 0 is v - 1,
// at z = thickness nvert + v - 1; cell k is volume k + 1. Internal faces come
// first, cell by cell, each cell's east face (to volume (i + 1, j)) before
// its north face (to (i, j + 1)): the upper-triangular order. The boundary
// faces follow patch by patch: the four boundary lines (leitura/fronteiras.hpp),
// then the z = 0 face of every cell and the z = thickness face of every
// cell, one empty patch.
// Every face's normal points out of its owner.
#pragma once

#include <cstdint>

#include "malhas_qualidade/leitura/fronteiras.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"

namespace malhas_qualidade {

// The four boundary lines, then the front and back.
inline constexpr int n_patches = n_linhas_fronteira + 1;
inline constexpr const char* nomes_patches[n_patches] = {
    nomes_fronteira[0], nomes_fronteira[1], nomes_fronteira[2], nomes_fronteira[3], "frente_e_tras"};

// The six faces of a cell, by the side of the volume they stand on.
enum class lado : std::uint8_t { leste, norte, sul, oeste, fundo, frente };

struct extrusao {
    const malha_lida* m = nullptr;
    double espessura = 1.0;
    // +1 when the volumes turn counter-clockwise in the x-y plane, -1 when
    // clockwise: every face's point list is then reversed, so that the
    // normals still point out of the owner and the volumes are positive.
    int orientacao = 1;
};

struct contagem_faces {
    std::int64_t internas = 0;
    std::int64_t inicio[n_patches] = {}, tamanho[n_patches] = {};
    std::int64_t total = 0;
    std::int64_t pontos = 0, celulas = 0;
};
contagem_faces conta_faces(const malha_lida& m);

// The four points of the face on side l of volume (i, j), in the order the
// faces file lists them. An internal face is always named by its owner's side
// (leste or norte).
inline void pontos_face(const extrusao& e, std::int64_t i, std::int64_t j, lado l, std::int64_t r[4]) {
    const std::int64_t nv = e.m->nvert;
    // The volume's corners as points, numbered from 0: counter-clockwise,
    // a (i, j), d (i + 1, j), c (i + 1, j + 1), f (i, j + 1).
    const auto v = cantos(*e.m, vertice(*e.m, i, j) - 1);
    const std::int64_t a = v[0], d = v[1], c = v[2], f = v[3];
    switch (l) {
        case lado::leste:
            r[0] = d, r[1] = c, r[2] = c + nv, r[3] = d + nv;
            break;
        case lado::norte:
            r[0] = c, r[1] = f, r[2] = f + nv, r[3] = c + nv;
            break;
        case lado::sul:
            r[0] = a, r[1] = d, r[2] = d + nv, r[3] = a + nv;
            break;
        case lado::oeste:
            r[0] = f, r[1] = a, r[2] = a + nv, r[3] = f + nv;
            break;
        case lado::fundo:
            r[0] = a, r[1] = f, r[2] = c, r[3] = d;
            break;
        case lado::frente:
            r[0] = a + nv, r[1] = d + nv, r[2] = c + nv, r[3] = f + nv;
            break;
    }
    if (e.orientacao < 0) {
        std::int64_t t = r[0];
        r[0] = r[3], r[3] = t;
        t = r[1], r[1] = r[2], r[2] = t;
    }
}

// Every face in the file's order: visita(i, j, l, owner, neighbour), the
// neighbour -1 for a boundary face, (i, j) the owner's volume.
template <class F>
void para_cada_face(const malha_lida& m, F&& visita) {
    const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
    for (std::int64_t j = 1; j <= ne; ++j)
        for (std::int64_t i = 1; i <= nk; ++i) {
            const std::int64_t c = volume(m, i, j) - 1;
            if (i < nk) visita(i, j, lado::leste, c, c + 1);
            if (j < ne) visita(i, j, lado::norte, c, c + nk);
        }
    for (std::int64_t i = 1; i <= nk; ++i)
        visita(i, std::int64_t{1}, lado::sul, i - 1, std::int64_t{-1});
    for (std::int64_t i = 1; i <= nk; ++i)
        visita(i, ne, lado::norte, volume(m, i, ne) - 1, std::int64_t{-1});
    for (std::int64_t j = 1; j <= ne; ++j)
        visita(std::int64_t{1}, j, lado::oeste, volume(m, 1, j) - 1, std::int64_t{-1});
    for (std::int64_t j = 1; j <= ne; ++j)
        visita(nk, j, lado::leste, volume(m, nk, j) - 1, std::int64_t{-1});
    for (lado l : {lado::fundo, lado::frente})
        for (std::int64_t j = 1; j <= ne; ++j)
            for (std::int64_t i = 1; i <= nk; ++i)
                visita(i, j, l, volume(m, i, j) - 1, std::int64_t{-1});
}

}  // namespace malhas_qualidade
