// What the files of the history share: the re-run's state, and the steps
// each file takes of it.
#pragma once

#include <cfenv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "malhas_qualidade/comum/progresso.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/historico/historico.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"

namespace malhas_qualidade::historico_interno {

using relogio = std::chrono::steady_clock;

inline constexpr double nao_numero = std::numeric_limits<double>::quiet_NaN();
inline constexpr double infinito = std::numeric_limits<double>::infinity();
inline constexpr int falhas_fp = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// The summary shows row 0, row 1, every tenth and the last; with more rows
// than this between them, every hundredth (thousandth, ...) instead.
inline constexpr std::int64_t maximo_registros_curtos = 20;
// The plot holds every row up to this many, else the extremes of each step.
inline constexpr std::int64_t maximo_pontos_grafico = 2000;
// The rate at which the displacements fall is taken over at most this many
// of the last iterations, and over no more than the later half of them: the
// first iterations still undo the algebraic mesh.
inline constexpr std::size_t maximo_razoes = 10;
inline constexpr std::size_t maximo_ultimos = maximo_razoes + 1;
// A displacement within this many units of the last place of the largest
// coordinate is the rounding of the sweeps, not a move.
inline constexpr double ulps_arredondamento = 1024.0;
// The count of further iterations aims at the tolerance over this, and the
// ratio of the displacements counts as still rising when it grew by more
// than this share of its distance from 1 over the iterations taken.
inline constexpr double margem_estimativa = 10.0;
inline constexpr double fracao_subida = 0.02;
// A table row takes about this many bytes; a table above the second figure
// is announced before the re-run starts.
inline constexpr double bytes_por_registro_csv = 230;
inline constexpr double tabela_grande = 1e9;

// The powers of ten that doubles hold exactly.
inline constexpr double potencias_exatas[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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
    // The largest |dot| / |cross| of the row's interior vertices (below 0
    // when none has a non-orthogonality): the angle grows with it.
    double razao_nao_ortogonalidade = -1.0;
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
    indicador_progresso progresso;
    relogio::time_point inicio;
    std::int64_t niter = 0;
    std::int64_t passo_curtas = 10;
    std::int64_t balde = -1;  // the plot's current step

    reexecucao(const pedido_historico& pedido, historico& historia)
        : p(pedido), h(historia), progresso("re-running the smoothing", pedido.progresso, pedido.terminal) {}
};

// The rows of vertices de .. ate: the written mesh, and the measures
// (reexecucao.cpp).
void arredonda_linhas(reexecucao& c, bool compara, std::int64_t de, std::int64_t ate);
void mede_linhas(reexecucao& c, std::int64_t de, std::int64_t ate);
// The largest non-orthogonality of the rows, from the ratios mede_linhas
// left (reexecucao.cpp).
void mede_nao_ortogonalidade(reexecucao& c);

// valor_gravado of x[0 .. n - 1] into r (prova.cpp); where anterior, the
// values r was written from, is given, those x that are still what they were
// keep what r holds.
void valores_gravados(const double* x, const double* anterior, double* r, std::size_t n);

// A record kept: in the tables, the summary's rows, the plot, the
// recommendation (registros.cpp).
void guarda_registro(reexecucao& c, const registro_historico& l);

// The faults the program's own run would have ended with (falhas.cpp).
bool coeficientes_falharam();
void falha_nos_coeficientes(reexecucao& c, std::int64_t k);
void falha_nas_varreduras(reexecucao& c, std::int64_t k);

// The final mesh and where the smoothing goes (estimativa.cpp).
void prepara_final(reexecucao& c, double& escala);
void estima_contracao(reexecucao& c, double escala);

// The proof: the final coordinates against the report file (prova.cpp).
void compara_relatorio(const pedido_historico& p, historico& h);

}  // namespace malhas_qualidade::historico_interno
