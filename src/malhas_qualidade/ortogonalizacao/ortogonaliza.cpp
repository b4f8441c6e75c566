#include "malhas_qualidade/ortogonalizacao/ortogonaliza.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "coef/coef.hpp"
#include "malhas_qualidade/erros.hpp"
#include "malhas_qualidade/ortogonalizacao/aceleracao.hpp"
#include "malhas_qualidade/ortogonalizacao/malha_alvo.hpp"
#include "metricas/metricas.hpp"
#include "solvers/varreduras_xy.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/linhas_execucao.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade::ortogonalizacao {

namespace {

namespace v = variaveis;
using relogio = std::chrono::steady_clock;

// A level is solved on its own only down to this many volumes across the L:
// below it the coarse mesh no longer has the shape of the fine one.
constexpr std::int32_t menor_nvol_eta_grosso = 10;
// A boundary vertex moves at most this share of the way to either neighbour
// in one iteration, and keeps at least this share of the target's gap.
constexpr double passo_deslizamento = 0.5;
constexpr double piso_intervalo = 0.5;
// The lean of a boundary vertex from the foot of the perpendicular: each
// iteration it adds this share of the sum of its two faces' departures
// (where they vary slowly along the line, that moves both faces by about
// their departure, and their volumes' centres by half of it: the departure
// halves each iteration, without overshooting), and it is at most this share
// of its least floor (a quarter of the target's smaller gap).
constexpr double ganho_inclinacao = 0.5;
constexpr double inclinacao_maxima = 0.5;
// How many past outer iterations the acceleration combines.
constexpr int profundidade_anderson = 5;
// The first row's shift that aligns the volumes on the boundary before the
// last level: how many rows it reaches into, and the share left at each
// next one.
constexpr std::int64_t camadas_alinhamento = 5;
constexpr double esmaecimento_alinhamento = 0.7;

std::int64_t vertice_de(const malha_lida& g, std::int64_t i, std::int64_t j) {
    return (j - 1) * g.nvert_ksi + i;
}

// A boundary vertex that slides along the straight segment from a to b
// between two corners of the L, to the foot of the perpendicular from its
// interior neighbour, between the two vertices beside it on its line.
struct deslizante {
    std::int64_t vertice, interior, antes, depois;
    double ax, ay, bx, by;           // the segment
    double piso_antes, piso_depois;  // the least gaps to keep, as shares of the segment
    // Whether the face toward antes (toward depois) is judged: the faces
    // that touch a corner of the L are not, since no sliding can square them.
    bool face_antes, face_depois;
    // Where the vertex stands from the foot, as shares of the segment: as
    // its target has it (0 but on a graded mesh, whose target is a settled
    // mesh already square to the boundary, see faz_malha), and the lean
    // that puts the volumes' centres over their faces' centres, learned
    // over the iterations.
    double referencia, inclinacao;
};

// The control functions' data of the target at an interior vertex: the
// inverse of its first differences and its second differences.
struct derivadas_alvo {
    double i11, i12, i21, i22;
    double x_kk, x_ke, x_ee, y_kk, y_ke, y_ee;
};

struct nivel {
    malha_lida alvo, malha;
    std::vector<derivadas_alvo> derivadas;  // by vertex number
    std::vector<deslizante> deslizantes;
    std::vector<double> trabalho[v::n_arrays_trabalho];
    std::vector<double> ox, oy;  // the mesh before the iteration
    // Whether the boundary vertices learn their leans (on a graded mesh the
    // volumes at its lines are aligned once, see faz_malha).
    bool aprende_inclinacao = true;
};

void prepara_derivadas(nivel& n) {
    const malha_lida& a = n.alvo;
    const std::int64_t nk = a.nvert_ksi;
    n.derivadas.assign(static_cast<std::size_t>(a.nvert) + 1, derivadas_alvo{});
    for (std::int64_t j = 2; j <= a.nvert_eta - 1; ++j) {
        for (std::int64_t i = 2; i <= nk - 1; ++i) {
            const auto k = static_cast<std::size_t>(vertice_de(a, i, j));
            const auto e = k + 1, w = k - 1, no = k + static_cast<std::size_t>(nk),
                       s = k - static_cast<std::size_t>(nk);
            const std::vector<double>&x = a.x, &y = a.y;
            const double xk = 0.5 * (x[e] - x[w]), yk = 0.5 * (y[e] - y[w]);
            const double xe = 0.5 * (x[no] - x[s]), ye = 0.5 * (y[no] - y[s]);
            const double det = xk * ye - xe * yk;
            derivadas_alvo& d = n.derivadas[k];
            d.i11 = ye / det;
            d.i12 = -xe / det;
            d.i21 = -yk / det;
            d.i22 = xk / det;
            d.x_kk = x[e] - 2.0 * x[k] + x[w];
            d.y_kk = y[e] - 2.0 * y[k] + y[w];
            d.x_ee = x[no] - 2.0 * x[k] + x[s];
            d.y_ee = y[no] - 2.0 * y[k] + y[s];
            d.x_ke = 0.25 * (x[no + 1] - x[no - 1] - x[s + 1] + x[s - 1]);
            d.y_ke = 0.25 * (y[no + 1] - y[no - 1] - y[s + 1] + y[s - 1]);
        }
    }
}

void prepara_deslizantes(nivel& n) {
    const malha_lida& a = n.alvo;
    const std::int64_t nk = a.nvert_ksi, ne = a.nvert_eta, h = (nk + 1) / 2;
    n.deslizantes.clear();
    auto ponto = [&](std::int64_t vv, double& x, double& y) {
        x = a.x[static_cast<std::size_t>(vv)];
        y = a.y[static_cast<std::size_t>(vv)];
    };
    // The vertices of a boundary line from corner c0 to corner c1 (the
    // index step between them passo), each with its interior neighbour.
    auto segmento = [&](std::int64_t c0, std::int64_t c1, std::int64_t passo, std::int64_t para_dentro) {
        deslizante d{};
        ponto(c0, d.ax, d.ay);
        ponto(c1, d.bx, d.by);
        const double comprimento = std::hypot(d.bx - d.ax, d.by - d.ay);
        for (std::int64_t vv = c0 + passo; vv != c1; vv += passo) {
            double x0, y0, x1, y1, x2, y2;
            ponto(vv - passo, x0, y0);
            ponto(vv, x1, y1);
            ponto(vv + passo, x2, y2);
            d.vertice = vv;
            d.interior = vv + para_dentro;
            d.antes = vv - passo;
            d.depois = vv + passo;
            d.piso_antes = piso_intervalo * std::hypot(x1 - x0, y1 - y0) / comprimento;
            d.piso_depois = piso_intervalo * std::hypot(x2 - x1, y2 - y1) / comprimento;
            d.face_antes = vv - passo != c0;
            d.face_depois = vv + passo != c1;
            d.referencia = 0.0;
            d.inclinacao = 0.0;
            n.deslizantes.push_back(d);
        }
    };
    // The outer and the inner line, each leg from its end to the corner at
    // the diagonal; the top edge and the end edge.
    for (const std::int64_t j : {std::int64_t{1}, ne}) {
        const std::int64_t dentro = j == 1 ? nk : -nk;
        segmento(vertice_de(a, 1, j), vertice_de(a, h, j), 1, dentro);
        segmento(vertice_de(a, h, j), vertice_de(a, nk, j), 1, dentro);
    }
    segmento(vertice_de(a, 1, 1), vertice_de(a, 1, ne), nk, 1);
    segmento(vertice_de(a, nk, 1), vertice_de(a, nk, ne), nk, -1);
}

// Where a point lies along the segment, as a share of it.
double parametro(const deslizante& d, double x, double y) {
    const double ux = d.bx - d.ax, uy = d.by - d.ay;
    return ((x - d.ax) * ux + (y - d.ay) * uy) / (ux * ux + uy * uy);
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

// How far the centre of the volume on the boundary face from vertex a to
// vertex b stands along the segment from the face's centre, as a share of
// the segment: a finite-volume solver takes a boundary face's gradient along
// the line from that centre, so this is what must vanish for the face to be
// square to it (checkMesh and OpenFOAM judge the face by that line).
double desvio_face(const malha_lida& m, const deslizante& d, std::int64_t a, std::int64_t b) {
    const std::int64_t dentro = d.interior - d.vertice;
    const std::size_t q[4] = {static_cast<std::size_t>(a), static_cast<std::size_t>(b),
                              static_cast<std::size_t>(b + dentro), static_cast<std::size_t>(a + dentro)};
    double cx, cy;
    centro_relativo(m, q, cx, cy);
    const double ux = d.bx - d.ax, uy = d.by - d.ay;
    cx -= 0.5 * (m.x[q[1]] - m.x[q[0]]);
    cy -= 0.5 * (m.y[q[1]] - m.y[q[0]]);
    return (cx * ux + cy * uy) / (ux * ux + uy * uy);
}

void desliza(nivel& n) {
    malha_lida& m = n.malha;
    auto em = [&m](std::int64_t vv, double& x, double& y) {
        x = m.x[static_cast<std::size_t>(vv)];
        y = m.y[static_cast<std::size_t>(vv)];
    };
    // The lean first, from the faces as the sweeps left them: each vertex
    // moves its two faces' centres toward their volumes' centres. Moving a
    // face's two vertices by s moves its volume's centre by about s / 2, so
    // the sum of the two faces' departures is what closes both.
    for (deslizante& d : n.deslizantes) {
        if (!n.aprende_inclinacao) break;
        const double e = (d.face_antes ? desvio_face(m, d, d.antes, d.vertice) : 0.0) +
                         (d.face_depois ? desvio_face(m, d, d.vertice, d.depois) : 0.0);
        const double limite = inclinacao_maxima * std::min(d.piso_antes, d.piso_depois);
        d.inclinacao = std::clamp(d.inclinacao + ganho_inclinacao * e, -limite, limite);
    }
    for (const deslizante& d : n.deslizantes) {
        double x, y;
        em(d.vertice, x, y);
        const double atual = parametro(d, x, y);
        em(d.antes, x, y);
        const double antes = parametro(d, x, y);
        em(d.depois, x, y);
        const double depois = parametro(d, x, y);
        em(d.interior, x, y);
        double t = parametro(d, x, y) + d.referencia + d.inclinacao;
        t = std::clamp(t, atual - passo_deslizamento * (atual - antes),
                       atual + passo_deslizamento * (depois - atual));
        // The least gaps hold over the step: a vertex left too close to a
        // neighbour (by a coarse start) is pushed back out.
        const double piso = antes + d.piso_antes, teto = depois - d.piso_depois;
        if (piso <= teto) t = std::clamp(t, piso, teto);
        // On a segment along an axis the other coordinate is the corners',
        // exactly.
        const auto k = static_cast<std::size_t>(d.vertice);
        m.x[k] = d.ax == d.bx ? d.ax : d.ax + t * (d.bx - d.ax);
        m.y[k] = d.ay == d.by ? d.ay : d.ay + t * (d.by - d.ay);
    }
}

// p_fonte and q_fonte at the interior vertices: what makes the target a
// solution of the discrete equations, with the current metric terms.
void enche_fontes(const nivel& n) {
    const std::int64_t nk = v::nvert_ksi;
    tempo_execucao::linhas_independentes(
        2, static_cast<std::int64_t>(v::nvert_eta) - 1, nk, [&n, nk](std::int64_t de, std::int64_t ate) {
            for (std::int64_t j = de; j <= ate; ++j) {
                for (std::int64_t vv = (j - 1) * nk + 2; vv <= j * nk - 1; ++vv) {
                    const derivadas_alvo& d = n.derivadas[static_cast<std::size_t>(vv)];
                    const double a = v::alfa[vv], b = v::beta[vv], g = v::gama[vv];
                    const double lx = a * d.x_kk - 2.0 * b * d.x_ke + g * d.x_ee;
                    const double ly = a * d.y_kk - 2.0 * b * d.y_ke + g * d.y_ee;
                    const double jac2 = v::jac[vv] * v::jac[vv];
                    v::p_fonte[vv] = -(d.i11 * lx + d.i12 * ly) * jac2;
                    v::q_fonte[vv] = -(d.i21 * lx + d.i22 * ly) * jac2;
                }
            }
        });
}

// The largest move of a vertex from ox, oy to the mesh and its shortest
// edge.
void mede(const nivel& n, double& movimento, double& menor_aresta) {
    const malha_lida& m = n.malha;
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta;
    movimento = 0.0;
    menor_aresta = std::numeric_limits<double>::infinity();
    bool finito = true;
    for (std::int64_t j = 1; j <= ne; ++j) {
        for (std::int64_t i = 1; i <= nk; ++i) {
            const auto k = static_cast<std::size_t>(vertice_de(m, i, j));
            const double dx = m.x[k] - n.ox[k], dy = m.y[k] - n.oy[k];
            const double d = std::hypot(dx, dy);
            finito = finito && std::isfinite(d);
            movimento = std::max(movimento, d);
            if (i < nk)
                menor_aresta = std::min(menor_aresta, std::hypot(m.x[k + 1] - m.x[k], m.y[k + 1] - m.y[k]));
            if (j < ne) {
                const auto kn = k + static_cast<std::size_t>(nk);
                menor_aresta = std::min(menor_aresta, std::hypot(m.x[kn] - m.x[k], m.y[kn] - m.y[k]));
            }
        }
    }
    if (!finito) movimento = std::numeric_limits<double>::quiet_NaN();
}

// The state the outer iteration maps: every vertex and the boundary's leans.
void empacota(const nivel& n, std::vector<double>& z) {
    const malha_lida& m = n.malha;
    const auto nv = static_cast<std::size_t>(m.nvert);
    z.resize(2 * nv + n.deslizantes.size());
    std::copy(m.x.begin() + 1, m.x.end(), z.begin());
    std::copy(m.y.begin() + 1, m.y.end(), z.begin() + static_cast<std::ptrdiff_t>(nv));
    for (std::size_t k = 0; k < n.deslizantes.size(); ++k)
        z[2 * nv + k] = n.deslizantes[k].inclinacao;
}

// z into the mesh, every boundary vertex put back on its segment by the same
// rule as the slide (a combination of iterates is on it only to rounding).
void desempacota(nivel& n, const std::vector<double>& z) {
    malha_lida& m = n.malha;
    const auto nv = static_cast<std::size_t>(m.nvert);
    // The corners and the coordinate a boundary line holds are the same in
    // every iterate, so their combination is exact: only the slid
    // coordinate needs the rule.
    std::copy(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(nv), m.x.begin() + 1);
    std::copy(z.begin() + static_cast<std::ptrdiff_t>(nv), z.begin() + static_cast<std::ptrdiff_t>(2 * nv),
              m.y.begin() + 1);
    for (std::size_t k = 0; k < n.deslizantes.size(); ++k) {
        deslizante& d = n.deslizantes[k];
        d.inclinacao = z[2 * nv + k];
        const auto v = static_cast<std::size_t>(d.vertice);
        const double t = parametro(d, m.x[v], m.y[v]);
        m.x[v] = d.ax == d.bx ? d.ax : d.ax + t * (d.bx - d.ax);
        m.y[v] = d.ay == d.by ? d.ay : d.ay + t * (d.by - d.ay);
    }
}

// Whether every boundary vertex is still between its neighbours, at least
// its floors away from them.
bool fronteira_em_ordem(const nivel& n) {
    const malha_lida& m = n.malha;
    for (const deslizante& d : n.deslizantes) {
        auto t = [&](std::int64_t vv) {
            const auto k = static_cast<std::size_t>(vv);
            return parametro(d, m.x[k], m.y[k]);
        };
        const double atual = t(d.vertice);
        if (!(atual - t(d.antes) >= d.piso_antes && t(d.depois) - atual >= d.piso_depois)) return false;
    }
    return true;
}

bool sem_dobras(const nivel& n);

// Outer iterations on one level until its largest move is below the
// tolerance times its shortest edge, or the limit. The move is that of the
// plain outer iteration from the current mesh, whatever the acceleration
// then makes of it.
void resolve(nivel& n, const pedido& p, int indice, int niveis, std::int64_t& feitas, bool& assentada,
             double& relativo) {
    malha_lida& m = n.malha;
    v::estado e = v::estado_de_malha(m.nvol_ksi, m.nvol_eta, m.x.data(), m.y.data());
    e.niter_solver = varreduras_por_iteracao;
    e.niter = 1;
    e.dksi = 1.0;
    e.deta = 1.0;
    e.tipo_p = 2;  // the control functions are ours: never cleared
    e.tipo_q = 2;
    for (int k = 0; k < v::n_arrays_trabalho; ++k)
        e.trabalho[k] = n.trabalho[k].data();
    const v::estado_emprestado emprestimo(e);

    std::vector<double> z, g;
    empacota(n, z);
    anderson acelera(z.size(), profundidade_anderson);
    assentada = false;
    relativo = std::numeric_limits<double>::infinity();
    for (feitas = 0; feitas < p.max_iteracoes;) {
        std::memcpy(n.ox.data(), m.x.data(), m.x.size() * sizeof(double));
        std::memcpy(n.oy.data(), m.y.data(), m.y.size() * sizeof(double));
        metricas::calcula_metricas();
        enche_fontes(n);
        coef::calcula_coef();
        solvers::gauss_seidel_x_y(v::x, v::y, v::ap, v::ae, v::aw, v::an, v::as, v::ane, v::anw, v::ase,
                                  v::asw, v::nvert_ksi, v::nvert_eta, v::niter_solver);
        desliza(n);
        ++feitas;
        iteracao it;
        it.nivel = indice;
        it.niveis = niveis;
        it.k = feitas;
        mede(n, it.movimento, it.menor_aresta);
        it.relativo = it.movimento / it.menor_aresta;
        it.malha = &m;
        if (!(std::isfinite(it.relativo) && it.menor_aresta > 0.0))
            falha("", 0,
                  "the solver-grade mesh of " + std::to_string(m.nvol_ksi) + " x " +
                      std::to_string(m.nvol_eta) + " volumes folded at outer iteration " +
                      std::to_string(feitas) +
                      " (a vertex ran onto another): it cannot be made for these sizes");
        relativo = it.relativo;
        if (p.observa != nullptr) p.observa(p.contexto, it);
        if (it.relativo < p.tolerancia) {
            assentada = true;
            return;
        }
        // The accelerated step, unless it folds a volume or disorders the
        // boundary: then the plain one, and a fresh history.
        empacota(n, g);
        std::vector<double> proximo = z;
        acelera.proximo(proximo, g);
        desempacota(n, proximo);
        if (sem_dobras(n) && fronteira_em_ordem(n)) {
            empacota(n, z);
        } else {
            acelera.esquece();
            desempacota(n, g);
            z.swap(g);
        }
    }
}

// The level's arrays for its target, which n.alvo holds; the mesh starts
// from it.
void prepara_nivel(nivel& n) {
    tempo_execucao::alocando nome("the solver-grade mesh and its work arrays");
    n.malha = n.alvo;
    prepara_derivadas(n);
    prepara_deslizantes(n);
    const std::size_t tamanho = static_cast<std::size_t>(n.alvo.nvert) + 1;
    for (auto& a : n.trabalho)
        a.assign(tamanho, 0.0);
    n.ox.assign(tamanho, 0.0);
    n.oy.assign(tamanho, 0.0);
}

// Where vertex (i, j) of the fine mesh lies on the coarse one, in its
// indices: each leg of the L and the width across it scaled on its own, so
// that the corners fall on the corners.
double i_grosso(std::int64_t i, const malha_lida& f, const malha_lida& g) {
    const std::int64_t h = (f.nvert_ksi + 1) / 2, hg = (g.nvert_ksi + 1) / 2;
    if (i <= h)
        return 1.0 + static_cast<double>(i - 1) * static_cast<double>(hg - 1) / static_cast<double>(h - 1);
    return static_cast<double>(hg) + static_cast<double>(i - h) * static_cast<double>(g.nvert_ksi - hg) /
                                         static_cast<double>(f.nvert_ksi - h);
}

// The fine level's start: its target plus the coarse level's departure from
// its own target, interpolated; the boundary vertices put back on their lines.
void parte_do_grosso(nivel& fino, const nivel& grosso) {
    const malha_lida &f = fino.alvo, &g = grosso.alvo;
    const std::int64_t nk = f.nvert_ksi, ne = f.nvert_eta, h = (nk + 1) / 2, hg = (g.nvert_ksi + 1) / 2;
    for (std::int64_t j = 1; j <= ne; ++j) {
        const double jg = 1.0 + static_cast<double>(j - 1) * static_cast<double>(g.nvert_eta - 1) /
                                    static_cast<double>(ne - 1);
        const std::int64_t j0 = std::min<std::int64_t>(static_cast<std::int64_t>(jg), g.nvert_eta - 1);
        const double b = jg - static_cast<double>(j0);
        for (std::int64_t i = 1; i <= nk; ++i) {
            const double ig = i_grosso(i, f, g);
            std::int64_t i0 = static_cast<std::int64_t>(ig);
            // The cell on the same side of the diagonal as the vertex.
            i0 = i <= h ? std::min(i0, hg - 1) : std::max(i0, hg);
            i0 = std::min<std::int64_t>(i0, g.nvert_ksi - 1);
            const double a = ig - static_cast<double>(i0);
            auto desvio = [&](const std::vector<double>& mg, const std::vector<double>& ag) {
                auto d = [&](std::int64_t ii, std::int64_t jj) {
                    const auto k = static_cast<std::size_t>(vertice_de(g, ii, jj));
                    return mg[k] - ag[k];
                };
                return (1.0 - b) * ((1.0 - a) * d(i0, j0) + a * d(i0 + 1, j0)) +
                       b * ((1.0 - a) * d(i0, j0 + 1) + a * d(i0 + 1, j0 + 1));
            };
            const auto k = static_cast<std::size_t>(vertice_de(f, i, j));
            const bool fronteira = j == 1 || j == ne || i == 1 || i == nk;
            const double dx = desvio(grosso.malha.x, g.x), dy = desvio(grosso.malha.y, g.y);
            // A boundary vertex moves along its line only.
            const bool fixo_x = fronteira && ((j == 1 || j == ne) ? i <= h : i == nk);
            const bool fixo_y = fronteira && ((j == 1 || j == ne) ? i >= h : i == 1);
            fino.malha.x[k] = f.x[k] + (fixo_x ? 0.0 : dx);
            fino.malha.y[k] = f.y[k] + (fixo_y ? 0.0 : dy);
        }
    }
}

// Whether every volume of the mesh turns the way its target's do.
bool sem_dobras(const nivel& n) {
    const malha_lida &m = n.malha, &a = n.alvo;
    const std::int64_t nk = m.nvert_ksi;
    auto area = [nk](const malha_lida& g, std::int64_t b) {
        const auto k = static_cast<std::size_t>(b), kn = k + static_cast<std::size_t>(nk);
        return (g.x[k + 1] - g.x[kn]) * (g.y[kn + 1] - g.y[k]) -
               (g.x[kn + 1] - g.x[k]) * (g.y[k + 1] - g.y[kn]);
    };
    for (std::int64_t j = 1; j <= m.nvert_eta - 1; ++j)
        for (std::int64_t i = 1; i <= nk - 1; ++i) {
            const std::int64_t b = vertice_de(m, i, j);
            if (!(area(m, b) * area(a, b) > 0.0)) return false;
        }
    return true;
}

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
    // The volumes of the layers that move and of the one behind them, each
    // as its four vertices.
    std::vector<std::array<std::size_t, 4>> volumes;
    for (std::size_t j = 0; j < n; ++j) {
        const std::int64_t da = p[j] - b[j], dz = p[j + 1] - b[j + 1];
        for (int camada = 0; camada <= camadas; ++camada)
            volumes.push_back({static_cast<std::size_t>(b[j] + camada * da),
                               static_cast<std::size_t>(b[j + 1] + camada * dz),
                               static_cast<std::size_t>(b[j + 1] + (camada + 1) * dz),
                               static_cast<std::size_t>(b[j] + (camada + 1) * da)});
    }
    // The sign of a volume's turn at each of its corners: all four alike
    // while it is convex.
    auto convexo = [&m](const std::array<std::size_t, 4>& q, bool positivo) {
        for (int k = 0; k < 4; ++k) {
            const std::size_t a = q[static_cast<std::size_t>((k + 3) % 4)],
                              o = q[static_cast<std::size_t>(k)],
                              z = q[static_cast<std::size_t>((k + 1) % 4)];
            const double c = (m.x[o] - m.x[a]) * (m.y[z] - m.y[o]) - (m.y[o] - m.y[a]) * (m.x[z] - m.x[o]);
            if (positivo ? !(c > 0.0) : !(c < 0.0)) return false;
        }
        return true;
    };
    std::vector<bool> positivo;
    for (const auto& q : volumes)
        positivo.push_back(convexo(q, true));
    // A volume the map left concave is not judged.
    std::vector<bool> julgado;
    for (std::size_t k = 0; k < volumes.size(); ++k)
        julgado.push_back(positivo[k] || convexo(volumes[k], false));
    auto volumes_no_sentido = [&] {
        for (std::size_t k = 0; k < volumes.size(); ++k)
            if (julgado[k] && !convexo(volumes[k], positivo[k])) return false;
        return true;
    };
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
        for (int meio = 0; !volumes_no_sentido(); ++meio) {
            for (std::size_t k = 1; k + 1 <= n; ++k) {
                move(k, -desloca[k]);
                desloca[k] = meio < 20 ? 0.5 * desloca[k] : 0.0;
                move(k, desloca[k]);
            }
        }
    }
}

