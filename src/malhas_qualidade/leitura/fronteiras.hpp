// The mesh's boundary lines, in the order every export and checkMesh's
// figures take them: j = 1, the outer line of the L; j = nvert_eta, its inner
// line; i = 1 and i = nvert_ksi, the two straight edges that close the
// strip. Each is walked from its first vertex in increasing i or j.
#pragma once

#include <cstdint>

#include "malhas_qualidade/leitura/malha_lida.hpp"

namespace malhas_qualidade {

inline constexpr int n_linhas_fronteira = 4;

// Their names where nothing renames them (--fronteira): the physical groups,
// markers and patches of the exports.
inline constexpr const char* nomes_fronteira[n_linhas_fronteira] = {"linha_externa", "linha_interna",
                                                                    "aresta_i_1", "aresta_i_nvert_ksi"};

// The walk over line k's vertices: the first is (i0, j0), each next one a
// step (di, dj) on, n of them, the corners included.
struct percurso_fronteira {
    std::int64_t i0, j0, di, dj, n;
    std::int64_t vertice(const malha_lida& m, std::int64_t t) const {
        return malhas_qualidade::vertice(m, i0 + t * di, j0 + t * dj);
    }
};

inline percurso_fronteira percurso(const malha_lida& m, int k) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta;
    const percurso_fronteira linhas[n_linhas_fronteira] = {
        {1, 1, 1, 0, nk}, {1, ne, 1, 0, nk}, {1, 1, 0, 1, ne}, {nk, 1, 0, 1, ne}};
    return linhas[k];
}

}  // namespace malhas_qualidade
