#include "malhas_qualidade/residuo.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "coef/coef.hpp"
#include "metricas/metricas.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade {

namespace {

// Rows of vertices per strip. The smoothing's own routines work on the
// shared state, whose nineteen work arrays would take as much memory as
// nineteen copies of a coordinate; run on a strip of rows at a time they
// need only that strip, and since every value at a vertex comes from its
// eight neighbours alone, the results are those of the whole mesh at once.
constexpr std::int64_t linhas_faixa = 64;

}  // namespace

void calcula_residuo(const malha_lida& m, const parametros& par, residuo_malha& r) {
    namespace v = variaveis;
    const std::size_t nvert = static_cast<std::size_t>(m.nvert) + 1;
    r = residuo_malha();
    r.x.assign(nvert, 0.0);
    r.y.assign(nvert, 0.0);
    if (m.nvert_ksi < 3 || m.nvert_eta < 3) return;

    const std::int64_t nk = m.nvert_ksi;
    const std::int64_t linhas = std::min<std::int64_t>(linhas_faixa + 2, m.nvert_eta);
    const std::size_t tamanho = static_cast<std::size_t>(nk * linhas) + 1;
    std::vector<double> trabalho[19];
    for (auto& t : trabalho)
        t.assign(tamanho, 0.0);
    double** const arrays[] = {&v::x_ksi, &v::y_eta, &v::y_ksi, &v::x_eta,   &v::beta,   &v::gama, &v::jac,
                               &v::alfa,  &v::ae,    &v::aw,    &v::an,      &v::as,     &v::ane,  &v::anw,
                               &v::ase,   &v::asw,   &v::ap,    &v::q_fonte, &v::p_fonte};
    for (std::size_t k = 0; k < std::size(arrays); ++k)
        *arrays[k] = trabalho[k].data();
    v::dksi = par.dksi;
    v::deta = par.deta;
    v::tipo_p = par.tipo_p;
    v::tipo_q = par.tipo_q;
    v::niter = par.niter;
    v::niter_solver = par.niter_solver;

    const double nao_numero = std::numeric_limits<double>::quiet_NaN();
    // Strip of vertex rows j0 .. j0 + h - 1; its interior rows are j0 + 1 .. j0 + h - 2.
    for (std::int64_t j0 = 1; j0 + 2 <= m.nvert_eta; j0 += linhas - 2) {
        const std::int64_t h = std::min<std::int64_t>(linhas, m.nvert_eta - j0 + 1);
        const std::int64_t deslocamento = (j0 - 1) * nk;
        // The shared arrays are numbered from 1, like the vectors here, so
        // shifting the pointers makes vertex (i, j0) the strip's vertex (i, 1).
        v::x = const_cast<double*>(m.x.data()) + deslocamento;
        v::y = const_cast<double*>(m.y.data()) + deslocamento;
        v::nvol_ksi = m.nvol_ksi;
        v::nvert_ksi = m.nvert_ksi;
        v::nvert_eta = static_cast<std::int32_t>(h);
        v::nvol_eta = v::nvert_eta - 1;
        v::nvert = static_cast<std::int32_t>(nk * h);
        v::nvol = static_cast<std::int32_t>(static_cast<std::int64_t>(m.nvol_ksi) * (h - 1));

        metricas::calcula_metricas();
        coef::zera_fontes();
        coef::calcula_coef();

        for (std::int64_t jl = 2; jl <= h - 1; ++jl) {
            for (std::int64_t i = 2; i <= nk - 1; ++i) {
                const std::int64_t e = (jl - 1) * nk + i;  // in the strip
                const std::int64_t g = e + deslocamento;   // in the mesh
                const double* const fases[2] = {v::x, v::y};
                double* const destinos[2] = {r.x.data(), r.y.data()};
                const double ap = v::ap[e];
                bool definido = (ap > 0.0 || ap < 0.0) && std::isfinite(ap);
                for (int c = 0; c < 2; ++c) {
                    const double* phi = fases[c];
                    const std::int64_t n = e + nk, s = e - nk;
                    // The terms in the order of the smoothing's own sweep, so
                    // that the value is the move that sweep would make.
                    const double soma = v::asw[e] * phi[s - 1] + v::as[e] * phi[s] + v::an[e] * phi[n] +
                                        v::anw[e] * phi[n - 1] + v::aw[e] * phi[e - 1] +
                                        v::ae[e] * phi[e + 1] + v::ase[e] * phi[s + 1] +
                                        v::ane[e] * phi[n + 1];
                    const double valor = std::fabs(soma / ap - phi[e]);
                    definido = definido && std::isfinite(valor);
                    destinos[c][g] = definido ? valor : nao_numero;
                }
                if (definido) continue;
                destinos[0][g] = destinos[1][g] = nao_numero;
                const bool ap_infinito = !std::isfinite(ap), ap_zero = ap == 0.0;
                std::int64_t& n = ap_infinito ? r.ap_nao_finito
                                  : ap_zero   ? r.ap_nulo
                                              : r.movimento_nao_finito;
                std::int64_t& primeiro = ap_infinito ? r.primeiro_ap_nao_finito
                                         : ap_zero   ? r.primeiro_ap_nulo
                                                     : r.primeiro_movimento_nao_finito;
                if (n++ == 0) primeiro = g;
            }
        }
    }
    for (auto** a : arrays)
        *a = nullptr;
    v::x = v::y = nullptr;
}

}  // namespace malhas_qualidade
