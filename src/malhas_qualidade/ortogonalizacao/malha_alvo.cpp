#include "malhas_qualidade/ortogonalizacao/malha_alvo.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "malhas_segmentos/malha_inicial.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade::ortogonalizacao {

namespace {

constexpr double pi = std::numbers::pi;

// The polar grids about the corners, in units of the algebraic mesh's
// spacings: about (0, 0) a step of j moves 2 spacings across (the eta lines
// then leave the diagonal as far apart as the algebraic mesh puts them along
// the legs) and about (0.5, 0.5) 1/1.5 of one (the angle there opens by 1.5,
// so the cells at the re-entrant corner stay about square).
constexpr double passo_radial_convexo = 2.0;
constexpr double passo_radial_reentrante = 1.0 / 1.5;
// The polar grids are used within this share of a leg's length from the
// diagonal, fading into the algebraic mesh at its end.
constexpr double faixa_diagonal = 0.5;
// The first volumes at the re-entrant corner, this many of the widest
// spacing near it, keep their shapes under grading (only scaled): a power
// law from the very first vertex would make each gap there several times the
// one before it.
constexpr double passos_sem_graduacao = 2.0;
// The ungraded mesh's first spacings about the re-entrant corner, this many
// of the widest, follow the corner's conformal map (see canto_conforme).
constexpr double passos_conformes = 4.0;
// How fast the shift that squares the first interior vertex to its boundary
// vertex fades into the interior: this much of it is left at the next vertex.
constexpr double decaimento_esquadro = 0.5;

// 0 to 1 with zero first and second derivatives at both ends.
double degrau(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return t * t * t * (10.0 - 15.0 * t + 6.0 * t * t);
}

std::int64_t vertice_de(const malha_lida& g, std::int64_t i, std::int64_t j) {
    return vertice(g, i, j);
}

// The radial map of the grading: r / R becomes F(r / R), F(t) ~ t^G
// between t0 and 1, F(1) = 1 with F' and F'' continuous there, F monotone
// for G >= 1, and F linear within t0 of the corner.
double raio_graduado(double t, double g, double t0) {
    const double w = degrau(t);
    return t * std::pow(t * t + t0 * t0, 0.5 * (g - 1.0)) * (1.0 - w) + t * w;
}

}  // namespace

double maior_passo_reentrante(const malha_lida& m) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta, h = (nk + 1) / 2;
    return 0.5 / static_cast<double>(std::min({h - 1, nk - h, ne - 1}));
}

void gera_algebrica(malha_lida& g) {
    variaveis::estado e = variaveis::estado_de_malha(g.nvol_ksi, g.nvol_eta, g.x.data(), g.y.data());
    const std::unique_ptr<std::int32_t[][4]> tabela(
        new std::int32_t[static_cast<std::size_t>(g.nvol) + 1][4]);
    e.vert_vol = tabela.get();
    const variaveis::estado_emprestado emprestimo(e);
    malhas_segmentos::gera_malha_inicial();
}

