#include "dados/leitura.hpp"

#include "dados/conversoes.hpp"
#include "dados/lexico.hpp"
#include "tempo_execucao/relatorio_erro.hpp"

namespace dados {

namespace {

using tempo_execucao::citacao;

// One read of a number: the value found, converted, stored; the rest of its
// line skipped.
template <class T, class Converte>
bool le_numero(arquivo_entrada& arq, T& item, tipo_valor tipo, Converte converte, const char* nome_tipo,
               int codigo_forma, int codigo_fora) {
    std::string valor;
    const bool atribuido = le_valor(arq, tipo, valor, 0);
    if (atribuido) {
        T v{};
        switch (converte(valor, v)) {
            case conversao::forma_errada:
                falha_leitura(arq, codigo_forma,
                              std::string(nome_tipo) + " value of the wrong form: " + citacao(valor));
            case conversao::fora_do_intervalo:
                falha_leitura(arq, codigo_fora,
                              std::string(nome_tipo) + " value out of range: " + citacao(valor));
            case conversao::certa:
                break;
        }
        item = v;
    }
    pula_resto_da_linha(arq);
    return atribuido;
}

}  // namespace

bool le_inteiro(arquivo_entrada& arq, std::int32_t& item) {
    return le_numero(arq, item, tipo_valor::inteiro, converte_inteiro, "integer",
                     tempo_execucao::codigo_inteiro_invalido, tempo_execucao::codigo_inteiro_fora);
}

bool le_real(arquivo_entrada& arq, double& item) {
    return le_numero(arq, item, tipo_valor::real, converte_real, "real", tempo_execucao::codigo_real_invalido,
                     tempo_execucao::codigo_real_fora);
}

bool le_texto(arquivo_entrada& arq, std::string& item, std::size_t comprimento) {
    std::string valor;
    const bool atribuido = le_valor(arq, tipo_valor::texto, valor, comprimento);
    if (atribuido) {
        valor.resize(comprimento, ' ');
        item = std::move(valor);
    }
    pula_resto_da_linha(arq);
    return atribuido;
}

}  // namespace dados
