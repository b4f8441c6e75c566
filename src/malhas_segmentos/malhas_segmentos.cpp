#include "malhas_segmentos/malhas_segmentos.hpp"

#include "dados/dados.hpp"
#include "malhas_segmentos/estado_corrida.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "malhas_segmentos/suavizacao.hpp"
#include "processamento/processamento.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_segmentos {

using namespace variaveis;

void executa_corrida() {
    define_estado(dados::le_entradas());
    aloca_malha();

    gera_malha_inicial();

    if (tipo_malha == 2) {
        define_estado(dados::le_entrada_eq_elipticas());
        aloca_trabalho_eliptico();
        suaviza_malha();
    }

    processamento::escreve_resultados();
}

}  // namespace malhas_segmentos
