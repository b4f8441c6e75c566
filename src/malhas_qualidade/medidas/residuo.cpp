#include "malhas_qualidade/medidas/residuo.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "coef/coef.hpp"
#include "metricas/metricas.hpp"
#include "tempo_execucao/fios.hpp"
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
    const std::size_t nvert = static_cast<std::size_t>(m.nvert) + 1;
    r = residuo_malha();
    r.x.assign(nvert, 0.0);
    r.y.assign(nvert, 0.0);
    if (m.nvert_ksi < 3 || m.nvert_eta < 3) return;

    const std::int64_t nk = m.nvert_ksi;
    const std::int64_t linhas = std::min<std::int64_t>(linhas_faixa + 2, m.nvert_eta);
    const std::size_t tamanho = static_cast<std::size_t>(nk * linhas) + 1;
    // The strip's own coordinates (numbered from 1, as the shared arrays are)
    // and work arrays.
    std::vector<double> x(tamanho), y(tamanho);
    std::vector<double> trabalho[variaveis::n_arrays_trabalho];
    for (auto& t : trabalho)
        t.assign(tamanho, 0.0);

    const double nao_numero = std::numeric_limits<double>::quiet_NaN();
    // Strip of vertex rows j0 .. j0 + h - 1; its interior rows are j0 + 1 .. j0 + h - 2.
    for (std::int64_t j0 = 1; j0 + 2 <= m.nvert_eta; j0 += linhas - 2) {
        const std::int64_t h = std::min<std::int64_t>(linhas, m.nvert_eta - j0 + 1);
        const std::int64_t deslocamento = vertice(m, 1, j0) - 1;
        std::copy_n(m.x.begin() + 1 + deslocamento, nk * h, x.begin() + 1);
        std::copy_n(m.y.begin() + 1 + deslocamento, nk * h, y.begin() + 1);
        variaveis::estado faixa =
            variaveis::estado_de_malha(m.nvol_ksi, static_cast<std::int32_t>(h - 1), x.data(), y.data());
        faixa.dksi = par.dksi;
        faixa.deta = par.deta;
        faixa.tipo_p = par.tipo_p;
        faixa.tipo_q = par.tipo_q;
        for (int k = 0; k < variaveis::n_arrays_trabalho; ++k)
            faixa.trabalho[k] = trabalho[k].data();
        const variaveis::estado_emprestado emprestimo(faixa);

        metricas::calcula_metricas();
        coef::zera_fontes();
        coef::calcula_coef();

        const solvers::coeficientes c{variaveis::ap,  variaveis::ae,  variaveis::aw,
                                      variaveis::an,  variaveis::as,  variaveis::ane,
                                      variaveis::anw, variaveis::ase, variaveis::asw};
        // The moves on the run's threads; then, in vertex order, the count
        // and the first of each cause where a move is undefined.
        tempo_execucao::linhas_independentes(2, h - 1, 4 * nk, [&](std::int64_t de, std::int64_t ate) {
            for (std::int64_t jl = de; jl <= ate; ++jl) {
                for (std::int64_t i = 2; i <= nk - 1; ++i) {
                    const std::int64_t e = variaveis::numero_vertice(i, jl, nk);  // in the strip
                    const auto g = static_cast<std::size_t>(e + deslocamento);    // in the mesh
                    double mx = 0.0, my = 0.0;
                    const bool definido =
                        movimentos_vertice(x.data(), y.data(), c, e, nk, mx, my) == causa_indefinida::nenhuma;
                    r.x[g] = definido ? mx : nao_numero;
                    r.y[g] = definido ? my : nao_numero;
                }
            }
        });
        for (std::int64_t jl = 2; jl <= h - 1; ++jl) {
            for (std::int64_t i = 2; i <= nk - 1; ++i) {
                const std::int64_t e = variaveis::numero_vertice(i, jl, nk);
                const std::int64_t g = e + deslocamento;
                // A defined move is finite: only these are looked at again.
                if (!std::isnan(r.x[static_cast<std::size_t>(g)])) continue;
                double mx = 0.0, my = 0.0;
                const causa_indefinida causa = movimentos_vertice(x.data(), y.data(), c, e, nk, mx, my);
                const bool ap_infinito = causa == causa_indefinida::ap_nao_finito;
                const bool ap_zero = causa == causa_indefinida::ap_nulo;
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
}

resumo_residuo resume_residuo(const malha_lida& m, const std::vector<double>& r) {
    resumo_residuo s;
    double soma = 0.0;
    for (std::int64_t j = 2; j < m.nvert_eta; ++j) {
        for (std::int64_t i = 2; i < m.nvert_ksi; ++i) {
            const std::int64_t v = vertice(m, i, j);
            const double x = r[static_cast<std::size_t>(v)];
            if (std::isnan(x)) continue;
            if (s.definidos == 0 || x > s.maximo) {
                s.maximo = x;
                s.onde = v;
            }
            soma += x * x;
            ++s.definidos;
        }
    }
    if (s.definidos > 0) s.rms = std::sqrt(soma / static_cast<double>(s.definidos));
    return s;
}

}  // namespace malhas_qualidade
