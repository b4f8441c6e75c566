#include "malhas_qualidade/historico.hpp"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cctype>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "coef/coef.hpp"
#include "malhas_qualidade/arquivo_lido.hpp"
#include "malhas_qualidade/erros.hpp"
#include "malhas_qualidade/grafico_historico.hpp"
#include "malhas_qualidade/malha_lida.hpp"
#include "malhas_qualidade/medidas.hpp"
#include "malhas_qualidade/principal.hpp"
#include "malhas_qualidade/progresso.hpp"
#include "malhas_qualidade/residuo.hpp"
#include "malhas_qualidade/resumo.hpp"
#include "malhas_qualidade/saida.hpp"
#include "malhas_segmentos/estado_corrida.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "malhas_segmentos/suavizacao.hpp"
#include "metricas/metricas.hpp"
#include "processamento/campos.hpp"
#include "processamento/processamento.hpp"
#include "solvers/varreduras_xy.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/linhas_execucao.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade {

namespace {

namespace v = variaveis;
using relogio = std::chrono::steady_clock;

constexpr double nao_numero = std::numeric_limits<double>::quiet_NaN();
constexpr double infinito = std::numeric_limits<double>::infinity();
constexpr int falhas_fp = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// The summary shows row 0, row 1, every tenth and the last; with more rows
// than this between them, every hundredth (thousandth, ...) instead.
constexpr std::int64_t maximo_linhas_curtas = 20;
// The plot holds every row up to this many, else the extremes of each step.
constexpr std::int64_t maximo_pontos_grafico = 2000;
// The rate at which the displacements fall is taken over at most this many
// of the last iterations, and over no more than the later half of them: the
// first iterations still undo the algebraic mesh.
constexpr std::size_t maximo_razoes = 10;
constexpr std::size_t maximo_ultimos = maximo_razoes + 1;
// A displacement within this many units of the last place of the largest
// coordinate is the rounding of the sweeps, not a move.
constexpr double ulps_arredondamento = 1024.0;
// The count of further iterations aims at the tolerance over this, and the
// ratio of the displacements counts as still rising when it grew by more
// than this share of its distance from 1 over the iterations taken.
constexpr double margem_estimativa = 10.0;
constexpr double fracao_subida = 0.02;
// A table row takes about this many bytes; a table above the second figure
// is announced before the re-run starts.
constexpr double bytes_por_linha_csv = 230;
constexpr double tabela_grande = 1e9;

// The powers of ten that doubles hold exactly.
constexpr double potencias_exatas[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// --- What a row takes from each row of vertices ---------------------------------

// The summary's rule for an extreme (estatistica_de, calcula_medidas): the
// first finite value, then only a strictly smaller (larger) one. Taken row
// by row and then over the rows in their order, it gives the very value,
// zero's sign included, that the summary's one pass gives.
struct extremo {
    double valor = 0.0;
    bool tem = false;
};
inline void menor(extremo& e, double x) {
    if (std::isfinite(x) && (!e.tem || x < e.valor)) e = {x, true};
}
inline void maior(extremo& e, double x) {
    if (std::isfinite(x) && (!e.tem || x > e.valor)) e = {x, true};
}

struct parcial_linha {
    double deslocamento2 = 0.0;  // the largest squared displacement of the row's vertices
    double distancia2 = 0.0;     // the largest squared distance of the row's written vertices from the final
    bool igual = true;           // no coordinate of the row changed, to the bit
    extremo jacobiano, assimetria, nao_ortogonalidade;
    double aresta = infinito;  // calcula_medidas' rule: strictly smaller, not a number skipped
};

struct reexecucao {
    const pedido_historico& p;
    historico& h;
    malha_lida a;                         // the mesh as its report file would hold it
    std::vector<double> ex, ey;           // the exact mesh after the iteration before
    residuo_malha r;                      // per vertex
    std::vector<parcial_linha> parciais;  // per row of vertices
    std::vector<std::unique_ptr<saida_atomica>> csvs;
    // The final mesh (the report file's), null when it has other sizes.
    malha_lida lida;  // the report file read here, when the caller did not
    const double* fx = nullptr;
    const double* fy = nullptr;
    // The displacements of the last iterations, for the rate at which they fall.
    std::vector<double> ultimos;
    linha_progresso progresso;
    relogio::time_point inicio;
    std::int64_t niter = 0;
    std::int64_t passo_curtas = 10;
    std::int64_t balde = -1;  // the plot's current step

    reexecucao(const pedido_historico& pedido, historico& historia)
        : p(pedido), h(historia), progresso("re-running the smoothing", pedido.progresso, pedido.terminal) {}
};

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
        for (std::int64_t vv = (j - 1) * nk + 1; vv <= j * nk; ++vv) {
            const auto k = static_cast<std::size_t>(vv);
            c.a.x[k] = valor_gravado(v::x[vv]);
            c.a.y[k] = valor_gravado(v::y[vv]);
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

// The residual, non-orthogonality and volume measures of rows de .. ate of
// the written mesh, from the coefficients in the work arrays. Writes r and
// the rows' parts only.
void mede_linhas(reexecucao& c, std::int64_t de, std::int64_t ate) {
    const std::int64_t nk = v::nvert_ksi, ne = v::nvert_eta;
    const solvers::coeficientes cf{v::ap, v::ae, v::aw, v::an, v::as, v::ane, v::anw, v::ase, v::asw};
    const double* const ax = c.a.x.data();
    const double* const ay = c.a.y.data();
    for (std::int64_t j = de; j <= ate; ++j) {
        parcial_linha& pl = c.parciais[static_cast<std::size_t>(j)];
        pl.jacobiano = pl.assimetria = pl.nao_ortogonalidade = extremo{};
        pl.aresta = infinito;
        if (j >= 2 && j <= ne - 1) {
            for (std::int64_t i = 2; i <= nk - 1; ++i) {
                const std::int64_t e = (j - 1) * nk + i;
                double mx = 0.0, my = 0.0;
                const bool definido =
                    movimentos_vertice(ax, ay, cf, e, nk, mx, my) == causa_indefinida::nenhuma;
                c.r.x[static_cast<std::size_t>(e)] = definido ? mx : nao_numero;
                c.r.y[static_cast<std::size_t>(e)] = definido ? my : nao_numero;
                maior(pl.nao_ortogonalidade,
                      nao_ortogonalidade(ax[e + 1], ay[e + 1], ax[e - 1], ay[e - 1], ax[e + nk], ay[e + nk],
                                         ax[e - nk], ay[e - nk]));
            }
        }
        if (j <= ne - 1) {
            for (std::int64_t i = 1; i <= nk - 1; ++i) {
                const std::int64_t b = (j - 1) * nk + i;
                const double px[4] = {ax[b], ax[b + 1], ax[b + nk + 1], ax[b + nk]};
                const double py[4] = {ay[b], ay[b + 1], ay[b + nk + 1], ay[b + nk]};
                const medidas_quadrilatero q = mede_quadrilatero(px, py, false);
                menor(pl.jacobiano, q.jacobiano_escalado);
                maior(pl.assimetria, q.assimetria);
                if (q.menor_aresta < pl.aresta) pl.aresta = q.menor_aresta;
            }
        }
    }
}

std::int64_t vertices_interiores() {
    return std::max<std::int64_t>(0, v::nvert_ksi - 2) * std::max<std::int64_t>(0, v::nvert_eta - 2);
}

// --- A row -----------------------------------------------------------------------

void escreve_linha_csv(saida_atomica& s, const linha_historico& l) {
    char* const inicio = reserva(s, 512);
    char* q = escreve_inteiro(inicio, l.k);
    const double valores[] = {l.residuo_x_max,
                              l.residuo_x_rms,
                              l.residuo_y_max,
                              l.residuo_y_rms,
                              l.movimento,
                              l.movimento_relativo,
                              l.deslocamento,
                              l.menor_aresta,
                              l.jacobiano_minimo,
                              l.assimetria_maxima,
                              l.nao_ortogonalidade_maxima};
    for (double x : valores) {
        *q++ = ',';
        q = escreve_real(q, x);
    }
    q += std::snprintf(q, 32, ",%.6f,", l.segundos);
    q = escreve_real(q, l.distancia_final);
    *q++ = '\r';
    *q++ = '\n';
    confirma(s, static_cast<std::size_t>(q - inicio));
}

// Each series' least and greatest over the rows of one step of the plot.
void junta_extremos(linha_historico& menor_l, linha_historico& maior_l, const linha_historico& l) {
    double linha_historico::*const campos[] = {&linha_historico::residuo_x_max,
                                               &linha_historico::residuo_x_rms,
                                               &linha_historico::residuo_y_max,
                                               &linha_historico::residuo_y_rms,
                                               &linha_historico::movimento,
                                               &linha_historico::movimento_relativo,
                                               &linha_historico::deslocamento,
                                               &linha_historico::menor_aresta,
                                               &linha_historico::jacobiano_minimo,
                                               &linha_historico::assimetria_maxima,
                                               &linha_historico::nao_ortogonalidade_maxima,
                                               &linha_historico::distancia_final};
    for (auto campo : campos) {
        // A row without a value (not a number) shows in the plot as a gap.
        if (std::isnan(l.*campo) || l.*campo < menor_l.*campo) menor_l.*campo = l.*campo;
        if (std::isnan(l.*campo) || l.*campo > maior_l.*campo) maior_l.*campo = l.*campo;
    }
    maior_l.k = l.k;
    maior_l.segundos = l.segundos;
}

void registra(reexecucao& c, const linha_historico& l) {
    historico& h = c.h;
    for (auto& s : c.csvs)
        escreve_linha_csv(*s, l);
    if (l.k <= 1 || l.k % c.passo_curtas == 0) h.curtas.push_back(l);
    if (h.passo_grafico == 1) {
        h.grafico.push_back(l);
    } else if (l.k / h.passo_grafico != c.balde) {
        c.balde = l.k / h.passo_grafico;
        h.grafico.push_back(l);
        h.grafico.push_back(l);
    } else {
        junta_extremos(h.grafico[h.grafico.size() - 2], h.grafico.back(), l);
    }
    h.ultima = l;
    ++h.linhas;

    // The least k from which every row is within the tolerance of the final
    // mesh: a row that is not (an undefined one is not) starts the search
    // again after it.
    if (!(l.distancia_final < c.p.tolerancia)) {
        h.recomendado = -1;
        h.linha_anterior = l;
    } else if (h.recomendado < 0) {
        h.recomendado = l.k;
        h.linha_recomendada = l;
    }
    if (l.k > 0) {
        if (c.ultimos.size() == maximo_ultimos) c.ultimos.erase(c.ultimos.begin());
        c.ultimos.push_back(l.deslocamento);
    }
}

// Row k from the mesh in x, y: its written form, its coefficients (in the
// run's work arrays, which the next iteration computes afresh from x, y),
// the residual and the measures. Returns whether any coordinate changed
// since the mesh before (always true for row 0).
bool linha(reexecucao& c, std::int64_t k) {
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
    }

    linha_historico l;
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
    const std::int64_t interiores = vertices_interiores();
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
    registra(c, l);
    // The faults of the measures are no faults of the run.
    std::feclearexcept(FE_ALL_EXCEPT);
    return moveu;
}

// --- Faults the program's run would have ended with -----------------------------

// Whether the metric terms or the coefficients of this iteration faulted.
// The flag may have been cleared by a later step run on helper threads, but
// a fault there always leaves a value out of the double range in jac, ap or
// ane (an overflow in the metric terms makes alfa or gama infinite, and so
// ap; a zero determinant makes jac infinite), and from finite coordinates
// nothing else does.
bool coeficientes_falharam() {
    if (tempo_execucao::falha_fp_sinalizada()) return true;
    const std::int64_t nk = v::nvert_ksi;
    for (std::int64_t j = 2; j <= v::nvert_eta - 1; ++j)
        for (std::int64_t e = (j - 1) * nk + 2; e <= j * nk - 1; ++e)
            if (!std::isfinite(v::jac[e]) || !std::isfinite(v::ap[e]) || !std::isfinite(v::ane[e]))
                return true;
    return false;
}

// The first interior vertex, in the order of the run's loops, at which the
// metric terms (and, with coeficientes, the coefficients) raise a fault flag,
// each replayed on a copy of the vertex and its eight neighbours by the
// program's own routines; -1 when the metric terms' factors (0.5/dksi,
// 0.5/deta), computed before any vertex, fault; 0 when none does.
std::int64_t primeira_falha(bool coeficientes, int& sinalizadas) {
    const variaveis::estado corrida = v::estado_atual();
    double x3[10] = {}, y3[10] = {};
    double trabalho[variaveis::n_arrays_trabalho][10] = {};
    auto copia_de = [&](std::int32_t n) {
        variaveis::estado copia = variaveis::estado_de_malha(n, n, x3, y3);
        copia.dksi = corrida.dksi;
        copia.deta = corrida.deta;
        copia.tipo_p = corrida.tipo_p;
        copia.tipo_q = corrida.tipo_q;
        for (int k = 0; k < variaveis::n_arrays_trabalho; ++k)
            copia.trabalho[k] = trabalho[k];
        return copia;
    };
    {
        // One volume: no interior vertex, only the factors.
        const variaveis::estado_emprestado emprestimo(copia_de(1));
        std::feclearexcept(FE_ALL_EXCEPT);
        metricas::calcula_metricas();
        sinalizadas = std::fetestexcept(falhas_fp);
        if (sinalizadas != 0) return -1;
    }
    const variaveis::estado copia = copia_de(2);
    const std::int64_t nk = corrida.nvert_ksi;
    for (std::int64_t j = 2; j <= corrida.nvert_eta - 1; ++j) {
        for (std::int64_t i = 2; i <= nk - 1; ++i) {
            const std::int64_t vv = (j - 1) * nk + i;
            for (int dj = -1; dj <= 1; ++dj)
                for (int di = -1; di <= 1; ++di) {
                    x3[1 + (dj + 1) * 3 + (di + 1)] = corrida.x[vv + dj * nk + di];
                    y3[1 + (dj + 1) * 3 + (di + 1)] = corrida.y[vv + dj * nk + di];
                }
            const variaveis::estado_emprestado emprestimo(copia);
            std::feclearexcept(FE_ALL_EXCEPT);
            metricas::calcula_metricas();
            if (coeficientes) {
                coef::zera_fontes();
                coef::calcula_coef();
            }
            sinalizadas = std::fetestexcept(falhas_fp);
            if (sinalizadas != 0) return vv;
        }
    }
    return 0;
}

void falha_nos_coeficientes(reexecucao& c, std::int64_t k) {
    falha_reexecucao& f = c.h.falha;
    f.etapa = falha_reexecucao::onde::coeficientes;
    f.k = k;
    f.sinalizadas = std::fetestexcept(falhas_fp);
    // The run computes every metric term before any coefficient: a fault of
    // the metric terms anywhere comes first.
    int sinalizadas = 0;
    f.vertice = primeira_falha(false, sinalizadas);
    if (f.vertice == 0) f.vertice = primeira_falha(true, sinalizadas);
    if (f.vertice != 0) f.sinalizadas = sinalizadas;
}

// The sweeps of this iteration faulted: x and y went through them in order
// (varreduras_xy.hpp), one sweep at a time replayed from the mesh before
// them tells which coordinate and which sweep faulted first.
void falha_nas_varreduras(reexecucao& c, std::int64_t k) {
    falha_reexecucao& f = c.h.falha;
    f.etapa = falha_reexecucao::onde::varreduras;
    f.k = k;
    f.sinalizadas = std::fetestexcept(falhas_fp);
    std::vector<double> phi;
    for (const auto& [coordenada, origem] : {std::pair{'x', &c.ex}, std::pair{'y', &c.ey}}) {
        phi = *origem;
        for (std::int32_t s = 1; s <= v::niter_solver; ++s) {
            std::feclearexcept(FE_ALL_EXCEPT);
            solvers::gauss_seidel_em_ordem(phi.data(), v::ap, v::ae, v::aw, v::an, v::as, v::ane, v::anw,
                                           v::ase, v::asw, v::nvert_ksi, v::nvert_eta, 1);
            const int sinalizadas = std::fetestexcept(falhas_fp);
            if (sinalizadas == 0) continue;
            f.sinalizadas = sinalizadas;
            f.coordenada = coordenada;
            f.varredura = s;
            return;
        }
    }
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
    const bool moveu = linha(c, k);
    c.progresso.atualiza(k, c.niter);
    if (moveu) return decisao::continua;
    // Every later iteration computes the same from the same coordinates.
    c.h.ponto_fixo = k;
    return decisao::para;
}

// --- The final mesh and where the smoothing goes --------------------------------

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

// --- The proof -----------------------------------------------------------------

// The final coordinates' fields against the report file's, vertex by vertex.
void compara_relatorio(const pedido_historico& p, historico& h) {
    if (v::nvol_ksi != p.nvol_ksi_relatorio || v::nvol_eta != p.nvol_eta_relatorio) {
        h.resultado_prova = historico::prova::tamanhos;
        return;
    }
    arquivo_lido arq;
    abre_lido(arq, p.relatorio, true);
    const std::size_t inicio =
        processamento::linhas_iniciais_relatorio(v::nvol_ksi, v::nvol_eta, v::nvert_ksi, v::nvert_eta).size();
    constexpr std::size_t largura = processamento::largura_linha_vertice + 2;  // CR LF
    constexpr std::size_t linhas_bloco = 1 << 16;
    std::vector<char> bloco(linhas_bloco * largura);
    auto enche = [&](std::size_t n) {
        std::size_t cheio = 0;
        while (cheio < n) {
            const std::size_t lidos = le_bytes(arq, bloco.data() + cheio, n - cheio);
            if (lidos == 0) break;
            cheio += lidos;
        }
        return cheio;
    };
    std::size_t resto = inicio;
    while (resto > 0) {
        const std::size_t n = enche(std::min(resto, bloco.size()));
        if (n == 0) break;
        resto -= n;
    }
    const std::int64_t nvert = v::nvert;
    for (std::int64_t primeiro = 1; primeiro <= nvert; primeiro += linhas_bloco) {
        const std::int64_t n = std::min<std::int64_t>(linhas_bloco, nvert - primeiro + 1);
        const std::size_t cheio = resto == 0 ? enche(static_cast<std::size_t>(n) * largura) : 0;
        const auto completas = static_cast<std::int64_t>(cheio / largura);
        // The first vertex of the block whose fields differ, found by as many
        // threads as the run may use.
        std::atomic<std::int64_t> diferente{std::numeric_limits<std::int64_t>::max()};
        tempo_execucao::linhas_independentes(0, completas - 1, 2, [&](std::int64_t de, std::int64_t ate) {
            char campos[50];
            for (std::int64_t l = de; l <= ate; ++l) {
                const std::int64_t vv = primeiro + l;
                processamento::campo_e25_15(campos, v::x[vv]);
                processamento::campo_e25_15(campos + 25, v::y[vv]);
                if (std::memcmp(campos, bloco.data() + l * largura + 10, 50) == 0) continue;
                std::int64_t atual = diferente.load();
                while (l < atual && !diferente.compare_exchange_weak(atual, l)) {
                }
                return;
            }
        });
        const std::int64_t l = diferente.load();
        if (l != std::numeric_limits<std::int64_t>::max()) {
            const std::int64_t vv = primeiro + l;
            char campos[50];
            processamento::campo_e25_15(campos, v::x[vv]);
            processamento::campo_e25_15(campos + 25, v::y[vv]);
            const char* const lido = bloco.data() + l * largura + 10;
            const int k = std::memcmp(campos, lido, 25) != 0 ? 0 : 1;
            auto sem_brancos = [](const char* t) {
                std::string s(t, 25);
                return s.substr(std::min(s.find_first_not_of(' '), s.size()));
            };
            h.resultado_prova = historico::prova::vertice;
            h.vertice_diferente = vv;
            h.coordenada_diferente = k == 0 ? 'x' : 'y';
            h.texto_reexecucao = sem_brancos(campos + 25 * k);
            h.texto_arquivo = sem_brancos(lido + 25 * k);
            return;
        }
        if (completas < n) {
            h.resultado_prova = historico::prova::arquivo_curto;
            h.vertice_diferente = primeiro + completas;
            return;
        }
    }
    h.resultado_prova = historico::prova::confere;
}

}  // namespace

// The E25.15 field of x holds 16 digits D and an exponent, the value
// D * 10^q. Where D and 10^|q| are doubles exactly (|q| at most 22), one
// multiplication or division rounds that to the nearest
// double, which is what the report's reader, a correctly rounded
// conversion, gives too; the others go through the field's text and that
// reader.
double valor_gravado(double x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const std::uint64_t sinal = bits & (std::uint64_t{1} << 63);
    const double magnitude = std::bit_cast<double>(bits ^ sinal);
    if (magnitude == 0.0) return 0.0;                  // the field of either zero reads back as +0
    if (!std::isfinite(magnitude)) return nao_numero;  // no report file holds one
    std::uint64_t d16 = 0;
    int p = 0;
    processamento::digitos_e25_15(magnitude, d16, p);
    const int q = p - 15;
    double r = 0.0;
    // Up to 10^16 < 2^54, an even D is a double exactly too.
    if ((d16 <= (std::uint64_t{1} << 53) || (d16 & 1) == 0) && q >= -22 && q <= 22) {
        const double d = static_cast<double>(d16);
        r = q < 0 ? d / potencias_exatas[-q] : d * potencias_exatas[q];
    } else {
        char campo[25];
        processamento::campo_e25_15(campo, magnitude);
        std::string_view texto(campo, sizeof campo);
        texto.remove_prefix(texto.find_first_not_of(' '));
        if (!le_real_campo(texto, r)) return nao_numero;
    }
    return sinal != 0 ? -r : r;
}

bool termina_em(std::string_view nome, std::string_view extensao) {
    if (nome.size() < extensao.size()) return false;
    const std::string_view fim = nome.substr(nome.size() - extensao.size());
    return std::equal(fim.begin(), fim.end(), extensao.begin(), extensao.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

std::string cabecalho_csv_historico() {
    return std::string("k,") + nome::residuo_x + "_max," + nome::residuo_x + "_rms," + nome::residuo_y +
           "_max," + nome::residuo_y +
           "_rms,largest_move,largest_move_per_shortest_edge,displacement,shortest_edge," +
           nome::jacobiano_escalado + "_min," + nome::assimetria + "_max," + nome::nao_ortogonalidade +
           "_max,seconds,distance_from_final_per_shortest_edge\r\n";
}

historico executa_historico(const pedido_historico& p) {
    historico h;
    h.c = le_caso(p.entradas);
    if (h.c.tipo_malha != 2)
        falha(p.entradas, 0,
              "mesh kind " + std::to_string(h.c.tipo_malha) +
                  ": only mesh kind 2 is smoothed, so there is no history to record (--historico)");
    h.par = le_parametros(p.parametros);

    reexecucao c(p, h);
    c.niter = std::max<std::int32_t>(0, h.par.niter);
    while ((c.niter + c.passo_curtas - 1) / c.passo_curtas > maximo_linhas_curtas)
        c.passo_curtas *= 10;
    h.passo_curtas = c.passo_curtas;
    h.passo_grafico = std::max<std::int64_t>(
        1, (c.niter + 1 + maximo_pontos_grafico / 2 - 1) / (maximo_pontos_grafico / 2));
    if (c.niter + 1 <= maximo_pontos_grafico) h.passo_grafico = 1;

    // A mistyped niter shows in the progress line; its table would also
    // fill the disk before the estimate says much, so its size is said first.
    const bool tabela = std::any_of(p.saidas.begin(), p.saidas.end(),
                                    [](const std::string& nome) { return termina_em(nome, ".csv"); });
    const double bytes = static_cast<double>(c.niter + 1) * bytes_por_linha_csv;
    if (tabela && p.progresso && bytes > tabela_grande)
        std::fprintf(
            stderr,
            "malhas_qualidade: note: niter = %lld: the table of --historico will have %lld rows, about "
            "%.0f GB (Ctrl-C stops the re-run and writes nothing)\n",
            static_cast<long long>(c.niter), static_cast<long long>(c.niter + 1), bytes / 1e9);
    for (const std::string& nome : p.saidas) {
        if (!termina_em(nome, ".csv")) continue;
        tempo_execucao::alocando a("the history's table buffers");
        c.csvs.push_back(std::make_unique<saida_atomica>());
        abre_saida(*c.csvs.back(), nome);
        escreve(*c.csvs.back(), cabecalho_csv_historico());
    }

    // The shared state as the run driver sets it, and its steps.
    const estado_da_reexecucao estado;
    c.inicio = relogio::now();
    malhas_segmentos::define_estado(h.c);
    h.nvol_ksi = v::nvol_ksi;
    h.nvol_eta = v::nvol_eta;
    double escala = 0.0;
    prepara_final(c, escala);
    v::aloca_malha();
    std::feclearexcept(FE_ALL_EXCEPT);
    malhas_segmentos::gera_malha_inicial();
    if (tempo_execucao::falha_fp_sinalizada()) {
        h.falha.etapa = falha_reexecucao::onde::malha_inicial;
        h.falha.sinalizadas = std::fetestexcept(falhas_fp);
    } else {
        malhas_segmentos::define_estado(h.par);
        v::aloca_trabalho_eliptico();
        {
            tempo_execucao::alocando a("the history's copies of the mesh");
            const auto n = static_cast<std::size_t>(v::nvert) + 1;
            c.a.nvol_ksi = v::nvol_ksi;
            c.a.nvol_eta = v::nvol_eta;
            c.a.nvert_ksi = v::nvert_ksi;
            c.a.nvert_eta = v::nvert_eta;
            c.a.nvert = v::nvert;
            c.a.nvol = v::nvol;
            for (std::vector<double>* a : {&c.a.x, &c.a.y, &c.ex, &c.ey, &c.r.x, &c.r.y})
                a->assign(n, 0.0);
            c.parciais.assign(static_cast<std::size_t>(v::nvert_eta) + 1, parcial_linha{});
            // Kept as the re-run goes, where nothing may allocate.
            c.ultimos.reserve(maximo_ultimos);
        }
        linha(c, 0);
        malhas_segmentos::suaviza_malha(
            [&c](std::int32_t k, malhas_segmentos::etapa e) { return observa(c, k, e); });
        std::feclearexcept(FE_ALL_EXCEPT);
    }
    c.progresso.termina();
    if (h.ultima.k != (h.curtas.empty() ? -1 : h.curtas.back().k) && h.linhas > 0)
        h.curtas.push_back(h.ultima);
    h.segundos = std::chrono::duration<double>(relogio::now() - c.inicio).count();

    if (h.falha.etapa == falha_reexecucao::onde::nenhuma) {
        compara_relatorio(p, h);
        estima_contracao(c, escala);
    }

    {
        tempo_execucao::alocando a("the history's part of the summary");
        h.texto = texto_historico(h, p, h.status);
    }
    for (auto& s : c.csvs)
        conclui_saida(*s);
    for (const std::string& nome : p.saidas)
        if (termina_em(nome, ".svg")) escreve_svg_historico(nome, h, p);
    return h;
}

// --- The summary's part ------------------------------------------------------------

namespace {

std::string posicao(std::int64_t vv, std::int32_t nk) {
    return "vertex " + std::to_string(vv) + " (" + std::to_string((vv - 1) % nk + 1) + ", " +
           std::to_string((vv - 1) / nk + 1) + ")";
}

// The MATH report of the flags: the very one when a single flag is set.
std::string relatorio_fp(int sinalizadas) {
    struct tipo {
        int flag;
        int codigo;
        const char* texto;
    };
    const tipo tipos[] = {{FE_INVALID, tempo_execucao::codigo_fp_invalido, "invalid"},
                          {FE_DIVBYZERO, tempo_execucao::codigo_fp_divisao_zero, "divide by zero"},
                          {FE_OVERFLOW, tempo_execucao::codigo_fp_overflow, "overflow"}};
    std::vector<const tipo*> dados;
    for (const tipo& t : tipos)
        if ((sinalizadas & t.flag) != 0) dados.push_back(&t);
    if (dados.size() == 1)
        return "the report \"run-time error M" + std::to_string(dados[0]->codigo) +
               ": MATH\" (floating-point error: " + dados[0]->texto + ")";
    std::string lista;
    for (const tipo* t : dados)
        lista += std::string(lista.empty() ? "" : " or ") + "M" + std::to_string(t->codigo) + " (" +
                 t->texto + ")";
    return "a MATH report (" + lista + ", whichever comes first)";
}

void linha_curta(std::string& s, const linha_historico& l) {
    acrescenta(s, "  %9lld %10.3g %10.3g %10.3g %10.3g %10.3g %10.3g %15.4g %9.4g %17.4g %9.3f\n",
               static_cast<long long>(l.k), l.movimento_relativo, l.distancia_final, l.residuo_x_max,
               l.residuo_x_rms, l.residuo_y_max, l.residuo_y_rms, l.jacobiano_minimo, l.assimetria_maxima,
               l.nao_ortogonalidade_maxima, l.segundos);
}

}  // namespace

std::string texto_historico(const historico& h, const pedido_historico& p, int& status) {
    std::string s;
    acrescenta(s,
               "\nhistory of the smoothing, re-run from %s and %s (niter %d, niter_solver %d): %lld rows in "
               "%.3g s\n",
               p.entradas.c_str(), p.parametros.c_str(), h.par.niter, h.par.niter_solver,
               static_cast<long long>(h.linhas), h.segundos);
    if (h.linhas > 0) {
        acrescenta(s, "  %9s %10s %10s %21s %21s %15s %9s %17s %9s\n", "", "largest", "distance",
                   nome::residuo_x, nome::residuo_y, nome::jacobiano_escalado, nome::assimetria,
                   nome::nao_ortogonalidade, "");
        acrescenta(s, "  %9s %10s %10s %10s %10s %10s %10s %15s %9s %17s %9s\n", "k", "move/edge",
                   "from final", "max", "RMS", "max", "RMS", "min", "max", "max", "seconds");
        for (const linha_historico& l : h.curtas)
            linha_curta(s, l);
        acrescenta(s,
                   "  (rows 0, 1, every %lldth and the last; every row in the table of --historico FILE.csv; "
                   "distance from "
                   "final:\n  the largest distance of a vertex from the report file's, over its shortest "
                   "edge %.6g)\n",
                   static_cast<long long>(h.passo_curtas), h.aresta_final);
    }

    const std::string relatorio = p.relatorio;
    switch (h.falha.etapa) {
        case falha_reexecucao::onde::nenhuma:
            break;
        case falha_reexecucao::onde::malha_inicial:
            acrescenta(
                s,
                "  the program's own run of these case files ends while it builds the initial mesh, with "
                "%s, and writes no result file: %s does not come from it\n",
                relatorio_fp(h.falha.sinalizadas).c_str(), relatorio.c_str());
            status = std::max(status, status_nao_reproduz);
            return s;
        case falha_reexecucao::onde::coeficientes:
        case falha_reexecucao::onde::varreduras: {
            std::string onde;
            if (h.falha.etapa == falha_reexecucao::onde::coeficientes) {
                onde = "in the metric terms and coefficients";
                if (h.falha.vertice < 0) onde = "in the metric terms' factors 0.5/dksi and 0.5/deta";
                if (h.falha.vertice > 0) onde += " of " + posicao(h.falha.vertice, h.nvol_ksi + 1);
            } else {
                onde = "in the sweeps";
                if (h.falha.coordenada != 0)
                    onde += std::string(" (sweep ") + std::to_string(h.falha.varredura) + " of " +
                            h.falha.coordenada + ")";
            }
            acrescenta(
                s,
                "  the program's own run of these case files ends at outer iteration %lld, %s, with %s, and "
                "writes no result file: %s does not come from it; the history stops at iteration %lld\n",
                static_cast<long long>(h.falha.k), onde.c_str(), relatorio_fp(h.falha.sinalizadas).c_str(),
                relatorio.c_str(), static_cast<long long>(h.falha.k - 1));
            status = std::max(status, status_nao_reproduz);
            return s;
        }
    }

    if (h.ponto_fixo >= 0 && h.ponto_fixo < h.par.niter)
        acrescenta(
            s,
            "  iteration %lld left every coordinate exactly as it found it: every later one repeats it to "
            "the bit, so the re-run stops there (rows %lld to %d would all be row %lld)\n",
            static_cast<long long>(h.ponto_fixo), static_cast<long long>(h.ponto_fixo + 1), h.par.niter,
            static_cast<long long>(h.ponto_fixo));

    switch (h.resultado_prova) {
        case historico::prova::confere:
            acrescenta(
                s,
                "  proof: the re-run's final coordinates are %s's, all %lld vertices digit for digit: the "
                "result files come from this smoothing\n",
                relatorio.c_str(),
                static_cast<long long>(static_cast<std::int64_t>(h.nvol_ksi + 1) * (h.nvol_eta + 1)));
            break;
        case historico::prova::tamanhos:
            acrescenta(
                s,
                "  MISMATCH: the case files make a %d x %d mesh and %s holds %d x %d volumes: the result "
                "files do not come from these case files (another run, or the case file changed since); "
                "the history above is that of the case files as they stand\n",
                h.nvol_ksi, h.nvol_eta, relatorio.c_str(), p.nvol_ksi_relatorio, p.nvol_eta_relatorio);
            status = std::max(status, status_nao_reproduz);
            break;
        case historico::prova::vertice:
            acrescenta(
                s,
                "  MISMATCH: the re-run does not give %s: at %s the re-run's %c is %s where the file holds "
                "%s (a file from another run, edited, or parameters changed after the run); the history "
                "above is that of the case files as they stand\n",
                relatorio.c_str(), posicao(h.vertice_diferente, h.nvol_ksi + 1).c_str(),
                h.coordenada_diferente, h.texto_reexecucao.c_str(), citacao(h.texto_arquivo).c_str());
            status = std::max(status, status_nao_reproduz);
            break;
        case historico::prova::arquivo_curto:
            acrescenta(s, "  MISMATCH: %s ends before vertex %lld (did it change while it was read?)\n",
                       relatorio.c_str(), static_cast<long long>(h.vertice_diferente));
            status = std::max(status, status_nao_reproduz);
            break;
        case historico::prova::nao_feita:
            break;
    }

    const double t = p.tolerancia;
    const linha_historico& u = h.ultima;
    const estimativa_contracao& e = h.contracao;
    using caso = estimativa_contracao::caso;
    if (h.resultado_prova != historico::prova::confere) {
        s += "  recommendation: none; the report file's mesh is not this smoothing's final mesh\n";
        return s;
    }
    if (std::isnan(u.distancia_final)) {
        acrescenta(s, "  recommendation: none; the final mesh's shortest edge is %g\n", h.aresta_final);
        return s;
    }
    // The rate: "falls by a factor of r per outer iteration over iterations
    // a to b (r1 to r2)".
    std::string taxa;
    acrescenta(taxa,
               "the largest displacement of an outer iteration falls by a factor of %.3g per iteration over "
               "iterations %lld to %lld (%.3g to %.3g)",
               e.taxa, static_cast<long long>(e.de), static_cast<long long>(e.ate), e.taxa_min, e.taxa_max);
    if (e.c == caso::nao_contrai) {
        acrescenta(
            s,
            "  recommendation: none; %s: the iterations do not settle the mesh at this rate, so no count "
            "of them would do\n",
            taxa.c_str());
        return s;
    }
    if (e.c == caso::estimada && !(e.restante < t)) {
        const std::int64_t niter = std::max<std::int64_t>(h.par.niter, u.k);
        if (e.mais < 0)
            s += "  recommendation: more outer iterations are needed, too many to count";
        else
            acrescenta(s, "  recommendation: more outer iterations are needed, about %lld (niter = %lld)",
                       static_cast<long long>(e.mais), static_cast<long long>(niter + e.mais));
        acrescenta(
            s,
            ": %s, so at the largest of these factors the displacements still to come add up to about "
            "%.3g of the shortest edge, %.3g times the tolerance %g; the count brings that sum below a "
            "tenth of the tolerance%s\n",
            taxa.c_str(), e.restante, e.restante / t, t,
            e.subindo ? ", but the factor is still rising: the count may fall short, so run --historico "
                        "again with it"
            : e.cedo  ? ", but the iterations so far are fewer than a quarter of it: the count may fall "
                        "short, so run --historico again with it"
                      : "");
        return s;
    }

    const std::int64_t k = h.recomendado;
    acrescenta(
        s,
        "  recommendation (distance from the final mesh below %g of its shortest edge from then on): niter "
        "= %lld would do",
        t, static_cast<long long>(k));
    if (k > 0)
        acrescenta(s, " (%.3g at iteration %lld, %.3g at %lld)", h.linha_recomendada.distancia_final,
                   static_cast<long long>(k), h.linha_anterior.distancia_final,
                   static_cast<long long>(k - 1));
    s += k >= std::max<std::int64_t>(h.par.niter, u.k) ? "; it is the present count\n" : "\n";
    switch (e.c) {
        case caso::ponto_fixo:
            s += "  where the smoothing goes: the final mesh is there, an iteration having moved nothing\n";
            break;
        case caso::arredondamento:
            acrescenta(
                s,
                "  where the smoothing goes: the final mesh is there; the last iteration moved it by %.3g "
                "of the shortest edge, the rounding of its coordinates\n",
                e.restante);
            break;
        case caso::estimada:
            acrescenta(
                s,
                "  where the smoothing goes: %s, so at the largest of these factors the displacements still "
                "to come add up to about %.3g of the shortest edge, within the tolerance: more iterations "
                "would not move the mesh further than that\n",
                taxa.c_str(), e.restante);
            break;
        case caso::poucas:
            acrescenta(
                s,
                "  where the smoothing goes: not known; the rate at which the displacements fall wants at "
                "least 3 outer iterations (niter %d)\n",
                h.par.niter);
            break;
        case caso::nenhum:
        case caso::nao_contrai:
            break;
    }
    return s;
}

}  // namespace malhas_qualidade
