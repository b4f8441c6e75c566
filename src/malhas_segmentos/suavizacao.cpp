#include "malhas_segmentos/suavizacao.hpp"

#include "coef/coef.hpp"
#include "metricas/metricas.hpp"
#include "solvers/varreduras_xy.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_segmentos {

using namespace variaveis;

void suaviza_malha(observador_iteracao observa, void* contexto) {
    const std::int32_t iteracoes = niter;
    const bool varreduras_vazias = niter_solver <= 0 || nvert_ksi < 3 || nvert_eta < 3;
    for (std::int32_t k = 1; k <= iteracoes; ++k) {
        metricas::calcula_metricas();
        coef::zera_fontes();
        coef::calcula_coef();
        if (observa != nullptr) observa(contexto, k, etapa::coeficientes);
        solvers::gauss_seidel_x_y(x, y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta,
                                  niter_solver);
        if (observa != nullptr) observa(contexto, k, etapa::varreduras);
        if (varreduras_vazias) break;
    }
}

}  // namespace malhas_segmentos
