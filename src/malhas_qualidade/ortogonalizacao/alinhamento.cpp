#include "malhas_qualidade/ortogonalizacao/alinhamento.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace malhas_qualidade::ortogonalizacao {

namespace {

// The first row's shift that aligns the volumes on the boundary before the
// last level: how many rows it reaches into, and the share left at each
// next one.
constexpr std::int64_t camadas_alinhamento = 5;
constexpr double esmaecimento_alinhamento = 0.7;

// The volumes of the layers a segment's alignment moves and of the one
// behind them, each as its four vertices, and which way each turned before:
// a step may not make one of them concave or turn it over.
struct camadas_vizinhas {
    std::vector<std::array<std::size_t, 4>> volumes;
    std::vector<bool> positivo, julgado;

    camadas_vizinhas(const malha_lida& m, const std::vector<std::int64_t>& b,
                     const std::vector<std::int64_t>& p, int camadas) {
        for (std::size_t j = 0; j + 1 < b.size(); ++j) {
            const std::int64_t da = p[j] - b[j], dz = p[j + 1] - b[j + 1];
            for (int camada = 0; camada <= camadas; ++camada)
                volumes.push_back({static_cast<std::size_t>(b[j] + camada * da),
                                   static_cast<std::size_t>(b[j + 1] + camada * dz),
                                   static_cast<std::size_t>(b[j + 1] + (camada + 1) * dz),
                                   static_cast<std::size_t>(b[j] + (camada + 1) * da)});
        }
        for (const auto& q : volumes)
            positivo.push_back(convexo(m, q, true));
        // A volume the map left concave is not judged.
        for (std::size_t k = 0; k < volumes.size(); ++k)
            julgado.push_back(positivo[k] || convexo(m, volumes[k], false));
    }

    // The sign of a volume's turn at each of its corners: all four alike
    // while it is convex.
    static bool convexo(const malha_lida& m, const std::array<std::size_t, 4>& q, bool positivo) {
        for (int k = 0; k < 4; ++k) {
            const std::size_t a = q[static_cast<std::size_t>((k + 3) % 4)],
                              o = q[static_cast<std::size_t>(k)],
                              z = q[static_cast<std::size_t>((k + 1) % 4)];
            const double c = (m.x[o] - m.x[a]) * (m.y[z] - m.y[o]) - (m.y[o] - m.y[a]) * (m.x[z] - m.x[o]);
            if (positivo ? !(c > 0.0) : !(c < 0.0)) return false;
        }
        return true;
    }

