#include "malhas_qualidade/comum/saida.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "tempo_execucao/relatorio_erro.hpp"
#include "tempo_execucao/sistema.hpp"

namespace malhas_qualidade {

namespace {

constexpr std::size_t tamanho_buffer = std::size_t{1} << 20;

[[noreturn]] void falha_escrita(const saida_atomica& s, int numero) {
    falha(s.nome, 0, "cannot write: " + sistema::descricao_erro(numero));
}

void escreve_tudo(saida_atomica& s, const char* p, std::size_t n) {
    while (n > 0) {
        const long long feitos = sistema::escreve(s.fd, p, n);
        // A write that takes nothing is a full disk by another name.
        if (feitos <= 0) falha_escrita(s, feitos < 0 ? errno : ENOSPC);
        p += feitos;
        n -= static_cast<std::size_t>(feitos);
    }
}

void descarrega(saida_atomica& s) {
    escreve_tudo(s, s.buffer.data(), s.usado);
    s.usado = 0;
}

// Closes and removes the temporary file, keeping errno for the message.
void abandona(saida_atomica& s) {
    const int numero = errno;
    if (s.fd >= 0) sistema::fecha(s.fd);
    s.fd = -1;
    if (!s.temporario.empty()) sistema::remove_arquivo(s.temporario.c_str());
    sistema::esquece_temporario(s.registro);
    s.registro = -1;
    s.temporario.clear();
    errno = numero;
}

}  // namespace

std::string base_temporario(std::string nome) {
    // The temporary's name adds a dot before and at most 34 bytes after
    // (process number, count, clock, ".tmp"); a file name of 255 bytes, as
    // long as most file systems take, then still leaves room for it. A byte
    // that continues a UTF-8 character is not left at the end alone.
    constexpr std::size_t maximo = 200;
    if (nome.size() <= maximo) return nome;
    std::size_t n = maximo;
    while (n > 0 && (static_cast<unsigned char>(nome[n]) & 0xC0) == 0x80)
        --n;
    nome.resize(n);
    return nome;
}

saida_atomica::~saida_atomica() {
    abandona(*this);
}

void confere_destino(const std::string& nome) {
    const std::string destino = caminhos::resolvido(nome);
    if (sistema::nome_de_dispositivo(destino))
        falha(nome, 0, "cannot write: the name of a device, not of a file");
    if (sistema::tipo_do_nome(destino) == sistema::tipo_nome::outro)
        falha(
            nome, 0,
            "cannot write: it is not a regular file (a folder, FIFO, socket or device); only a regular file "
            "is replaced");
}

void abre_saida(saida_atomica& s, const std::string& nome) {
    confere_destino(nome);
    s.nome = nome;
    s.destino = caminhos::resolvido(nome);
    s.buffer.resize(tamanho_buffer);
    s.usado = 0;
    s.fd = sistema::cria_exclusivo(caminhos::pasta_de(s.destino),
                                   base_temporario(caminhos::nome_de(s.destino)), s.temporario, s.registro);
    if (s.fd < 0) {
        const int numero = errno;
        s.temporario.clear();
        falha(nome, 0, "cannot write a new file beside it: " + sistema::descricao_erro(numero));
    }
}

void escreve(saida_atomica& s, const void* bytes, std::size_t n) {
    const char* p = static_cast<const char*>(bytes);
    while (n > 0) {
        if (s.usado == s.buffer.size()) descarrega(s);
        const std::size_t parte = std::min(n, s.buffer.size() - s.usado);
        std::memcpy(s.buffer.data() + s.usado, p, parte);
        s.usado += parte;
        p += parte;
        n -= parte;
    }
}

char* reserva(saida_atomica& s, std::size_t n) {
    if (s.buffer.size() - s.usado < n) descarrega(s);
    if (s.buffer.size() < n) s.buffer.resize(n);
    return s.buffer.data() + s.usado;
}

void fecha_saida(saida_atomica& s) {
    if (s.fd < 0) return;
    try {
        descarrega(s);
    } catch (...) {
        abandona(s);
        throw;
    }
    const int fd = s.fd;
    s.fd = -1;
    if (sistema::fecha(fd) != 0) {
        const int numero = errno;
        abandona(s);
        falha_escrita(s, numero);
    }
}

namespace {

bool conclui(saida_atomica& s, bool substituindo) {
    fecha_saida(s);
    // The name in one step, on Windows as well: over the destination, or
    // only while the name is free.
    const int feito = substituindo ? sistema::substitui(s.temporario.c_str(), s.destino.c_str())
                                   : sistema::nomeia_sem_substituir(s.temporario.c_str(), s.destino.c_str());
    if (feito != 0) {
        const int numero = errno;
        abandona(s);
        if (!substituindo && numero == EEXIST) return false;
        falha(s.nome, 0, "cannot give the new file its name: " + sistema::descricao_erro(numero));
    }
    sistema::esquece_temporario(s.registro);
    s.registro = -1;
    s.temporario.clear();
    return true;
}

}  // namespace

void conclui_saida(saida_atomica& s) {
    conclui(s, true);
}

bool conclui_saida_nova(saida_atomica& s) {
    return conclui(s, false);
}

bool escreve_visivel(std::FILE* f, std::string_view texto) {
    // A byte at a time through the stream's own buffer: nothing here
    // allocates, so a message still goes out when memory has run out.
    for (const char c : texto) {
        if (std::fputc(static_cast<unsigned char>(c == '\n' ? c : tempo_execucao::visivel(c)), f) == EOF)
            return false;
    }
    return true;
}

}  // namespace malhas_qualidade