// How many volumes of the mesh are not convex (a corner turning the other
// way from the rest, or none turning at all).
std::int64_t volumes_concavos(const malha_lida& m) {
    const std::int64_t nk = m.nvert_ksi;
    std::int64_t n = 0;
    for (std::int64_t j = 1; j <= m.nvert_eta - 1; ++j)
        for (std::int64_t i = 1; i <= nk - 1; ++i) {
            const auto b = static_cast<std::size_t>(vertice_de(m, i, j));
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
            linha(vertice_de(m, 1, j), 1, dentro, h - 1, ne - 2);
            linha(vertice_de(m, h, j), 1, dentro, nk - h, ne - 2);
        }
        linha(vertice_de(m, 1, 1), nk, 1, ne - 1, h - 2);
        linha(vertice_de(m, nk, 1), nk, -1, ne - 1, nk - h - 1);
    }
}

}  // namespace

resultado faz_malha(const pedido& p) {
    if (p.nvol_ksi < menor_nvol_ksi || p.nvol_eta < menor_nvol_eta)
        falha("", 0,
              "the solver-grade mesh needs at least " + std::to_string(menor_nvol_ksi) + " x " +
                  std::to_string(menor_nvol_eta) +
                  " volumes (interior vertices on each leg of the L and across "
                  "it); the case asks for " +
                  std::to_string(p.nvol_ksi) + " x " + std::to_string(p.nvol_eta));
    const auto inicio = relogio::now();
    // The sizes of the levels, finest first: each leg and the width halved,
    // rounded up, while the coarse mesh still has the L's shape.
    std::vector<std::pair<std::int32_t, std::int32_t>> tamanhos{{p.nvol_ksi, p.nvol_eta}};
    for (;;) {
        const auto [nk, ne] = tamanhos.back();
        // The legs of the L: nvol_ksi / 2 volumes before the diagonal, the
        // rest after it.
        const std::int32_t perna_a = nk / 2, perna_b = nk - nk / 2;
        const std::int32_t ne_g = (ne + 1) / 2;
        const std::int32_t a_g = (perna_a + 1) / 2, b_g = (perna_b + 1) / 2;
        if (ne_g < menor_nvol_eta_grosso || a_g < menor_nvol_eta_grosso) break;
        tamanhos.emplace_back(a_g + b_g, ne_g);
    }

    resultado r;
    const int sem_graduacao = static_cast<int>(tamanhos.size());
    r.niveis = sem_graduacao + 1;
    nivel grosso, fino;
    for (int indice = 1; indice <= sem_graduacao; ++indice) {
        const auto [nk, ne] = tamanhos[tamanhos.size() - static_cast<std::size_t>(indice)];
        {
            tempo_execucao::alocando nome("the solver-grade mesh's target");
            dimensiona(fino.alvo, nk, ne);
            gera_alvo(fino.alvo);
        }
        prepara_nivel(fino);
        if (indice > 1) {
            parte_do_grosso(fino, grosso);
            // A start that folds a volume is no start: the target is one.
            if (!sem_dobras(fino)) fino.malha = fino.alvo;
        }
        std::int64_t feitas = 0;
        bool assentada = false;
        double relativo = 0.0;
        bool dobrou = false;
        try {
            resolve(fino, p, indice, r.niveis, feitas, assentada, relativo);
        } catch (const falha_qualidade&) {
            // A coarse level that folds only fails to start the next one,
            // which then starts from its target.
            if (indice == sem_graduacao) throw;
            dobrou = true;
        }
        if (indice < sem_graduacao) {
            r.iteracoes_grossas += feitas;
            if (dobrou) fino.malha = fino.alvo;
            std::swap(grosso, fino);
        } else {
            r.iteracoes = feitas;
            r.assentada = assentada;
            r.relativo = relativo;
        }
    }
    {
        // Grading, and the re-entrant corner's conformal cells without it, are
        // a radial map of the settled mesh rather than part of its target: the
        // elliptic system with sliding boundary vertices lets the cells near a
        // graded corner drift far from the target (the rays from it turn and
        // the first vertices on its lines crowd into it), while the map keeps
        // rays and right angles there. The mapped mesh, its first row aligned,
        // is then the target of one more level, whose boundary vertices keep
        // its leans from the foot: it is that level's fixed point, and the
        // iteration proves it settled.
        const bool fino_assentado = r.assentada;
        nivel graduado;
        graduado.alvo = std::move(fino.malha);
        // The levels before are done with: their arrays go before this
        // level's are made.
        fino = nivel{};
        grosso = nivel{};
        if (p.gradua != 1.0)
            gradua_radial(graduado.alvo, p.gradua);
        else
            canto_conforme(graduado.alvo);
        {
            // Where the lines' alignments, which meet at the ends of the L,
            // would leave a volume concave between them, the mesh stays as
            // the map left it.
            const malha_lida mapeada = graduado.alvo;
            alinha_centros(graduado.alvo);
            if (volumes_concavos(graduado.alvo) > volumes_concavos(mapeada)) graduado.alvo = mapeada;
        }
        prepara_nivel(graduado);
        graduado.aprende_inclinacao = false;
        for (deslizante& d : graduado.deslizantes) {
            const auto v = static_cast<std::size_t>(d.vertice), i = static_cast<std::size_t>(d.interior);
            d.referencia = parametro(d, graduado.alvo.x[v], graduado.alvo.y[v]) -
                           parametro(d, graduado.alvo.x[i], graduado.alvo.y[i]);
        }
        // A mesh stopped by the limit is mapped as it stands, and stays
        // reported as stopped.
        if (fino_assentado) {
            std::int64_t feitas = 0;
            resolve(graduado, p, r.niveis, r.niveis, feitas, r.assentada, r.relativo);
            r.iteracoes += feitas;
        }
        r.malha = std::move(graduado.malha);
    }
    r.segundos = std::chrono::duration<double>(relogio::now() - inicio).count();
    return r;
}

}  // namespace malhas_qualidade::ortogonalizacao
