// The history of the smoothing: malhas_segmentos's own outer iterations run
// again from the case files, with what the summary would say of the mesh
// after every one of them.
//
// Row k is the summary's residual and quality extremes of the mesh after k
// outer iterations as its report file would hold it, every coordinate taken
// through its E25.15 text and read back: what the summary of a run with
// niter = k finds. The re-run is the program's smoothing itself (the shared
// state set through the driver's own door, its outer iteration, told by its
// observer, its threads),
// so its final coordinates are those of the program's run to the bit, and
// the report file is compared with them field by field.
//
// The report file's mesh, the final one, is known from the start: row k
// also holds how far the mesh after k iterations, as its report file would
// hold it, lies from it, which is what a run with niter = k would change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "variaveis/numeracao.hpp"

namespace malhas_qualidade {

struct registro_historico {
    std::int64_t k = 0;  // outer iterations done; 0 is the algebraic mesh
    // The summary's residual: largest and RMS move of x and of y over the
    // interior vertices, not a number where it is undefined somewhere.
    double residuo_x_max = 0.0, residuo_x_rms = 0.0, residuo_y_max = 0.0, residuo_y_rms = 0.0;
    double movimento = 0.0;           // the larger of the two largest moves
    double movimento_relativo = 0.0;  // over the shortest edge; not a number: no verdict
    double deslocamento = 0.0;        // the largest vertex displacement of iteration k
    // The largest distance of a vertex from where the report file has it,
    // over the final mesh's shortest edge; not a number when the report
    // file holds no mesh of these sizes to measure from.
    double distancia_final = 0.0;
    double menor_aresta = 0.0;
    double jacobiano_minimo = 0.0, assimetria_maxima = 0.0, nao_ortogonalidade_maxima = 0.0;
    double segundos = 0.0;  // since the re-run started
};

// The CSV columns, in order.
std::string cabecalho_csv_historico();

struct pedido_historico {
    std::string entradas, parametros;  // the case files
    std::string relatorio;             // the report file, compared at the end
    // The report file's coordinates (vertex v at [v]), as read for the
    // summary; empty: read from relatorio when its sizes are the case's.
    std::vector<double> final_x, final_y;
    std::int32_t nvol_ksi_relatorio = 0, nvol_eta_relatorio = 0;
    std::string nome_caso;            // trimmed, for the plot's title
    std::vector<std::string> saidas;  // each ending in .csv or .svg
    double tolerancia = 0.0;          // of the shortest edge
    // Progress on the standard error stream: a redrawn line when it is a
    // terminal, else a note when the re-run is to take long; none when the
    // caller's error stream is not the standard one.
    bool progresso = false;
    bool terminal = false;
};

// The value that the report file's field of x reads back as: x through its
// E25.15 text and the report's reader, to the bit, without the text.
double valor_gravado(double x);

// How the program's own run would have ended at a floating-point fault.
struct falha_reexecucao {
    enum class onde { nenhuma, malha_inicial, coeficientes, varreduras };
    onde etapa = onde::nenhuma;
    std::int64_t k = 0;        // the outer iteration
    int sinalizadas = 0;       // the fault flags (FE_INVALID, FE_DIVBYZERO, FE_OVERFLOW)
    std::int64_t vertice = 0;  // the first vertex that faults, when known
    char coordenada = 0;       // the sweep's coordinate ('x', 'y'), when known
    std::int32_t varredura = 0;
};

// Where the smoothing goes: from the rate at which the largest
// displacement of an iteration falls over the last iterations, how far the
// final mesh is from where the iterations lead, and how many more would
// bring it within the tolerance.
struct estimativa_contracao {
    enum class caso {
        nenhum,          // no estimate: a fault, or no final mesh
        ponto_fixo,      // an iteration moved nothing: the mesh is where they lead
        arredondamento,  // the last displacement is at the rounding of the coordinates
        poucas,          // too few iterations to see a rate
        nao_contrai,     // the displacements do not fall
        estimada
    };
    caso c = caso::nenhum;
    std::int64_t de = 0, ate = 0;                       // the iterations whose ratios were taken
    double taxa = 0.0, taxa_min = 0.0, taxa_max = 0.0;  // their geometric mean and extremes
    // The sum of the displacements still to come at the largest of the
    // ratios (a bound on the final mesh's distance from where they lead,
    // while the ratio holds), over the shortest edge.
    double restante = 0.0;
    // The further iterations that bring that sum below a tenth of the
    // tolerance (0: none; -1: too many to count). The count may fall short
    // while the ratio still rises over the iterations taken (subindo), or
    // when the iterations so far are fewer than a quarter of it (cedo).
    std::int64_t mais = 0;
    bool subindo = false, cedo = false;
};

struct historico {
    caso c;
    parametros par;
    std::vector<registro_historico> curtas;  // the summary's rows: 0, 1, every passo_curtas-th, the last
    std::int64_t passo_curtas = 10;
    std::vector<registro_historico> grafico;  // every row, or the extremes of each step of passo_grafico
    std::int64_t passo_grafico = 1;
    registro_historico ultima;
    std::int64_t registros = 0;    // records made
    std::int64_t ponto_fixo = -1;  // the iteration that moved nothing, the re-run stopping there
    falha_reexecucao falha;

    // The recommendation: the least k from which every row's distance from
    // the final mesh is below the tolerance (-1: none), and the row before.
    std::int64_t recomendado = -1;
    registro_historico registro_recomendado, registro_anterior;
    double aresta_final = 0.0;  // the final mesh's shortest edge
    estimativa_contracao contracao;

    // The proof: the final coordinates against the report file.
    enum class prova { confere, tamanhos, vertice, arquivo_curto, nao_feita };
    prova resultado_prova = prova::nao_feita;
    variaveis::tamanhos tamanhos;  // of the re-run
    std::int64_t vertice_diferente = 0;
    char coordenada_diferente = 0;
    std::string texto_reexecucao, texto_arquivo;

    double segundos = 0.0;

    // The summary's part, made before any output is put in place, so that a
    // failure to make it leaves every older export as it was.
    std::string texto;
    int status = 0;
};

// Runs the history, makes its part of the summary (texto, status) and
// writes its outputs (a .csv one row by row as the re-run goes, a .svg at
// the end). Fails with falha_qualidade for a case
// that is not of mesh kind 2 and for any input or output failure.
historico executa_historico(const pedido_historico& p);

// The summary's part: the short form of the rows, the proof and the
// recommendation. status is raised to status_nao_reproduz when the re-run
// does not give the result files.
std::string texto_historico(const historico& h, const pedido_historico& p, int& status);

}  // namespace malhas_qualidade
