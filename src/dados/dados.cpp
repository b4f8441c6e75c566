// The two input readers. Each shows its file in the editor first and opens
// it only once the editor has been closed, so the values read are those the
// user left in it. Whether the editor could be started at all does not
// matter: the file is read as it stands.
#include "dados/dados.hpp"

#include <cstddef>
#include <cstdint>

#include "dados/executa_comando.hpp"
#include "dados/leitura.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/relatorio_erro.hpp"
#include "variaveis/variaveis.hpp"

namespace dados {

namespace {

template <std::size_t n>
void mostra_no_editor(const char (&comando)[n]) {
    static_cast<void>(executa_comando(comando, static_cast<std::int32_t>(n - 1)));
}

}  // namespace

void le_entradas() {
    using namespace variaveis;
    mostra_no_editor("notepad entradas.txt");

    tempo_execucao::alocando nome("read buffer of entradas.txt");
    arquivo_entrada arq;
    abre_entrada(arq, "entradas.txt");
    le_valores_entradas(arq);
    fecha_entrada(arq);
}

void le_valores_entradas(arquivo_entrada& arq) {
    using namespace variaveis;
    // Without a name there is nothing to name the result files after.
    if (!le_texto(arq, nome_caso, comprimento_nome_caso)) {
        tempo_execucao::falha_es(tempo_execucao::codigo_nome_nulo, "READ", arq.nome,
                                 "case name given as a null value");
    }
    le_inteiro(arq, nvol_ksi);
    le_inteiro(arq, nvol_eta);
    le_inteiro(arq, tipo_malha);
}

void le_entrada_eq_elipticas() {
    using namespace variaveis;
    mostra_no_editor("notepad entrada_eq_elipticas.txt");

    tempo_execucao::alocando nome("read buffer of entrada_eq_elipticas.txt");
    arquivo_entrada arq;
    abre_entrada(arq, "entrada_eq_elipticas.txt");
    le_valores_eq_elipticas(arq);
    fecha_entrada(arq);
}

void le_valores_eq_elipticas(arquivo_entrada& arq) {
    using namespace variaveis;
    le_inteiro(arq, niter_solver);
    le_inteiro(arq, niter);
    double sem_uso = 0.0;  // the file keeps a line for it; it must still be a real
    le_real(arq, sem_uso);
    le_real(arq, dksi);
    le_real(arq, deta);
    le_inteiro(arq, tipo_p);
    le_inteiro(arq, tipo_q);
}

}  // namespace dados