    bool no_sentido(const malha_lida& m) const {
        for (std::size_t k = 0; k < volumes.size(); ++k)
            if (julgado[k] && !convexo(m, volumes[k], positivo[k])) return false;
        return true;
    }
};

// The first row of interior vertices along one boundary segment moved along
// it so that every volume on the segment has its centre over its face's
// centre: b[0] .. b[n] the segment's vertices (corners at both ends) and
// p[0] .. p[n] their interior neighbours (p[0] and p[n] stay: they are on
// another boundary line or on the diagonal). The n - 2 faces away from the
// corners give one condition each on the n - 1 shifts, each face's on the
// two vertices of its volume, so a row that zigzags without moving the
// centres is left free: the shifts taken are the least (in the sum of their
// squares) that close every face, from the departures' derivatives, in a
// few Newton steps.
void alinha_segmento(malha_lida& m, const std::vector<std::int64_t>& b, const std::vector<std::int64_t>& p,
                     int camadas) {
    const std::size_t n = b.size() - 1;
    if (n < 4) return;
    const auto ib = [&](std::size_t k) { return static_cast<std::size_t>(b[k]); };
    const double ax = m.x[ib(0)], ay = m.y[ib(0)];
    const double comprimento = std::hypot(m.x[ib(n)] - ax, m.y[ib(n)] - ay);
    const double ux = (m.x[ib(n)] - ax) / comprimento, uy = (m.y[ib(n)] - ay) / comprimento;
    // How far the centre of the volume on face j (b[j], b[j + 1]) stands
    // along the segment from the face's centre.
    auto desvio = [&](std::size_t j) {
        const std::size_t q[4] = {ib(j), ib(j + 1), static_cast<std::size_t>(p[j + 1]),
                                  static_cast<std::size_t>(p[j])};
        double cx, cy;
        centro_relativo(m, q, cx, cy);
        cx -= 0.5 * (m.x[q[1]] - m.x[q[0]]);
        cy -= 0.5 * (m.y[q[1]] - m.y[q[0]]);
        return cx * ux + cy * uy;
    };
    // The shift of p[k] fades into the rows behind it, so that the volumes
    // behind the first keep their shapes (at a strong grading the first
    // row's shift alone would make the volume next to the diagonal concave).
    auto move = [&](std::size_t k, double s) {
        const std::int64_t dentro = p[k] - b[k];
        for (int camada = 0; camada < camadas; ++camada, s *= esmaecimento_alinhamento) {
            const auto v = static_cast<std::size_t>(p[k] + camada * dentro);
            m.x[v] += s * ux;
            m.y[v] += s * uy;
        }
    };
    const camadas_vizinhas vizinhas(m, b, p, camadas);
    // Faces 1 .. n - 2 (the two at the corners are not judged), shifts of
    // p[1] .. p[n - 1]; face j depends on p[j] and p[j + 1].
    std::vector<double> e(n), d0(n), d1(n), lambda(n), c(n), r(n), desloca(n);
    for (int passo = 0; passo < 8; ++passo) {
        for (std::size_t j = 1; j + 2 <= n; ++j) {
            e[j] = desvio(j);
            const double h = 1e-4 * std::hypot(m.x[ib(j + 1)] - m.x[ib(j)], m.y[ib(j + 1)] - m.y[ib(j)]);
            move(j, h);
            d0[j] = (desvio(j) - e[j]) / h;
            move(j, -h);
            move(j + 1, h);
            d1[j] = (desvio(j) - e[j]) / h;
            move(j + 1, -h);
        }
        // (A A^T) lambda = e, A the bidiagonal derivatives: tridiagonal.
        for (std::size_t j = 1; j + 2 <= n; ++j) {
            const double diag = d0[j] * d0[j] + d1[j] * d1[j];
            const double sub = j > 1 ? d1[j - 1] * d0[j] : 0.0;
            const double den = diag - (j > 1 ? sub * c[j - 1] : 0.0);
            c[j] = j + 2 < n ? d1[j] * d0[j + 1] / den : 0.0;
            r[j] = (e[j] - (j > 1 ? sub * r[j - 1] : 0.0)) / den;
        }
        for (std::size_t j = n - 2; j >= 1; --j) {
            lambda[j] = r[j] - (j + 2 < n ? c[j] * lambda[j + 1] : 0.0);
            if (j == 1) break;
        }
        for (std::size_t k = 1; k + 1 <= n; ++k) {
            double s = 0.0;
            if (k + 2 <= n) s -= d0[k] * lambda[k];
            if (k >= 2) s -= d1[k - 1] * lambda[k - 1];
            // Never more than half the way to a neighbour on the line.
            const double lado =
                0.5 * std::min(std::hypot(m.x[ib(k)] - m.x[ib(k - 1)], m.y[ib(k)] - m.y[ib(k - 1)]),
                               std::hypot(m.x[ib(k + 1)] - m.x[ib(k)], m.y[ib(k + 1)] - m.y[ib(k)]));
            desloca[k] = std::clamp(s, -lado, lado);
            move(k, desloca[k]);
        }
        // A step that makes a volume of the first two layers concave (or
        // turns it over) is halved until it does not.
        for (int meio = 0; !vizinhas.no_sentido(m); ++meio) {
            for (std::size_t k = 1; k + 1 <= n; ++k) {
                move(k, -desloca[k]);
                desloca[k] = meio < 20 ? 0.5 * desloca[k] : 0.0;
                move(k, desloca[k]);
            }
        }
    }
}

}  // namespace

