// Program entry: one start is one run. The command line is not read.
#include <new>

#include "malhas_segmentos/malhas_segmentos.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/relatorio_erro.hpp"
#include "tempo_execucao/sistema.hpp"

int main() {
    sistema::prepara_processo();
    tempo_execucao::ativa_armadilhas_fp();
    try {
        malhas_segmentos::executa_corrida();
    } catch (const tempo_execucao::erro_execucao& erro) {
        tempo_execucao::escreve_relatorio_erro(erro);
        return 1;
    } catch (const std::bad_alloc&) {
        tempo_execucao::escreve_relatorio_erro(
            tempo_execucao::erro_execucao("F" + std::to_string(tempo_execucao::codigo_memoria_insuficiente),
                                          "ALLOCATE", "insufficient memory"));
        return 1;
    }
    return 0;
}
