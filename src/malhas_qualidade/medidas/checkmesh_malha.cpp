// The checks of the whole mesh: the closed boundary, the volume ratio of
// the faces, the edges' lengths, and the means checkMesh forms in face or
// cell order.
#include "malhas_qualidade/medidas/checkmesh_partes.hpp"

#include <algorithm>

namespace malhas_qualidade::checkmesh {

// The checks over the whole mesh at once, after the rows: the volume ratio
// of every internal face, the boundary's openness, the edges' lengths, and
// the means checkMesh forms in face or cell order.
void conclui_completas(const contexto& x, figuras_checkmesh& f, const std::vector<double>& volumes,
                       const std::vector<double>& pesos, const std::vector<double>& determinantes,
                       const std::vector<soma_fronteira>& fronteira) {
    const malha_lida& m = x.m;
    const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
    double soma = 0.0;
    for (double d : determinantes)
        soma += d;
    f.determinante_medio = soma / static_cast<double>(determinantes.size());
    soma = 0.0;
    for (double p : pesos)
        soma += p;
    f.peso_face_medio = pesos.empty() ? 0.0 : soma / static_cast<double>(pesos.size());

    // The volume ratio: the smaller of the two cells' volumes over the larger.
    soma = 0.0;
    for (std::int64_t j = 1; j <= ne; ++j)
        for (std::int64_t i = 1; i <= nk; ++i) {
            const std::int64_t c = volume(m, i, j) - 1;
            for (const lado l : {lado::leste, lado::norte}) {
                if (l == lado::leste ? i == nk : j == ne) continue;
                const double a = volumes[static_cast<std::size_t>(c)];
                const double b = volumes[static_cast<std::size_t>(l == lado::leste ? c + 1 : c + nk)];
                const double razao = (a < b ? a : b) / ((a > b ? a : b) + vsmall);
                soma += razao;
                if (!std::isfinite(razao)) {
                    ++f.completas_indefinidas;
                    continue;
                }
                if (razao < limite_razao_volumes) ++f.razao_volumes.falhas;
                calculo::guarda(f.razao_volumes, razao, {x.indice(i, j, l, true), i, j, l, true}, false);
            }
        }
    f.razao_volumes_media = pesos.empty() ? 0.0 : soma / static_cast<double>(pesos.size());

    vetor aberta{0.0, 0.0, 0.0};
    double modulos = 0.0;
    for (const soma_fronteira& s : fronteira) {
        aberta = aberta + s.soma;
        modulos += s.soma_modulos;
    }
    f.abertura_fronteira = 0.0;
    for (const double c : {aberta.x, aberta.y, aberta.z}) {
        const double a = std::fabs(c / (modulos + vsmall));
        f.abertura_fronteira = f.abertura_fronteira > a ? f.abertura_fronteira : a;
    }
    if (!std::isfinite(f.abertura_fronteira)) ++f.completas_indefinidas;

    // The edges: those of the grid, the same at z = 0 and at the top, and
    // the thickness. An edge is short below 1e-6 of the bounding box's
    // diagonal; checkMesh counts the points on short edges.
    double x_min = m.x[1], x_max = m.x[1], y_min = m.y[1], y_max = m.y[1];
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        const auto k = static_cast<std::size_t>(v);
        x_min = std::min(x_min, m.x[k]), x_max = std::max(x_max, m.x[k]);
        y_min = std::min(y_min, m.y[k]), y_max = std::max(y_max, m.y[k]);
    }
    const double t = x.e.espessura;
    const vetor lado_caixa = fracao_aresta_curta * vetor{x_max - x_min, y_max - y_min, t};
    const double curta2 = escalar(lado_caixa, lado_caixa);
    f.aresta_curta = std::sqrt(curta2);
    double menor2 = t * t, maior2 = t * t;
    std::vector<std::uint8_t> curto(static_cast<std::size_t>(m.nvert) + 1, t * t < curta2 ? 1 : 0);
    const std::int64_t nvk = m.nvert_ksi;
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        const auto a = static_cast<std::size_t>(v);
        const auto [i, j] = variaveis::indices_vertice(v, nvk);
        for (const std::int64_t w : {i < nvk ? v + 1 : 0, j < m.nvert_eta ? v + nvk : 0}) {
            if (w == 0) continue;
            const auto b = static_cast<std::size_t>(w);
            const double dx = m.x[a] - m.x[b], dy = m.y[a] - m.y[b];
            const double l2 = dx * dx + dy * dy;
            menor2 = std::min(menor2, l2), maior2 = std::max(maior2, l2);
            if (l2 < curta2) curto[a] = curto[b] = 1;
        }
    }
    f.aresta_min = std::sqrt(menor2);
    f.aresta_max = std::sqrt(maior2);
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        f.pontos_arestas_curtas += 2 * curto[static_cast<std::size_t>(v)];
}

}  // namespace malhas_qualidade::checkmesh
