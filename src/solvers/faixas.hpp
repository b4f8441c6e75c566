// The sweep on the processor's vector lanes: the layout it works on, and what
// each kernel (tempo_execucao/nucleos.hpp) provides.
//
// The plain loop updates one vertex after another, each waiting for its west
// neighbour. Vertex (i, j) needs the new values of (i - 1, j), (i - 1, j - 1),
// (i, j - 1) and (i + 1, j - 1) and the old values of its other four
// neighbours, so row j can run two columns behind row j - 1 and still see
// exactly what the plain loop shows it. A band of L consecutive interior rows
// (L the lanes of a vector) therefore goes through the sweep as one vector per
// step: at step t, lane r updates the vertex of row jb + r at column t - 2r.
// Every lane is the plain loop's operation on the plain loop's operands, so
// the results are the same to the bit.
//
// To make each operand of a step one vector, the arrays are copied into a
// banded layout in which step t of a band holds, in lane r, that very vertex
// (for each coordinate swept, one vector after another). Then:
//   - the east neighbours of step t are the band's step t + 1, as it was;
//   - the north, north-west and north-east neighbours are the band's steps
//     t + 2, t + 1 and t + 3 as they were, moved down one lane, the top lane
//     taken from the band above;
//   - the south, south-west and south-east neighbours are the results of steps
//     t - 2, t - 3 and t - 1, moved up one lane, the bottom lane taken from
//     the band below (whose sweep is ahead);
//   - the west neighbours are the result of step t - 1.
// The results stay in registers from step to step: nothing is read back that
// was just written. The nine coefficients of a step are packed the same way,
// one vector each, in the order the sum takes them.
//
// Lanes that hold no vertex to update at a step (a column outside the
// interior, at the two ends of a band, or a row beyond the last interior row
// in the top band) compute with packed coefficients that give a divisor of 1
// and at most their own west value as the sum, which raise no fault on finite
// values, and keep the value they had.
//
// The coefficients the program computes have a shape that halves what the
// sweeps read: ane and asw are the same number (-0.5 beta), anw and ase its
// negation, and ap the sum ((aw + an) + ae) + as of the four others. When
// every interior vertex has that shape, to the bit, only asw, as, an, aw and
// ae are packed, and the kernel makes the other four from them by the very
// operations that made them: the same bits.
//
// Successive sweeps advance together through the mesh in groups: band b of
// sweep s is taken in the order of b + s (sweep s + 1 runs a band behind
// sweep s), so that the bands a group works on are still in the cache when the
// next sweep comes to them. Several bands of that order go through the steps
// together, each 2L steps behind the one before it; every band then sees its
// neighbours in the state the plain loop gives them.
#pragma once

#include <cstdint>

#include "solvers/equacao_ponto.hpp"
#include "tempo_execucao/nucleos.hpp"
#include "tempo_execucao/referencia_funcao.hpp"

namespace solvers::faixas {

inline constexpr int coeficientes_por_vertice = 9;
inline constexpr int coeficientes_compactos = 5;  // asw, as, an, aw, ae

// The banded copy of a mesh of n_ksi x n_eta vertices. Bands are numbered
// from -1 (whose top lane is row 1, the bottom boundary) to faixas (above
// the last band of interior rows): band b holds rows 2 + bL to 2 + bL + L - 1,
// those that exist. Steps are stored from -2L to n_ksi + 4L - 1, which is
// every step a sweep reads, so nothing is read outside the copy.
struct geometria {
    std::int64_t n_ksi = 0;
    std::int64_t n_eta = 0;
    std::int64_t largura = 0;       // L: rows per band, the lanes of the kernel
    std::int64_t coordenadas = 0;   // arrays swept together (x and y: 2)
    std::int64_t faixas = 0;        // bands holding interior rows
    std::int64_t passos = 0;        // steps stored per band
    std::int64_t ultimo_passo = 0;  // the last step that updates a vertex (steps run from 2)
    std::int64_t no_pacote = coeficientes_por_vertice;  // coefficients packed per vertex (or the compact 5)

