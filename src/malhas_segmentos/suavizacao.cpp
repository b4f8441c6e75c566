#include "malhas_segmentos/suavizacao.hpp"

#include "coef/coef.hpp"
#include "metricas/metricas.hpp"
#include "solvers/varreduras_xy.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_segmentos {

using namespace variaveis;

namespace {

// Without an observer (null), nothing is done for one.
void suaviza(const observador_iteracao* observa) {
    const std::int32_t iteracoes = niter;
    const bool varreduras_vazias = niter_solver <= 0 || nvert_ksi < 3 || nvert_eta < 3;
    for (std::int32_t k = 1; k <= iteracoes; ++k) {
        metricas::calcula_metricas();
        coef::zera_fontes();
        coef::calcula_coef();
        if (observa != nullptr && (*observa)(k, etapa::coeficientes) == decisao::para) return;
        solvers::gauss_seidel_x_y(x, y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta,
                                  niter_solver);
        if (observa != nullptr && (*observa)(k, etapa::varreduras) == decisao::para) return;
        if (varreduras_vazias) break;
    }
}

}  // namespace

void suaviza_malha() {
    suaviza(nullptr);
}

void suaviza_malha(observador_iteracao observa) {
    suaviza(&observa);
}

}  // namespace malhas_segmentos
