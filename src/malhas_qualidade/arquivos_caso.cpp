// The only file of the program that sees the run-time error of the reading
// rule: it turns it into the program's own failure, with the line added.
#include "malhas_qualidade/arquivos_caso.hpp"

#include <algorithm>

#include "dados/leitura.hpp"
#include "malhas_qualidade/arquivo_lido.hpp"
#include "malhas_qualidade/erros.hpp"
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

template <class F>
void le_protegido(dados::arquivo_entrada& arq, const char* item, F&& leitura) {
    try {
        leitura();
    } catch (const tempo_execucao::erro_execucao& erro) {
        falha(arq.nome, linha_de(arq), std::string("reading ") + item + ": " + erro.mensagem());
    }
}

}  // namespace

caso le_caso_memoria(const std::string& nome, std::string bytes) {
    dados::arquivo_entrada arq;
    dados::abre_entrada_memoria(arq, nome, std::move(bytes));
    caso c;
    c.nome_caso.assign(100, ' ');
    bool nome_lido = true;
    le_protegido(arq, "the case name", [&] { nome_lido = dados::le_texto(arq, c.nome_caso, 100); });
    // A null name names no result file at all.
    if (!nome_lido) falha(arq.nome, linha_de(arq) - 1, "the case name is a null value");
    le_protegido(arq, "nvol_ksi", [&] { dados::le_inteiro(arq, c.nvol_ksi); });
    le_protegido(arq, "nvol_eta", [&] { dados::le_inteiro(arq, c.nvol_eta); });
    le_protegido(arq, "tipo_malha", [&] { dados::le_inteiro(arq, c.tipo_malha); });
    dados::fecha_entrada(arq);
    return c;
}

parametros le_parametros_memoria(const std::string& nome, std::string bytes) {
    dados::arquivo_entrada arq;
    dados::abre_entrada_memoria(arq, nome, std::move(bytes));
    parametros p;
    double nao_usado = 0.0;
    le_protegido(arq, "niter_solver", [&] { dados::le_inteiro(arq, p.niter_solver); });
    le_protegido(arq, "niter", [&] { dados::le_inteiro(arq, p.niter); });
    le_protegido(arq, "the third value", [&] { dados::le_real(arq, nao_usado); });
    le_protegido(arq, "dksi", [&] { dados::le_real(arq, p.dksi); });
    le_protegido(arq, "deta", [&] { dados::le_real(arq, p.deta); });
    le_protegido(arq, "tipo_p", [&] { dados::le_inteiro(arq, p.tipo_p); });
    le_protegido(arq, "tipo_q", [&] { dados::le_inteiro(arq, p.tipo_q); });
    dados::fecha_entrada(arq);
    return p;
}

caso le_caso(const std::string& caminho) {
    return le_caso_memoria(caminho, le_arquivo(caminho));
}

parametros le_parametros(const std::string& caminho) {
    return le_parametros_memoria(caminho, le_arquivo(caminho));
}

}  // namespace malhas_qualidade
