#include "malhas_qualidade/ortogonalizacao/ortogonaliza.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "coef/coef.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/ortogonalizacao/aceleracao.hpp"
#include "malhas_qualidade/ortogonalizacao/alinhamento.hpp"
#include "malhas_qualidade/ortogonalizacao/malha_alvo.hpp"
#include "malhas_qualidade/ortogonalizacao/nivel.hpp"
#include "metricas/metricas.hpp"
#include "solvers/varreduras_xy.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/fios.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade::ortogonalizacao {

namespace {

namespace v = variaveis;

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

std::int64_t vertice_de(const malha_lida& g, std::int64_t i, std::int64_t j) {
    return vertice(g, i, j);
}

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

}  // namespace

double parametro(const deslizante& d, double x, double y) {
    const double ux = d.bx - d.ax, uy = d.by - d.ay;
    return ((x - d.ax) * ux + (y - d.ay) * uy) / (ux * ux + uy * uy);
}

namespace {

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
                for (std::int64_t vv = variaveis::numero_vertice(2, j, nk);
                     vv <= variaveis::numero_vertice(nk - 1, j, nk); ++vv) {
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

}  // namespace

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

}  // namespace malhas_qualidade::ortogonalizacao
