#include "dados/arquivo_entrada.hpp"

#include <cerrno>

#include "tempo_execucao/relatorio_erro.hpp"
#include "tempo_execucao/sistema.hpp"

namespace dados {

namespace {

// Makes at least n bytes available from posicao, unless the file ends first.
// Only the unconsumed tail is kept, so memory stays bounded by the block size
// however long a line is.
void garante(arquivo_entrada& arq, std::size_t n) {
    while (arq.buffer.size() - arq.posicao < n && !arq.esgotado) {
        if (arq.fd < 0) {
            arq.esgotado = true;
            break;
        }
        arq.buffer.erase(0, arq.posicao);
        arq.posicao = 0;
        const std::size_t antes = arq.buffer.size();
        arq.buffer.resize(antes + tamanho_bloco_entrada);
        const long long lidos = sistema::le(arq.fd, arq.buffer.data() + antes, tamanho_bloco_entrada);
        if (lidos < 0) {
            const int numero = errno;
            arq.buffer.resize(antes);
            falha_leitura(arq, tempo_execucao::codigo_erro_leitura,
                          "the system refused the read: " + sistema::descricao_erro(numero));
        }
        arq.buffer.resize(antes + static_cast<std::size_t>(lidos));
        if (lidos == 0) arq.esgotado = true;
    }
}

}  // namespace

void falha_leitura(const arquivo_entrada& arq, int codigo, const std::string& mensagem) {
    tempo_execucao::falha_es(codigo, "READ", arq.nome, mensagem);
}

caractere espia(arquivo_entrada& arq) {
    if (arq.no_inicio) {
        arq.no_inicio = false;
        garante(arq, 3);
        if (arq.buffer.compare(arq.posicao, 3, "\xEF\xBB\xBF") == 0) arq.posicao += 3;
    }
    garante(arq, 2);
    const std::size_t disponiveis = arq.buffer.size() - arq.posicao;
    if (disponiveis == 0) return {fim_de_arquivo, 0};
    const auto c = static_cast<unsigned char>(arq.buffer[arq.posicao]);
    if (c == '\n') return {fim_de_linha, 1};
    if (c == '\r') {
        // garante has brought the next byte unless the file ends here.
        if (disponiveis == 1) return {fim_de_linha, 1};
        if (arq.buffer[arq.posicao + 1] == '\n') return {fim_de_linha, 2};
    }
    return {c, 1};
}

arquivo_entrada::~arquivo_entrada() {
    if (fd >= 0) sistema::fecha(fd);
}

void abre_entrada(arquivo_entrada& arq, const std::string& nome) {
    if (arq.fd >= 0) fecha_entrada(arq);
    arq.nome = nome;
    arq.buffer.clear();
    arq.posicao = 0;
    arq.esgotado = false;
    arq.no_inicio = true;
    arq.fd = sistema::abre_leitura(nome.c_str());
    if (arq.fd < 0) {
        const int numero = errno;
        arq.esgotado = true;
        tempo_execucao::falha_es(tempo_execucao::codigo_abrir, "OPEN", nome,
                                 "cannot open the file: " + sistema::descricao_erro(numero));
    }
}

void abre_entrada_memoria(arquivo_entrada& arq, const std::string& nome, std::string bytes) {
    if (arq.fd >= 0) fecha_entrada(arq);
    arq.nome = nome;
    arq.buffer = std::move(bytes);
    arq.posicao = 0;
    arq.esgotado = true;
    arq.no_inicio = true;
}

void fecha_entrada(arquivo_entrada& arq) {
    arq.buffer.clear();
    arq.posicao = 0;
    arq.esgotado = true;
    if (arq.fd < 0) return;
    const int fd = arq.fd;
    arq.fd = -1;
    if (sistema::fecha(fd) != 0) {
        const int numero = errno;
        tempo_execucao::falha_es(tempo_execucao::codigo_fechar, "CLOSE", arq.nome,
                                 "cannot close the file: " + sistema::descricao_erro(numero));
    }
}

}  // namespace dados
