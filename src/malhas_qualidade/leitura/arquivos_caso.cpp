// The only file of the program that sees the run-time error of the reading
// rule: it turns it into the program's own failure, with the line added.
#include "malhas_qualidade/leitura/arquivos_caso.hpp"

#include <algorithm>

#include "dados/leitura.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/leitura/arquivo_lido.hpp"
#include "tempo_execucao/relatorio_erro.hpp"

namespace malhas_qualidade {

namespace {

// Case files are a few lines; anything this big is not one, and reading it
// whole would only waste memory.
constexpr std::size_t tamanho_maximo = std::size_t{1} << 20;

std::string le_arquivo(const std::string& caminho) {
    // The reading rule's own open would create a missing file, and would
    // wait for the writer of a FIFO: a checker must leave the folder as it
    // found it and never hang.
    arquivo_lido a;
    abre_lido(a, caminho, false);
    std::string bytes;
    char bloco[8192];
    for (;;) {
        const std::size_t n = le_bytes(a, bloco, sizeof bloco);
        if (n == 0) break;
        bytes.append(bloco, n);
        if (bytes.size() > tamanho_maximo) falha(caminho, 0, "more than 1 MiB: not a case file");
    }
    return bytes;
}

// The line of the read position: in memory the reader keeps every byte, so
// the position counts from the start of the file.
std::int64_t linha_de(const dados::arquivo_entrada& arq) {
    const std::size_t fim = std::min(arq.posicao, arq.buffer.size());
    return 1 + std::count(arq.buffer.begin(), arq.buffer.begin() + static_cast<std::ptrdiff_t>(fim), '\n');
}

// The reads of malhas_segmentos, their run-time error turned into this
// program's failure, with the line and the item added.
template <class F>
auto le_protegido(const std::string& nome, std::string bytes, F&& leitura) {
    dados::arquivo_entrada arq;
    dados::abre_entrada_memoria(arq, nome, std::move(bytes));
    try {
        return leitura(arq);
    } catch (const tempo_execucao::erro_execucao& erro) {
        falha(arq.nome, linha_de(arq), std::string("reading ") + arq.item + ": " + erro.mensagem());
    }
}

}  // namespace

caso le_caso_memoria(const std::string& nome, std::string bytes) {
    return le_protegido(nome, std::move(bytes), dados::le_valores_entradas);
}

parametros le_parametros_memoria(const std::string& nome, std::string bytes) {
    return le_protegido(nome, std::move(bytes), dados::le_valores_eq_elipticas);
}

caso le_caso(const std::string& caminho) {
    return le_caso_memoria(caminho, le_arquivo(caminho));
}

parametros le_parametros(const std::string& caminho) {
    return le_parametros_memoria(caminho, le_arquivo(caminho));
}

}  // namespace malhas_qualidade
