#include "malhas_segmentos/estado_corrida.hpp"

#include <utility>

#include "variaveis/variaveis.hpp"

namespace malhas_segmentos {

void define_estado(dados::entradas caso) {
    variaveis::nome_caso = std::move(caso.nome_caso);
    variaveis::nvol_ksi = caso.nvol_ksi;
    variaveis::nvol_eta = caso.nvol_eta;
    variaveis::tipo_malha = caso.tipo_malha;
    variaveis::deriva_tamanhos();
}

void define_estado(const dados::eq_elipticas& parametros) {
    variaveis::niter_solver = parametros.niter_solver;
    variaveis::niter = parametros.niter;
    variaveis::dksi = parametros.dksi;
    variaveis::deta = parametros.deta;
    variaveis::tipo_p = parametros.tipo_p;
    variaveis::tipo_q = parametros.tipo_q;
}

}  // namespace malhas_segmentos
