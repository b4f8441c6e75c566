// Program entry: one start is one run. The command line is not read.
#include <new>

#include "malhas_segmentos/execucao.hpp"
#include "malhas_segmentos/malhas_segmentos.hpp"

int main() {
    execucao::ativa_armadilhas_fp();
    try {
        malhas_segmentos::executa_corrida();
    } catch (const execucao::erro_execucao& erro) {
        execucao::escreve_relatorio(erro);
        return 1;
    } catch (const std::bad_alloc&) {
        execucao::escreve_relatorio(execucao::erro_execucao(
            "F" + std::to_string(execucao::codigo_memoria_insuficiente), "ALLOCATE", "insufficient memory"));
        return 1;
    }
    return 0;
}
