// The history's re-run: the program's own run of the case files, the mesh
// recorded after every outer iteration as its report file would hold it.
#include <algorithm>
#include <bit>
#include <cstdio>
#include <string>

#include "coef/coef.hpp"
#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/historico/grafico.hpp"
#include "malhas_qualidade/historico/medidas_pistas.hpp"
#include "malhas_qualidade/historico/reexecucao.hpp"
#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_segmentos/estado_corrida.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "malhas_segmentos/suavizacao.hpp"
#include "metricas/metricas.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/fios.hpp"
#include "tempo_execucao/nucleos.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade {

namespace historico_interno {

namespace v = variaveis;

// x, y to the mesh as written; per row, the displacement from ex, ey and
// whether anything changed. Reads x, y, ex, ey; writes a and the row's
// part only, so that it may be run again (linhas_independentes).
void arredonda_linhas(reexecucao& c, bool compara, std::int64_t de, std::int64_t ate) {
    const std::int64_t nk = v::nvert_ksi;
    for (std::int64_t j = de; j <= ate; ++j) {
        parcial_linha& pl = c.parciais[static_cast<std::size_t>(j)];
        pl.deslocamento2 = 0.0;
        pl.distancia2 = 0.0;
        pl.igual = true;
        const std::int64_t primeiro = variaveis::numero_vertice(1, j, nk);
        // A vertex that did not move (the boundary ever) keeps its written form.
        const auto n = static_cast<std::size_t>(nk);
        valores_gravados(v::x + primeiro, compara ? c.ex.data() + primeiro : nullptr, c.a.x.data() + primeiro,
                         n);
        valores_gravados(v::y + primeiro, compara ? c.ey.data() + primeiro : nullptr, c.a.y.data() + primeiro,
                         n);
        for (std::int64_t vv = primeiro; vv <= variaveis::numero_vertice(nk, j, nk); ++vv) {
            const auto k = static_cast<std::size_t>(vv);
            if (c.fx != nullptr) {
                const double dx = c.a.x[k] - c.fx[k], dy = c.a.y[k] - c.fy[k];
                const double d2 = dx * dx + dy * dy;
                // Not a number (a coordinate that overflowed) wins.
                if (!(d2 <= pl.distancia2) && !std::isnan(pl.distancia2)) pl.distancia2 = d2;
            }
            if (!compara) continue;
            pl.igual = pl.igual &&
                       std::bit_cast<std::uint64_t>(v::x[vv]) == std::bit_cast<std::uint64_t>(c.ex[k]) &&
                       std::bit_cast<std::uint64_t>(v::y[vv]) == std::bit_cast<std::uint64_t>(c.ey[k]);
            const double dx = v::x[vv] - c.ex[k], dy = v::y[vv] - c.ey[k];
            const double d2 = dx * dx + dy * dy;
            if (d2 > pl.deslocamento2) pl.deslocamento2 = d2;
        }
    }
}

// The history's measures on kernel n's lanes (medidas_pistas.hpp).
void mede_volumes_com(tempo_execucao::nucleo n, const double* ax, const double* ay, std::int64_t b,
                      std::int64_t nk, std::int64_t quantos, double* jacobiano, double* assimetria,
                      double* aresta) {
    MALHAS_NO_NUCLEO(n, historico_interno,
                     mede_volumes(ax, ay, b, nk, quantos, jacobiano, assimetria, aresta))
}

void movimentos_com(tempo_execucao::nucleo n, const double* ax, const double* ay,
                    const solvers::coeficientes& c, std::int64_t e, std::int64_t nk, std::int64_t quantos,
                    double* rx, double* ry) {
    MALHAS_NO_NUCLEO(n, historico_interno, movimentos(ax, ay, c, e, nk, quantos, rx, ry))
}

namespace {

// |dot| / |cross| at interior vertex e: the tangent of the non-orthogonality,
// which grows with it; infinite where the cross product is 0 (90 degrees),
// -1 where there is no non-orthogonality (terms beyond the double range).
double razao_nao_ortogonalidade(const double* ax, const double* ay, std::int64_t e, std::int64_t nk) {
    double vetorial = 0.0, escalar = 0.0;
    termos_nao_ortogonalidade(ax[e + 1], ay[e + 1], ax[e - 1], ay[e - 1], ax[e + nk], ay[e + nk], ax[e - nk],
                              ay[e - nk], vetorial, escalar);
    if (!std::isfinite(vetorial) || !std::isfinite(escalar)) return -1.0;
    return vetorial == 0.0 ? infinito : std::fabs(escalar) / std::fabs(vetorial);
}

}  // namespace

// The arctangent is the dearest step of a record. The angle grows with the
// ratio, so only the vertices whose ratio comes within a margin of the
// largest can hold the largest angle: theirs are computed, the way the
// summary computes every one. The margin, 2e-9 degrees, is some ten
// thousand times the rounding of an angle near 90 degrees (of the
// arctangent, the scaling to degrees and the difference from 90), so a
// vertex left out is below the largest however those round; the threshold
// is taken through the angle's complement, which stays exact near 90.
void mede_nao_ortogonalidade(reexecucao& c) {
    const std::int64_t nk = v::nvert_ksi, ne = v::nvert_eta;
    double maior_razao = -1.0;
    for (std::int64_t j = 2; j <= ne - 1; ++j)
        maior_razao = std::max(maior_razao, c.parciais[static_cast<std::size_t>(j)].razao_nao_ortogonalidade);
    if (maior_razao < 0.0) return;
    constexpr double margem = 2.0 * 1e-9 * pi / 180.0;
    const double complemento = std::atan2(1.0, maior_razao) + margem;
    const double limiar = complemento < pi / 2 ? (1.0 - 1e-12) / std::tan(complemento) : 0.0;
    const double* const ax = c.a.x.data();
    const double* const ay = c.a.y.data();
    std::int64_t candidatas = 0;
    for (std::int64_t j = 2; j <= ne - 1; ++j)
        if (c.parciais[static_cast<std::size_t>(j)].razao_nao_ortogonalidade >= limiar) ++candidatas;
    tempo_execucao::linhas_independentes(
        2, ne - 1, nk * candidatas / (ne - 2), [&](std::int64_t de, std::int64_t ate) {
            for (std::int64_t j = de; j <= ate; ++j) {
                parcial_linha& pl = c.parciais[static_cast<std::size_t>(j)];
                pl.nao_ortogonalidade = extremo{};
                if (pl.razao_nao_ortogonalidade < limiar) continue;
                for (std::int64_t i = 2; i <= nk - 1; ++i) {
                    const std::int64_t e = variaveis::numero_vertice(i, j, nk);
                    if (razao_nao_ortogonalidade(ax, ay, e, nk) < limiar) continue;
                    maior(pl.nao_ortogonalidade,
                          nao_ortogonalidade(ax[e + 1], ay[e + 1], ax[e - 1], ay[e - 1], ax[e + nk],
                                             ay[e + nk], ax[e - nk], ay[e - nk]));
                }
            }
        });
}

// The residual and volume measures of rows de .. ate of the written mesh,
// from the coefficients in the work arrays, and the largest ratio that
// decides the non-orthogonality (mede_nao_ortogonalidade): the moves and
// the volumes on the run's kernel, their extremes in volume order, as the
// summary takes them. Writes r and the rows' parts only.
void mede_linhas(reexecucao& c, std::int64_t de, std::int64_t ate) {
    const std::int64_t nk = v::nvert_ksi, ne = v::nvert_eta;
    const solvers::coeficientes cf{v::ap, v::ae, v::aw, v::an, v::as, v::ane, v::anw, v::ase, v::asw};
    const double* const ax = c.a.x.data();
    const double* const ay = c.a.y.data();
    const tempo_execucao::nucleo n = tempo_execucao::nucleo_da_execucao();
    for (std::int64_t j = de; j <= ate; ++j) {
        parcial_linha& pl = c.parciais[static_cast<std::size_t>(j)];
        pl.jacobiano = pl.assimetria = pl.nao_ortogonalidade = extremo{};
        pl.aresta = infinito;
        pl.razao_nao_ortogonalidade = -1.0;
        if (j >= 2 && j <= ne - 1) {
            movimentos_com(n, ax, ay, cf, variaveis::numero_vertice(2, j, nk), nk, nk - 2, c.r.x.data(),
                           c.r.y.data());
            double razao = -1.0;
            for (std::int64_t i = 2; i <= nk - 1; ++i)
                razao = std::max(razao,
                                 razao_nao_ortogonalidade(ax, ay, variaveis::numero_vertice(i, j, nk), nk));
            pl.razao_nao_ortogonalidade = razao;
        }
        if (j > ne - 1) continue;
        constexpr std::int64_t bloco = 64;
        double jacobiano[bloco], assimetria[bloco], aresta[bloco];
        for (std::int64_t i0 = 1; i0 <= nk - 1; i0 += bloco) {
            const std::int64_t quantos = std::min(bloco, nk - i0);
            mede_volumes_com(n, ax, ay, variaveis::numero_vertice(i0, j, nk), nk, quantos, jacobiano,
                             assimetria, aresta);
            for (std::int64_t k = 0; k < quantos; ++k) {
                menor(pl.jacobiano, jacobiano[k]);
                maior(pl.assimetria, assimetria[k]);
                if (aresta[k] < pl.aresta) pl.aresta = aresta[k];
            }
        }
    }
}

namespace {

// The run's shared state freed whatever way the re-run ends: the companion
// is not a run, and its tests call it again in the same process.
// reinicia fills the case name anew: its room is taken here, where a
// failure is reported, so that the destructor allocates nothing.
struct estado_da_reexecucao {
    estado_da_reexecucao() { v::nome_caso.reserve(variaveis::comprimento_nome_caso); }
    ~estado_da_reexecucao() { v::reinicia(); }
    estado_da_reexecucao(const estado_da_reexecucao&) = delete;
    estado_da_reexecucao& operator=(const estado_da_reexecucao&) = delete;
};

// Record k from the mesh in x, y: its written form, its coefficients (in the
// run's work arrays, which the next iteration computes afresh from x, y),
// the residual and the measures. Returns whether any coordinate changed
// since the mesh before (always true for record 0).
bool registra_iteracao(reexecucao& c, std::int64_t k) {
    const std::int64_t nk = v::nvert_ksi, ne = v::nvert_eta;
    const bool compara = k > 0;
    tempo_execucao::linhas_independentes(
        1, ne, nk, [&](std::int64_t de, std::int64_t ate) { arredonda_linhas(c, compara, de, ate); });
    bool moveu = !compara;
    double deslocamento2 = 0.0, distancia2 = 0.0;
    for (std::int64_t j = 1; j <= ne; ++j) {
        const parcial_linha& pl = c.parciais[static_cast<std::size_t>(j)];
        moveu = moveu || !pl.igual;
        deslocamento2 = std::max(deslocamento2, pl.deslocamento2);
        if (!(pl.distancia2 <= distancia2) && !std::isnan(distancia2)) distancia2 = pl.distancia2;
    }
    std::copy(v::x + 1, v::x + 1 + v::nvert, c.ex.begin() + 1);
    std::copy(v::y + 1, v::y + 1 + v::nvert, c.ey.begin() + 1);

    {
        // The smoothing's own steps on the written mesh, in the run's work arrays.
        variaveis::estado escrito = v::estado_atual();
        escrito.x = c.a.x.data();
        escrito.y = c.a.y.data();
        const variaveis::estado_emprestado emprestimo(escrito);
        metricas::calcula_metricas();
        coef::zera_fontes();
        coef::calcula_coef();
        tempo_execucao::linhas_independentes(
            1, ne, nk, [&](std::int64_t de, std::int64_t ate) { mede_linhas(c, de, ate); });
        mede_nao_ortogonalidade(c);
    }

    registro_historico l;
    l.k = k;
    l.deslocamento = std::sqrt(deslocamento2);
    const double h = c.h.aresta_final;
    l.distancia_final =
        c.fx != nullptr && h > 0.0 && std::isfinite(h) ? std::sqrt(distancia2) / h : nao_numero;
    extremo jacobiano, assimetria, nao_ortogonalidade;
    double aresta = infinito;
    for (std::int64_t j = 1; j <= ne; ++j) {
        const parcial_linha& pl = c.parciais[static_cast<std::size_t>(j)];
        if (pl.jacobiano.tem) menor(jacobiano, pl.jacobiano.valor);
        if (pl.assimetria.tem) maior(assimetria, pl.assimetria.valor);
        if (pl.nao_ortogonalidade.tem) maior(nao_ortogonalidade, pl.nao_ortogonalidade.valor);
        if (pl.aresta < aresta) aresta = pl.aresta;
    }
    l.jacobiano_minimo = jacobiano.tem ? jacobiano.valor : nao_numero;
    l.assimetria_maxima = assimetria.tem ? assimetria.valor : nao_numero;
    l.nao_ortogonalidade_maxima = nao_ortogonalidade.tem ? nao_ortogonalidade.valor : nao_numero;
    l.menor_aresta = aresta;

    // The summary's residual and its verdict (resumo.cpp).
    const std::int64_t interiores = vertices_interiores(v::nvert_ksi, v::nvert_eta);
    if (interiores == 0) {
        l.residuo_x_max = l.residuo_x_rms = l.residuo_y_max = l.residuo_y_rms = 0.0;
        l.movimento = l.movimento_relativo = 0.0;  // nothing can move
    } else {
        const resumo_residuo rx = resume_residuo(c.a, c.r.x), ry = resume_residuo(c.a, c.r.y);
        const bool algum = rx.definidos > 0;
        l.residuo_x_max = algum ? rx.maximo : nao_numero;
        l.residuo_x_rms = algum ? rx.rms : nao_numero;
        l.residuo_y_max = algum ? ry.maximo : nao_numero;
        l.residuo_y_rms = algum ? ry.rms : nao_numero;
        l.movimento = rx.definidos == interiores ? std::max(rx.maximo, ry.maximo) : nao_numero;
        l.movimento_relativo =
            !std::isnan(l.movimento) && l.menor_aresta > 0.0 && std::isfinite(l.menor_aresta)
                ? l.movimento / l.menor_aresta
                : nao_numero;
    }
    l.segundos = std::chrono::duration<double>(relogio::now() - c.inicio).count();
    guarda_registro(c, l);
    // The faults of the measures are no faults of the run.
    std::feclearexcept(FE_ALL_EXCEPT);
    return moveu;
}

// The re-run goes on through the outer iterations until the program's own
// run would have ended at a fault, or the mesh has stopped changing.
malhas_segmentos::decisao observa(reexecucao& c, std::int32_t k, malhas_segmentos::etapa e) {
    using malhas_segmentos::decisao;
    if (e == malhas_segmentos::etapa::coeficientes) {
        if (!coeficientes_falharam()) return decisao::continua;
        falha_nos_coeficientes(c, k);
        return decisao::para;
    }
    if (tempo_execucao::falha_fp_sinalizada()) {
        falha_nas_varreduras(c, k);
        return decisao::para;
    }
    const bool moveu = registra_iteracao(c, k);
    c.progresso.atualiza(k, c.niter);
    if (moveu) return decisao::continua;
    // Every later iteration computes the same from the same coordinates.
    c.h.ponto_fixo = k;
    return decisao::para;
}

// The outputs opened before the re-run: a table written row by row as it
// goes, its size said first when it is to be large.
void abre_tabelas(reexecucao& c, const pedido_historico& p) {
    // A mistyped niter shows in the progress line; its table would also
    // fill the disk before the estimate says much, so its size is said first.
    const bool tabela = std::any_of(p.saidas.begin(), p.saidas.end(), [](const std::string& nome) {
        return caminhos::termina_em(nome, ".csv");
    });
    const double bytes = static_cast<double>(c.niter + 1) * bytes_por_registro_csv;
    if (tabela && p.progresso && bytes > tabela_grande)
        std::fprintf(
            stderr,
            "malhas_qualidade: note: niter = %lld: the table of --historico will have %lld rows, about "
            "%.0f GB (Ctrl-C stops the re-run and writes nothing)\n",
            static_cast<long long>(c.niter), static_cast<long long>(c.niter + 1), bytes / 1e9);
    for (const std::string& nome : p.saidas) {
        if (!caminhos::termina_em(nome, ".csv")) continue;
        tempo_execucao::alocando a("the history's table buffers");
        c.csvs.push_back(std::make_unique<saida_atomica>());
        abre_saida(*c.csvs.back(), nome);
        escreve(*c.csvs.back(), cabecalho_csv_historico());
    }
}

// The program's run of the case files, through the one door of its shared
// state, with a record after every outer iteration.
void reexecuta(reexecucao& c, double& escala) {
    historico& h = c.h;
    malhas_segmentos::define_estado(h.c);
    h.tamanhos = v::tamanhos_de(v::nvol_ksi, v::nvol_eta);
    prepara_final(c, escala);
    v::aloca_malha();
    std::feclearexcept(FE_ALL_EXCEPT);
    malhas_segmentos::gera_malha_inicial();
    if (tempo_execucao::falha_fp_sinalizada()) {
        h.falha.etapa = falha_reexecucao::onde::malha_inicial;
        h.falha.sinalizadas = std::fetestexcept(falhas_fp);
        return;
    }
    malhas_segmentos::define_estado(h.par);
    v::aloca_trabalho_eliptico();
    {
        tempo_execucao::alocando a("the history's copies of the mesh");
        dimensiona(c.a, v::nvol_ksi, v::nvol_eta);
        for (std::vector<double>* copia : {&c.ex, &c.ey, &c.r.x, &c.r.y})
            copia->assign(c.a.x.size(), 0.0);
        c.parciais.assign(static_cast<std::size_t>(v::nvert_eta) + 1, parcial_linha{});
        // Kept as the re-run goes, where nothing may allocate.
        c.ultimos.reserve(maximo_ultimos);
    }
    registra_iteracao(c, 0);
    malhas_segmentos::suaviza_malha(
        [&c](std::int32_t k, malhas_segmentos::etapa e) { return observa(c, k, e); });
    std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace

}  // namespace historico_interno

historico executa_historico(const pedido_historico& p) {
    using namespace historico_interno;
    historico h;
    h.c = le_caso(p.entradas);
    if (h.c.tipo_malha != 2)
        falha(p.entradas, 0,
              "mesh kind " + std::to_string(h.c.tipo_malha) +
                  ": only mesh kind 2 is smoothed, so there is no history to record (--historico)");
    h.par = le_parametros(p.parametros);

    reexecucao c(p, h);
    c.niter = std::max<std::int32_t>(0, h.par.niter);
    while ((c.niter + c.passo_curtas - 1) / c.passo_curtas > maximo_registros_curtos)
        c.passo_curtas *= 10;
    h.passo_curtas = c.passo_curtas;
    h.passo_grafico = std::max<std::int64_t>(
        1, (c.niter + 1 + maximo_pontos_grafico / 2 - 1) / (maximo_pontos_grafico / 2));
    if (c.niter + 1 <= maximo_pontos_grafico) h.passo_grafico = 1;
    abre_tabelas(c, p);

    double escala = 0.0;
    {
        const estado_da_reexecucao estado;
        c.inicio = relogio::now();
        reexecuta(c, escala);
        c.progresso.termina();
        if (h.ultima.k != (h.curtas.empty() ? -1 : h.curtas.back().k) && h.registros > 0)
            h.curtas.push_back(h.ultima);
        h.segundos = std::chrono::duration<double>(relogio::now() - c.inicio).count();
        if (h.falha.etapa == falha_reexecucao::onde::nenhuma) {
            compara_relatorio(p, h);
            estima_contracao(c, escala);
        }
    }
    {
        tempo_execucao::alocando a("the history's part of the summary");
        h.texto = texto_historico(h, p, h.status);
    }
    for (auto& s : c.csvs)
        conclui_saida(*s);
    for (const std::string& nome : p.saidas)
        if (caminhos::termina_em(nome, ".svg")) escreve_svg_historico(nome, h, p);
    return h;
}

}  // namespace malhas_qualidade
