// Gmsh's MSH 4.1, ASCII.
#include <algorithm>
#include <cstring>

#include "malhas_qualidade/comum/numeros.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/exportacao/exportacao.hpp"

namespace malhas_qualidade {

// --- Gmsh MSH 4.1, ASCII ----------------------------------------------------------
//
// Geometry entities: the four corners of the grid as points 1 to 4 ((1, 1),
// (nvert_ksi, 1), (nvert_ksi, nvert_eta), (1, nvert_eta)); the four
// boundary lines as curves 1 to 4 (j = 1, j = nvert_eta, i = 1,
// i = nvert_ksi), each in the physical group of the same tag; the domain as
// surface 1 in physical group 5. Node tags are vertex numbers, every node
// on the surface, and the quadrangles carry the volume numbers as element
// tags; the boundary lines follow.

namespace {

// Each curve's end points among the points 1 to 4.
constexpr int pontos_curva[n_linhas_fronteira][2] = {{1, 2}, {4, 3}, {1, 4}, {2, 3}};

void escreve_coordenadas(saida_atomica& s, double x, double y) {
    char* const inicio = reserva(s, 80);
    char* q = escreve_real(inicio, x);
    *q++ = ' ';
    q = escreve_real(q, y);
    std::memcpy(q, " 0\n", 3);
    confirma(s, static_cast<std::size_t>(q + 3 - inicio));
}

// The bounding box (xmin, ymin, xmax, ymax) of a curve, joined into the
// whole one.
struct caixa {
    double c[4];
    void abrange(const caixa& o) {
        c[0] = std::min(c[0], o.c[0]), c[1] = std::min(c[1], o.c[1]);
        c[2] = std::max(c[2], o.c[2]), c[3] = std::max(c[3], o.c[3]);
    }
    std::string texto() const {
        return texto_real(c[0]) + " " + texto_real(c[1]) + " 0 " + texto_real(c[2]) + " " + texto_real(c[3]) +
               " 0";
    }
};

void escreve_entidades(saida_atomica& s, const malha_lida& m) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta;
    const std::int64_t pontos[4] = {vertice(m, 1, 1), vertice(m, nk, 1), vertice(m, nk, ne),
                                    vertice(m, 1, ne)};
    escreve(s, "$Entities\n4 4 1 0\n");
    for (int k = 0; k < 4; ++k) {
        const auto v = static_cast<std::size_t>(pontos[k]);
        escreve(s, std::to_string(k + 1) + " " + texto_real(m.x[v]) + " " + texto_real(m.y[v]) + " 0 0\n");
    }
    caixa total{{m.x[1], m.y[1], m.x[1], m.y[1]}};
    for (int c = 0; c < n_linhas_fronteira; ++c) {
        const percurso_fronteira p = percurso(m, c);
        const auto v0 = static_cast<std::size_t>(p.vertice(m, 0));
        caixa cx{{m.x[v0], m.y[v0], m.x[v0], m.y[v0]}};
        for (std::int64_t t = 0; t < p.n; ++t) {
            const auto v = static_cast<std::size_t>(p.vertice(m, t));
            cx.abrange({{m.x[v], m.y[v], m.x[v], m.y[v]}});
        }
        total.abrange(cx);
        escreve(s, std::to_string(c + 1) + " " + cx.texto() + " 1 " + std::to_string(c + 1) + " 2 " +
                       std::to_string(pontos_curva[c][0]) + " -" + std::to_string(pontos_curva[c][1]) + "\n");
    }
    // The surface's boundary loop: j = 1 forward, i = nvert_ksi forward,
    // j = nvert_eta backward, i = 1 backward.
    escreve(s, "1 " + total.texto() + " 1 5 4 1 4 -2 -3\n$EndEntities\n");
}

}  // namespace

void escreve_msh(const std::string& nome, const malha_lida& m, const fronteiras& f) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta;
    saida_atomica s;
    abre_saida(s, nome);
    escreve(s, "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$PhysicalNames\n5\n");
    for (int g = 0; g < n_linhas_fronteira; ++g)
        escreve(s, "1 " + std::to_string(g + 1) + " \"" + f.de[g].nome + "\"\n");
    escreve(s, std::string("2 5 \"") + nome_dominio + "\"\n$EndPhysicalNames\n");
    escreve_entidades(s, m);

    // One block, in vertex order: readers that number the points in the
    // order of the file (meshio) then number them as the vertices too.
    escreve(s, "$Nodes\n");
    escreve_linha_inteiros(s, {1, m.nvert, 1, m.nvert});
    escreve_linha_inteiros(s, {2, 1, 0, m.nvert});
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        escreve_linha_inteiros(s, {v});
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        escreve_coordenadas(s, m.x[static_cast<std::size_t>(v)], m.y[static_cast<std::size_t>(v)]);
    escreve(s, "$EndNodes\n$Elements\n");

    const std::int64_t linhas = 2 * (nk - 1) + 2 * (ne - 1);
    escreve_linha_inteiros(s, {5, m.nvol + linhas, 1, m.nvol + linhas});
    escreve_linha_inteiros(s, {2, 1, 3, m.nvol});  // quadrangles (type 3) of the surface
    for (std::int64_t j = 1; j < ne; ++j) {
        for (std::int64_t i = 1; i < nk; ++i) {
            const auto c = cantos(m, vertice(m, i, j));
            escreve_linha_inteiros(s, {volume(m, i, j), c[0], c[1], c[2], c[3]});
        }
    }
    std::int64_t tag = m.nvol;
    for (int c = 0; c < n_linhas_fronteira; ++c) {
        const percurso_fronteira p = percurso(m, c);
        escreve_linha_inteiros(s, {1, c + 1, 1, p.n - 1});  // 2-node lines (type 1) of curve c + 1
        for (std::int64_t t = 0; t + 1 < p.n; ++t)
            escreve_linha_inteiros(s, {++tag, p.vertice(m, t), p.vertice(m, t + 1)});
    }
    escreve(s, "$EndElements\n");
    conclui_saida(s);
}

}  // namespace malhas_qualidade
