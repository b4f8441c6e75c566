// Program entry: one start is one run. The command line is not read.
#include <new>

#include "malhas_segmentos/malhas_segmentos.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/relatorio_erro.hpp"
#include "tempo_execucao/sistema.hpp"

int main() {
    tempo_execucao::nomeia_falhas_de_alocacao();
    sistema::prepara_processo();
    try {
        tempo_execucao::ativa_armadilhas_fp();
        malhas_segmentos::executa_corrida();
    } catch (const tempo_execucao::erro_execucao& erro) {
        tempo_execucao::escreve_relatorio_erro(erro);
        return 1;
    } catch (const std::bad_alloc& falha) {
        tempo_execucao::escreve_relatorio_memoria(tempo_execucao::o_que_faltou(falha));
        return 1;
    }
    return 0;
}