    std::int64_t por_passo() const { return coordenadas * largura; }
    std::int64_t por_faixa() const { return passos * por_passo(); }
    std::int64_t total() const { return (faixas + 2) * por_faixa(); }
    // Where step t of band b begins.
    std::int64_t posicao(std::int64_t b, std::int64_t t) const {
        return (b + 1) * por_faixa() + (t + 2 * largura) * por_passo();
    }
    // The packed coefficients of a band: steps 2 to ultimo_passo, no_pacote vectors each.
    std::int64_t por_pacote() const { return (ultimo_passo - 1) * no_pacote * largura; }
};

// Needs at least one interior row and column.
geometria geometria_de(std::int64_t n_ksi, std::int64_t n_eta, int largura, int coordenadas);

// The lanes of each kernel.
int largura_de(tempo_execucao::nucleo n);

// What the sweeps of one call work on.
struct varredura {
    geometria g;
    double* malha = nullptr;  // the banded copy, g.total() doubles, aligned to a vector
    coeficientes c{};         // the nine arrays, indexed by vertex number
    // The packed coefficients of every band, one after another, or null: then
    // each group of sweeps packs each band into a ring of its own as its first
    // sweep reaches it.
    const double* pacotes = nullptr;
};

// The most bands a kernel takes through the steps at once.
inline constexpr int maximo_em_voo = 2;

// The bands a group of g sweeps keeps packed at once, in its ring: those of
// its g sweeps and those in flight.
inline std::int64_t faixas_no_anel(std::int64_t g) {
    return g + maximo_em_voo;
}

// What each kernel provides:
//
// varre_grupo: g successive sweeps of the copy. anel is the group's ring
// (faixas_no_anel(g) * g.por_pacote() doubles) when the bands are not packed
// beforehand. Before a run of bands that holds bands of the group's first
// sweep, espera(b) is called with the highest of them: the sweep before the
// group must have passed band b + 1 by then. After a run of bands that holds
// bands of the group's last sweep, avancou(b) is called with the highest of
// them.
//
// compactaveis: whether every interior vertex of band b has the compact shape.
// Its sums may raise fault flags: it runs with the traps masked, its flags
// discarded.
//
// empacota: the coefficients of band b packed at destino (g.por_pacote()
// doubles, aligned to a vector), compact when g.no_pacote says so.
//
// copia_para_faixas: bands de to ate (from -1 to g.faixas) of the copy from
// the arrays phi[0 .. g.coordenadas - 1]. Positions that hold no vertex are
// left alone: they are cleared once, when the copy is made, and no sweep
// writes them. copia_das_faixas: the interior vertices of bands de to ate
// (from 0 to g.faixas - 1) back into the arrays.
using espera_faixa = tempo_execucao::referencia_funcao<void(std::int64_t)>;
#define MALHAS_NUCLEO_DA_VARREDURA(nome)                                                                \
    namespace nome {                                                                                    \
    void varre_grupo(const varredura& v, double* anel, std::int64_t g, espera_faixa espera,             \
                     espera_faixa avancou);                                                             \
    bool compactaveis(const varredura& v, std::int64_t b);                                              \
    void empacota(const varredura& v, std::int64_t b, double* destino);                                 \
    void copia_para_faixas(const geometria& g, double* malha, double* const* phi, std::int64_t de,      \
                           std::int64_t ate);                                                           \
    void copia_das_faixas(const geometria& g, const double* malha, double* const* phi, std::int64_t de, \
                          std::int64_t ate);                                                            \
    }
MALHAS_NUCLEO_DA_VARREDURA(generico)
MALHAS_NUCLEO_DA_VARREDURA(sse2)
MALHAS_NUCLEO_DA_VARREDURA(avx2)
MALHAS_NUCLEO_DA_VARREDURA(avx512)
#undef MALHAS_NUCLEO_DA_VARREDURA

}  // namespace solvers::faixas