void gera_alvo(malha_lida& g) {
    gera_algebrica(g);
    const std::vector<double> ax = g.x, ay = g.y;
    const std::int64_t nk = g.nvert_ksi, ne = g.nvert_eta, h = (nk + 1) / 2;

    // The algebraic mesh's spacings: along the outer and the inner legs, and
    // across the L.
    const double s_externo = 1.0 / static_cast<double>(h - 1);
    const double s_interno = 0.5 / static_cast<double>(h - 1);
    const double s_largura = 0.5 / static_cast<double>(ne - 1);
    const double faixa = faixa_diagonal * static_cast<double>(std::min(h - 1, nk - h));
    const double hd = static_cast<double>(h), ned = static_cast<double>(ne);
    auto peso_diagonal = [&](double xi) { return 1.0 - degrau(std::abs(xi - hd) / faixa); };
    for (std::int64_t j = 1; j <= ne; ++j) {
        for (std::int64_t i = 1; i <= nk; ++i) {
            const auto k = static_cast<std::size_t>(vertice_de(g, i, j));
            const double xi = static_cast<double>(i), eta = static_cast<double>(j);
            // Along the diagonal the grid about (0, 0) gives way to the one
            // about (0.5, 0.5), each exact on its own boundary line.
            const double lambda = degrau((eta - 1.0) / (ned - 1.0));
            // About (0, 0): the half-plane of the indices (eta - 1 >= 0) onto
            // the quarter x, y >= 0, angles halved about the diagonal.
            const double bp = (eta - 1.0) * passo_radial_convexo * s_largura;
            const double bq = (hd - xi) * s_externo;
            const double rb = std::hypot(bp, bq);
            const double tb = pi / 4.0 + (rb > 0.0 ? std::atan2(bq, bp) / 2.0 : 0.0);
            const double bx = rb * std::cos(tb), by = rb * std::sin(tb);
            // About (0.5, 0.5): the half-plane (ne - eta >= 0) onto the 270
            // degrees from the ray up (i < h) round to the ray right (i > h).
            const double cp = (ned - eta) * passo_radial_reentrante * s_largura;
            const double cq = (hd - xi) * s_interno;
            const double rc = std::hypot(cp, cq);
            const double tc = pi / 2.0 + 1.5 * (rc > 0.0 ? std::atan2(cp, cq) : pi / 2.0);
            const double cx = 0.5 + rc * std::cos(tc), cy = 0.5 + rc * std::sin(tc);

            const double d = peso_diagonal(xi);
            const double px = (1.0 - lambda) * bx + lambda * cx, py = (1.0 - lambda) * by + lambda * cy;
            g.x[k] = d * px + (1.0 - d) * ax[k];
            g.y[k] = d * py + (1.0 - d) * ay[k];
        }
    }

    // Each ksi line's first interior vertex square to its boundary vertex on
    // the legs, the shift fading inwards (the polar grids turn their ksi
    // lines within the first cells; the sliding rule wants the first one
    // straight).
    for (std::int64_t i = 2; i <= nk - 1; ++i) {
        if (i == h) continue;
        const double d = peso_diagonal(static_cast<double>(i));
        const bool vertical = i < h;  // the leg is x = const: the shift is in y
        for (const std::int64_t jb : {std::int64_t{1}, ne}) {
            const std::int64_t passo = jb == 1 ? 1 : -1;
            std::vector<double>& c = vertical ? g.y : g.x;
            const double desvio = c[static_cast<std::size_t>(vertice_de(g, i, jb + passo))] -
                                  c[static_cast<std::size_t>(vertice_de(g, i, jb))];
            double f = d;
            for (std::int64_t m = 1; m <= ne - 2 && f > 1e-12; ++m, f *= decaimento_esquadro) {
                const auto k = static_cast<std::size_t>(vertice_de(g, i, jb + m * passo));
                // Never more than half way to the diagonal: where the L is
                // wider than its legs' spacing a first cell square to the
                // boundary near a corner would cross it.
                const double folga = vertical ? g.y[k] - g.x[k] : g.x[k] - g.y[k];
                c[k] -= std::min(desvio * f, 0.5 * folga);
            }
        }
    }

    // The boundary vertices back exactly on their lines (the polar grids
    // reach them through sines and cosines).
    for (std::int64_t i = 1; i <= nk; ++i) {
        for (const std::int64_t j : {std::int64_t{1}, ne}) {
            const auto k = static_cast<std::size_t>(vertice_de(g, i, j));
            g.x[k] = i <= h ? ax[k] : g.x[k];
            g.y[k] = i >= h ? ay[k] : g.y[k];
        }
    }
}

void gradua_radial(malha_lida& m, double gradua, double raio) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta, h = (nk + 1) / 2;
    const auto canto = static_cast<std::size_t>(vertice_de(m, h, ne));
    const double cx = m.x[canto], cy = m.y[canto];
    const double t0 = passos_sem_graduacao * maior_passo_reentrante(m) / raio;
    for (std::int64_t j = 1; j <= ne; ++j) {
        for (std::int64_t i = 1; i <= nk; ++i) {
            const auto k = static_cast<std::size_t>(vertice_de(m, i, j));
            const double dx = m.x[k] - cx, dy = m.y[k] - cy;
            const double t = std::hypot(dx, dy) / raio;
            if (!(t > 0.0 && t < 1.0)) continue;
            const double f = raio_graduado(t, gradua, t0) / t;
            // The inner line keeps the coordinate it holds, to the bit.
            if (!(j == ne && i <= h)) m.x[k] = cx + dx * f;
            if (!(j == ne && i >= h)) m.y[k] = cy + dy * f;
        }
    }
}

void canto_conforme(malha_lida& m) {
    const double raio = passos_conformes * maior_passo_reentrante(m);
    if (raio <= 0.5 * raio_graduacao) gradua_radial(m, 1.5, raio);
}

}  // namespace malhas_qualidade::ortogonalizacao
