#include "processamento/arquivo_saida.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tempo_execucao/relatorio_erro.hpp"

namespace processamento {

namespace {

void escreve_tudo(arquivo_saida& arq, const char* p, std::size_t resta) {
    while (resta > 0) {
        const long long n = sistema::escreve(arq.fd, p, resta);
        if (n <= 0) {
            const int erro = n < 0 ? errno : ENOSPC;
            tempo_execucao::falha_es(tempo_execucao::codigo_escrever, "WRITE", arq.nome,
                                     "cannot write the line: " + sistema::descricao_erro(erro));
        }
        p += n;
        resta -= static_cast<std::size_t>(n);
    }
}

void descarrega(arquivo_saida& arq) {
    escreve_tudo(arq, arq.buffer.get(), arq.usados);
    arq.usados = 0;
}

void corta_se_preciso(arquivo_saida& arq) {
    if (arq.cortado) return;
    // A file that is empty already (above all a new one) is left alone: on
    // ext4, cutting a file to nothing marks it as being replaced, and closing
    // it then waits while the system starts writing all of it to the disk.
    if (!sistema::vazio(arq.fd) && sistema::corta(arq.fd) != 0) {
        tempo_execucao::falha_es(tempo_execucao::codigo_escrever, "WRITE", arq.nome,
                                 "cannot write the line: " + sistema::descricao_erro(errno));
    }
    arq.cortado = true;
}

}  // namespace

arquivo_saida::~arquivo_saida() {
    if (fd >= 0) sistema::fecha(fd);
}

void prepara_saida(arquivo_saida& arq, const std::string& nome) {
    arq.nome = nome;
    arq.buffer = std::make_unique<char[]>(tamanho_buffer_saida);
    arq.cortado = false;
    arq.usados = 0;
}

void abre_saida(arquivo_saida& arq) {
    const std::string& nome = arq.nome;
    auto recusa = [&](const std::string& razao) {
        tempo_execucao::falha_es(tempo_execucao::codigo_abrir, "OPEN", nome,
                                 "cannot open the file: " + razao);
    };
    if (nome.find('\0') != std::string::npos) recusa("invalid file name");
    bool ocupado = false;
    const int fd = sistema::abre_escrita(nome.c_str(), ocupado);
    if (fd < 0) recusa(ocupado ? "another run is writing it" : sistema::descricao_erro(errno));
    arq.fd = fd;
    // A FIFO, socket or device put there since the names were checked: no
    // line goes to it.
    if (!sistema::arquivo_regular(fd)) recusa("not a regular file");
}

void abre_saida(arquivo_saida& arq, const std::string& nome) {
    prepara_saida(arq, nome);
    abre_saida(arq);
}

void escreve_bytes(arquivo_saida& arq, const char* dados, std::size_t n) {
    corta_se_preciso(arq);
    while (n > 0) {
        if (arq.usados == tamanho_buffer_saida) descarrega(arq);
        const std::size_t parte = std::min(n, tamanho_buffer_saida - arq.usados);
        std::memcpy(arq.buffer.get() + arq.usados, dados, parte);
        arq.usados += parte;
        dados += parte;
        n -= parte;
    }
}

void escreve_direto(arquivo_saida& arq, const char* dados, std::size_t n) {
    if (n == 0) return;
    corta_se_preciso(arq);
    descarrega(arq);
    escreve_tudo(arq, dados, n);
}

void descarrega_saida(arquivo_saida& arq) {
    if (arq.fd >= 0) descarrega(arq);
}

void fecha_saida(arquivo_saida& arq) {
    if (arq.fd < 0) return;
    descarrega(arq);
    const int fd = arq.fd;
    arq.fd = -1;
    if (sistema::fecha(fd) != 0) {
        tempo_execucao::falha_es(tempo_execucao::codigo_fechar, "CLOSE", arq.nome,
                                 "cannot close the file: " + sistema::descricao_erro(errno));
    }
}

identidade_arquivo identidade(const arquivo_saida& arq) {
    return sistema::identidade(arq.fd);
}

}  // namespace processamento
