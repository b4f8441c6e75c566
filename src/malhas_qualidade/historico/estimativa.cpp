// The final mesh every record is measured from, and where the smoothing
// goes from there.
#include <algorithm>

#include "malhas_qualidade/historico/reexecucao.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade::historico_interno {

namespace v = variaveis;

// The final mesh every row is measured from: the caller's copy of the report
// file, or the file read here; none when the file holds other sizes (the
// proof says so). Also its shortest edge, as the summary takes it, and the
// scale of its coordinates' rounding.
void prepara_final(reexecucao& c, double& escala) {
    const pedido_historico& p = c.p;
    escala = 0.0;
    if (v::nvol_ksi != p.nvol_ksi_relatorio || v::nvol_eta != p.nvol_eta_relatorio) return;
    const auto n = static_cast<std::size_t>(v::nvert) + 1;
    if (p.final_x.size() == n && p.final_y.size() == n) {
        c.fx = p.final_x.data();
        c.fy = p.final_y.data();
    } else {
        tempo_execucao::alocando a("the final mesh, read from the report file");
        le_relatorio(p.relatorio, c.lida);
        if (c.lida.nvol_ksi != v::nvol_ksi || c.lida.nvol_eta != v::nvol_eta) return;
        c.fx = c.lida.x.data();
        c.fy = c.lida.y.data();
    }
    const std::int64_t nk = v::nvert_ksi;
    double aresta = infinito;
    for (std::int64_t vv = 1; vv <= v::nvert; ++vv) {
        const auto k = static_cast<std::size_t>(vv);
        escala = std::max({escala, std::fabs(c.fx[k]), std::fabs(c.fy[k])});
        const std::int64_t i = (vv - 1) % nk + 1, j = (vv - 1) / nk + 1;
        for (const std::int64_t w : {i < nk ? vv + 1 : 0, j < v::nvert_eta ? vv + nk : 0}) {
            if (w == 0) continue;
            const auto b = static_cast<std::size_t>(w);
            const double dx = c.fx[b] - c.fx[k], dy = c.fy[b] - c.fy[k];
            const double l = std::sqrt(dx * dx + dy * dy);
            if (l < aresta) aresta = l;
        }
    }
    c.h.aresta_final = aresta;
}

// How far the final mesh is from where the iterations lead, from the rate
// at which the largest displacement of an iteration falls: at a ratio r
// the displacements still to come add up to d r / (1 - r), d the last one,
// a bound on any vertex's distance from where they lead. The ratios are
// those of the last iterations (the first ones, which still undo the
// algebraic mesh, left out), and the largest of them is taken: while the
// iterations settle, the ratio rises towards its final value. The count of
// further iterations aims at a tenth of the tolerance for the same reason.
// Tried against the histories of fourteen cases run to the rounding of
// their coordinates, from every niter short of what they need, it landed
// within the tolerance in all 4922 estimates where the ratio had stopped
// rising and the iterations so far were a quarter of the count or more; in
// the others it fell short one time in five, and says that it may.
void estima_contracao(reexecucao& c, double escala) {
    historico& h = c.h;
    estimativa_contracao& e = h.contracao;
    using caso = estimativa_contracao::caso;
    if (c.fx == nullptr || !(h.aresta_final > 0.0) || !std::isfinite(h.aresta_final)) return;
    if (h.ponto_fixo >= 0) {
        e.c = caso::ponto_fixo;
        return;
    }
    const std::vector<double>& d = c.ultimos;
    const std::int64_t n = h.ultima.k;
    const double piso = ulps_arredondamento * std::numeric_limits<double>::epsilon() * escala;
    e.ate = n;
    if (!d.empty() && d.back() <= piso) {
        e.c = caso::arredondamento;
        e.restante = d.back() / h.aresta_final;
        return;
    }
    const auto m =
        static_cast<std::size_t>(std::min<std::int64_t>(maximo_razoes, std::max<std::int64_t>(2, n / 2)));
    e.c = caso::poucas;
    if (n < 3 || d.size() < m + 1) return;
    const std::size_t a = d.size() - 1 - m;
    for (std::size_t k = a; k < d.size(); ++k)
        if (!(d[k] > piso) || !std::isfinite(d[k])) return;
    e.de = n - static_cast<std::int64_t>(m) + 1;
    e.taxa_min = infinito;
    e.taxa_max = 0.0;
    for (std::size_t k = a + 1; k < d.size(); ++k) {
        const double r = d[k] / d[k - 1];
        e.taxa_min = std::min(e.taxa_min, r);
        e.taxa_max = std::max(e.taxa_max, r);
    }
    e.taxa = std::pow(d.back() / d[a], 1.0 / static_cast<double>(m));
    const double r = e.taxa_max;
    if (!(r < 1.0)) {
        e.c = caso::nao_contrai;
        return;
    }
    e.c = caso::estimada;
    e.subindo = d.back() / d[d.size() - 2] - d[a + 1] / d[a] > fracao_subida * (1.0 - r);
    const double delta = d.back() / h.aresta_final, alvo = c.p.tolerancia / margem_estimativa;
    e.restante = delta * r / (1.0 - r);
    // After j more iterations the sum is delta r^(j + 1) / (1 - r).
    e.mais = 0;
    if (!(e.restante < c.p.tolerancia)) {
        const double j = std::log(alvo * (1.0 - r) / (delta * r)) / std::log(r);
        e.mais = j < 1e15 ? static_cast<std::int64_t>(std::floor(j)) + 1 : -1;
        e.cedo = e.mais < 0 || e.mais > 3 * n;
    }
}

}  // namespace malhas_qualidade::historico_interno