// How many volumes of the mesh are not convex (a corner turning the other
// way from the rest, or none turning at all).
std::int64_t volumes_concavos(const malha_lida& m) {
    const std::int64_t nk = m.nvert_ksi;
    std::int64_t n = 0;
    for (std::int64_t j = 1; j <= m.nvert_eta - 1; ++j)
        for (std::int64_t i = 1; i <= nk - 1; ++i) {
            const auto b = static_cast<std::size_t>(vertice(m, i, j));
            const std::size_t q[4] = {b, b + 1, b + 1 + static_cast<std::size_t>(nk),
                                      b + static_cast<std::size_t>(nk)};
            int positivos = 0, negativos = 0;
            for (int k = 0; k < 4; ++k) {
                const std::size_t a = q[(k + 3) % 4], o = q[k], z = q[(k + 1) % 4];
                const double c =
                    (m.x[o] - m.x[a]) * (m.y[z] - m.y[o]) - (m.y[o] - m.y[a]) * (m.x[z] - m.x[o]);
                positivos += c > 0.0;
                negativos += c < 0.0;
            }
            n += positivos != 4 && negativos != 4;
        }
    return n;
}

// The volumes on every boundary line, their centres put over their faces'
// centres before the last level: after the radial map, which shears the
// volumes on the re-entrant corner's lines, whose sides shrink toward it, by
// up to ten degrees; and wherever the lean could not finish (on a mesh whose
// legs are far longer than it is wide the floors stop the vertices near the
// convex corner first). Two rounds, since the lines that meet at an end of
// the L share the first interior vertex there.
void alinha_centros(malha_lida& m) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta, h = (nk + 1) / 2;
    // A line from corner c0, passo to the next vertex, dentro to the
    // interior, n volumes long; at most camadas rows of vertices behind it
    // before the diagonal or the other side.
    auto linha = [&](std::int64_t c0, std::int64_t passo, std::int64_t dentro, std::int64_t n,
                     std::int64_t camadas) {
        std::vector<std::int64_t> b, p;
        for (std::int64_t k = 0; k <= n; ++k) {
            b.push_back(c0 + k * passo);
            p.push_back(c0 + k * passo + dentro);
        }
        alinha_segmento(m, b, p, static_cast<int>(std::min(camadas_alinhamento, camadas)));
    };
    for (int rodada = 0; rodada < 2; ++rodada) {
        for (const std::int64_t j : {std::int64_t{1}, ne}) {
            const std::int64_t dentro = j == 1 ? nk : -nk;
            linha(vertice(m, 1, j), 1, dentro, h - 1, ne - 2);
            linha(vertice(m, h, j), 1, dentro, nk - h, ne - 2);
        }
        linha(vertice(m, 1, 1), nk, 1, ne - 1, h - 2);
        linha(vertice(m, nk, 1), nk, -1, ne - 1, nk - h - 1);
    }
}

// The centre (area centroid) of the quadrilateral q, from its first vertex:
// a graded mesh's volumes at the corner are far smaller than their
// coordinates, whose products would cancel.
void centro_relativo(const malha_lida& m, const std::size_t q[4], double& cx, double& cy) {
    const double x0 = m.x[q[0]], y0 = m.y[q[0]];
    double area = 0.0, sx = 0.0, sy = 0.0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t p0 = q[k], p1 = q[(k + 1) % 4];
        const double xa = m.x[p0] - x0, ya = m.y[p0] - y0, xb = m.x[p1] - x0, yb = m.y[p1] - y0;
        const double c = xa * yb - xb * ya;
        area += c;
        sx += (xa + xb) * c;
        sy += (ya + yb) * c;
    }
    cx = sx / (3.0 * area);
    cy = sy / (3.0 * area);
}

}  // namespace malhas_qualidade::ortogonalizacao
