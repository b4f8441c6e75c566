#include "malhas_qualidade/ortogonalizacao/relatorio_ortogonal.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "malhas_qualidade/comum/progresso.hpp"
#include "malhas_qualidade/resumo/resumo.hpp"

namespace malhas_qualidade::ortogonalizacao {

namespace {

struct contexto_progresso {
    const pedido* p;
    indicador_progresso* indicador;
    double primeiro = 0.0;  // the level's first figure, for the rate
};

// The count shown is the level's outer iterations of about as many as its
// rate of convergence so far says it will take.
void observa_progresso(void* contexto, const iteracao& it) {
    auto& c = *static_cast<contexto_progresso*>(contexto);
    if (it.k == 1) c.primeiro = it.relativo;
    std::int64_t total = c.p->max_iteracoes;
    if (it.k > 1 && it.relativo < c.primeiro && it.relativo > c.p->tolerancia) {
        const double taxa = std::log(c.primeiro / it.relativo) / static_cast<double>(it.k - 1);
        const double faltam = std::log(it.relativo / c.p->tolerancia) / taxa;
        if (faltam < static_cast<double>(total))
            total = std::min(total, it.k + 1 + static_cast<std::int64_t>(faltam));
    }
    c.indicador->atualiza(it.k, std::max(total, it.k));
    if (c.p->observa != nullptr) c.p->observa(c.p->contexto, it);
}

// The centre of a quadrilateral (its area's centroid), found from its first
// vertex: a graded mesh's volumes at the corner are far smaller than their
// coordinates, whose products would cancel.
void centro(const double px[4], const double py[4], double& cx, double& cy) {
    double a = 0.0, sx = 0.0, sy = 0.0;
    for (int k = 0; k < 4; ++k) {
        const int l = (k + 1) % 4;
        const double xk = px[k] - px[0], yk = py[k] - py[0], xl = px[l] - px[0], yl = py[l] - py[0];
        const double c = xk * yl - xl * yk;
        a += c;
        sx += (xk + xl) * c;
        sy += (yk + yl) * c;
    }
    cx = px[0] + sx / (3.0 * a);
    cy = py[0] + sy / (3.0 * a);
}

}  // namespace

resultado faz_malha_com_progresso(const pedido& p, bool progresso, bool terminal) {
    indicador_progresso indicador("making the solver-grade mesh: outer iterations", progresso, terminal);
    contexto_progresso c{&p, &indicador};
    pedido q = p;
    q.observa = observa_progresso;
    q.contexto = &c;
    resultado r = faz_malha(q);
    indicador.termina();
    return r;
}

figuras_fronteira mede_fronteira(const malha_lida& m, const medidas_malha& med) {
    figuras_fronteira f;
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta, h = (nk + 1) / 2;
    auto canto = [&](std::int64_t i, std::int64_t j) {
        return (i == 1 || i == h || i == nk) && (j == 1 || j == ne);
    };
    // Every boundary face: the volume it belongs to, its two vertices.
    auto face = [&](std::int64_t iv, std::int64_t jv, std::int64_t i1, std::int64_t j1, std::int64_t i2,
                    std::int64_t j2) {
        const auto q = cantos(m, vertice(m, iv, jv));
        double px[4], py[4];
        for (int k = 0; k < 4; ++k) {
            px[k] = m.x[static_cast<std::size_t>(q[k])];
            py[k] = m.y[static_cast<std::size_t>(q[k])];
        }
        double cx = 0.0, cy = 0.0;
        centro(px, py, cx, cy);
        const auto a = static_cast<std::size_t>((j1 - 1) * nk + i1),
                   z = static_cast<std::size_t>((j2 - 1) * nk + i2);
        const double tx = m.x[z] - m.x[a], ty = m.y[z] - m.y[a];
        const double fx = 0.5 * (m.x[a] + m.x[z]) - cx, fy = 0.5 * (m.y[a] + m.y[z]) - cy;
        // |cos| of the angle between the face's normal (-ty, tx) and the
        // line from the centre to the face.
        const double c = std::abs(-ty * fx + tx * fy) / (std::hypot(tx, ty) * std::hypot(fx, fy));
        const double graus = std::acos(std::min(1.0, c)) * 180.0 / std::numbers::pi;
        const std::int64_t volume = (jv - 1) * (nk - 1) + iv;
        if (canto(i1, j1) || canto(i2, j2)) {
            ++f.faces_cantos;
            f.maximo_cantos = std::max(f.maximo_cantos, graus);
        } else {
            ++f.faces;
            if (graus > f.maximo || f.volume == 0) {
                f.maximo = std::max(f.maximo, graus);
                f.volume = volume;
            }
        }
    };
    for (std::int64_t i = 1; i <= nk - 1; ++i) {
        face(i, 1, i, 1, i + 1, 1);
        face(i, ne - 1, i, ne, i + 1, ne);
    }
    for (std::int64_t j = 1; j <= ne - 1; ++j) {
        face(1, j, 1, j, 1, j + 1);
        face(nk - 1, j, nk, j, nk, j + 1);
    }
    f.razao_canto_convexo[0] = med.razao_aspecto[static_cast<std::size_t>(h - 1)];
    f.razao_canto_convexo[1] = med.razao_aspecto[static_cast<std::size_t>(h)];
    return f;
}

std::string texto_ortogonalizacao(const resultado& r, const pedido& p, const std::string& origem,
                                  const figuras_fronteira& f) {
    std::string s;
    acrescenta(s, "\nsolver-grade mesh (--ortogonaliza) made from the sizes of %s: %d x %d volumes, ",
               origem.c_str(), p.nvol_ksi, p.nvol_eta);
    if (p.gradua == 1.0)
        s += "no grading\n";
    else
        acrescenta(s, "graded toward (0.5, 0.5) with the power %g\n", p.gradua);
    acrescenta(s,
               "  boundary vertices slid along their segments until grid lines meet the boundary square;\n"
               "  interior: the elliptic equations with control functions from a target grid\n");
    acrescenta(s,
               "  %s after %lld outer iterations on the mesh (and %lld on %d coarser ones that start it), "
               "%.3g s: largest move %.3g of the shortest edge (tolerance %g)\n",
               r.assentada ? "settled" : "NOT SETTLED", static_cast<long long>(r.iteracoes),
               static_cast<long long>(r.iteracoes_grossas), r.niveis - 2, r.segundos, r.relativo,
               p.tolerancia);
    if (!r.assentada)
        acrescenta(s,
                   "  the limit of %lld outer iterations was reached first (--max-iteracoes): the mesh is "
                   "not yet the settled one (exit status 4)\n",
                   static_cast<long long>(p.max_iteracoes));
    acrescenta(s,
               "  boundary faces' non-orthogonality (face normal against the line from the volume's centre): "
               "max %.3g degrees over the %lld faces away from the six corners (worst at volume %lld), %.3g "
               "at the %lld faces that touch them\n",
               f.maximo, static_cast<long long>(f.faces), static_cast<long long>(f.volume), f.maximo_cantos,
               static_cast<long long>(f.faces_cantos));
    acrescenta(s, "  convex corner (0, 0): aspect ratio of its two volumes %.3g and %.3g\n",
               f.razao_canto_convexo[0], f.razao_canto_convexo[1]);
    return s;
}

}  // namespace malhas_qualidade::ortogonalizacao
