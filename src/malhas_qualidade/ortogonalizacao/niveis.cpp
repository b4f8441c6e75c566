// The solver-grade mesh from coarse to fine: the sizes of the levels, each
// started from the one before, and the last, mapped level (ortogonaliza.hpp).

#include "malhas_qualidade/ortogonalizacao/ortogonaliza.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/ortogonalizacao/alinhamento.hpp"
#include "malhas_qualidade/ortogonalizacao/malha_alvo.hpp"
#include "malhas_qualidade/ortogonalizacao/nivel.hpp"
#include "tempo_execucao/alocacao.hpp"

namespace malhas_qualidade::ortogonalizacao {

namespace {

using relogio = std::chrono::steady_clock;

// A level is solved on its own only down to this many volumes across the L:
// below it the coarse mesh no longer has the shape of the fine one.
constexpr std::int32_t menor_nvol_eta_grosso = 10;

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
                    const auto k = static_cast<std::size_t>(vertice(g, ii, jj));
                    return mg[k] - ag[k];
                };
                return (1.0 - b) * ((1.0 - a) * d(i0, j0) + a * d(i0 + 1, j0)) +
                       b * ((1.0 - a) * d(i0, j0 + 1) + a * d(i0 + 1, j0 + 1));
            };
            const auto k = static_cast<std::size_t>(vertice(f, i, j));
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

void ultimo_nivel(const pedido& p, malha_lida assentada, bool fino_assentado, resultado& r) {
    // Grading, and the re-entrant corner's conformal cells without it, are
    // a radial map of the settled mesh rather than part of its target: the
    // elliptic system with sliding boundary vertices lets the cells near a
    // graded corner drift far from the target (the rays from it turn and
    // the first vertices on its lines crowd into it), while the map keeps
    // rays and right angles there. The mapped mesh, its first row aligned,
    // is then the target of one more level, whose boundary vertices keep
    // its leans from the foot: it is that level's fixed point, and the
    // iteration proves it settled.
    nivel graduado;
    graduado.alvo = std::move(assentada);
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

}  // namespace

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
            const std::int64_t b = vertice(m, i, j);
            if (!(area(m, b) * area(a, b) > 0.0)) return false;
        }
    return true;
}
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
    const bool fino_assentado = r.assentada;
    // The levels before are done with: their arrays go before the last
    // level's are made.
    malha_lida assentada = std::move(fino.malha);
    fino = nivel{};
    grosso = nivel{};
    ultimo_nivel(p, std::move(assentada), fino_assentado, r);
    r.segundos = std::chrono::duration<double>(relogio::now() - inicio).count();
    return r;
}
}  // namespace malhas_qualidade::ortogonalizacao
