#include "malhas_segmentos/malhas_segmentos.hpp"

#include <cstdint>

#include "coef/coef.hpp"
#include "dados/dados.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "metricas/metricas.hpp"
#include "processamento/processamento.hpp"
#include "solvers/varreduras_xy.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_segmentos {

using namespace variaveis;

void executa_corrida() {
    dados::le_entradas();

    deriva_tamanhos();
    aloca_malha();

    gera_malha_inicial();

    if (tipo_malha == 2) {
        dados::le_entrada_eq_elipticas();
        aloca_trabalho_eliptico();
        const std::int32_t iteracoes = niter;  // the count is taken once, when the loop starts
        // Sweeps that can move no vertex (none is interior, or no sweep is
        // asked for) leave x and y as they were: every later iteration would
        // compute the same terms from the same mesh, and meet only the faults
        // the first one met. One iteration leaves the arrays as all of them.
        const bool varreduras_vazias = niter_solver <= 0 || nvert_ksi < 3 || nvert_eta < 3;
        for (std::int32_t k = 1; k <= iteracoes; ++k) {
            metricas::calcula_metricas();
            coef::zera_fontes();
            coef::calcula_coef();
            solvers::gauss_seidel_x_y(x, y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta,
                                      niter_solver);
            if (varreduras_vazias) break;
        }
    }

    processamento::escreve_resultados();
}

}  // namespace malhas_segmentos
