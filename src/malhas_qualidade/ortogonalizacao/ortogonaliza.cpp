#include "malhas_qualidade/ortogonalizacao/ortogonaliza.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "coef/coef.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/ortogonalizacao/malha_alvo.hpp"
#include "metricas/metricas.hpp"
#include "solvers/varreduras_xy.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/fios.hpp"
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

std::int64_t vertice_de(const malha_lida& g, std::int64_t i, std::int64_t j) {
    return vertice(g, i, j);
}

// A boundary vertex that slides along the straight segment from a to b
// between two corners of the L, to the foot of the perpendicular from its
// interior neighbour, between the two vertices beside it on its line.
struct deslizante {
    std::int64_t vertice, interior, antes, depois;
    double ax, ay, bx, by;           // the segment
    double piso_antes, piso_depois;  // the least gaps to keep, as shares of the segment
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

void desliza(nivel& n) {
    malha_lida& m = n.malha;
    auto em = [&m](std::int64_t vv, double& x, double& y) {
        x = m.x[static_cast<std::size_t>(vv)];
        y = m.y[static_cast<std::size_t>(vv)];
    };
    for (const deslizante& d : n.deslizantes) {
        double x, y;
        em(d.vertice, x, y);
        const double atual = parametro(d, x, y);
        em(d.antes, x, y);
        const double antes = parametro(d, x, y);
        em(d.depois, x, y);
        const double depois = parametro(d, x, y);
        em(d.interior, x, y);
        double t = parametro(d, x, y);
        const double lo = std::max(atual - passo_deslizamento * (atual - antes), antes + d.piso_antes);
        const double hi = std::min(atual + passo_deslizamento * (depois - atual), depois - d.piso_depois);
        // A vertex already closer to a neighbour than the floor may only
        // move away from it.
        t = std::clamp(t, std::min(lo, atual), std::max(hi, atual));
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

// The largest move of a vertex since ox, oy and the shortest edge.
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

// Outer iterations on one level until its largest move is below the
// tolerance times its shortest edge, or the limit.
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
    }
}

void prepara_nivel(nivel& n, std::int32_t nvol_ksi, std::int32_t nvol_eta, double gradua) {
    tempo_execucao::alocando nome("the solver-grade mesh and its work arrays");
    dimensiona(n.alvo, nvol_ksi, nvol_eta);
    gera_alvo(n.alvo, gradua);
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
    r.niveis = static_cast<int>(tamanhos.size());
    nivel grosso, fino;
    for (int indice = 1; indice <= r.niveis; ++indice) {
        const auto [nk, ne] = tamanhos[tamanhos.size() - static_cast<std::size_t>(indice)];
        prepara_nivel(fino, nk, ne, p.gradua);
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
            if (indice == r.niveis) throw;
            dobrou = true;
        }
        if (indice < r.niveis) {
            r.iteracoes_grossas += feitas;
            if (dobrou) fino.malha = fino.alvo;
            std::swap(grosso, fino);
        } else {
            r.iteracoes = feitas;
            r.assentada = assentada;
            r.relativo = relativo;
        }
    }
    r.malha = std::move(fino.malha);
    r.segundos = std::chrono::duration<double>(relogio::now() - inicio).count();
    return r;
}

}  // namespace malhas_qualidade::ortogonalizacao
