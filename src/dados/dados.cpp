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

entradas le_entradas() {
    mostra_no_editor("notepad entradas.txt");

    tempo_execucao::alocando nome("read buffer of entradas.txt");
    arquivo_entrada arq;
    abre_entrada(arq, "entradas.txt");
    entradas e = le_valores_entradas(arq);
    fecha_entrada(arq);
    return e;
}

entradas le_valores_entradas(arquivo_entrada& arq) {
    entradas e;
    arq.item = "the case name";
    // Without a name there is nothing to name the result files after.
    if (!le_texto(arq, e.nome_caso, variaveis::comprimento_nome_caso)) {
        tempo_execucao::falha_es(tempo_execucao::codigo_nome_nulo, "READ", arq.nome,
                                 "case name given as a null value");
    }
    arq.item = "nvol_ksi";
    le_inteiro(arq, e.nvol_ksi);
    arq.item = "nvol_eta";
    le_inteiro(arq, e.nvol_eta);
    arq.item = "tipo_malha";
    le_inteiro(arq, e.tipo_malha);
    arq.item = "";
    return e;
}

eq_elipticas le_entrada_eq_elipticas() {
    mostra_no_editor("notepad entrada_eq_elipticas.txt");

    tempo_execucao::alocando nome("read buffer of entrada_eq_elipticas.txt");
    arquivo_entrada arq;
    abre_entrada(arq, "entrada_eq_elipticas.txt");
    const eq_elipticas p = le_valores_eq_elipticas(arq);
    fecha_entrada(arq);
    return p;
}

eq_elipticas le_valores_eq_elipticas(arquivo_entrada& arq) {
    eq_elipticas p;
    arq.item = "niter_solver";
    le_inteiro(arq, p.niter_solver);
    arq.item = "niter";
    le_inteiro(arq, p.niter);
    arq.item = "the third value";
    le_real(arq, p.sem_uso);
    arq.item = "dksi";
    le_real(arq, p.dksi);
    arq.item = "deta";
    le_real(arq, p.deta);
    arq.item = "tipo_p";
    le_inteiro(arq, p.tipo_p);
    arq.item = "tipo_q";
    le_inteiro(arq, p.tipo_q);
    arq.item = "";
    return p;
}

}  // namespace dados
