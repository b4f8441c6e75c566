#include "processamento/arquivo_saida.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstring>

#include "malhas_segmentos/execucao.hpp"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace processamento {

namespace {

std::string razao(int erro) {
    return std::strerror(erro);
}

#if defined(_WIN32)
int abre_sistema(const char* nome) {
    // Binary, so the CR LF written are the bytes on disk; not inherited by the
    // viewers, which are started with the caller's handles.
    return ::_open(nome, _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
long long escreve_sistema(int fd, const char* p, std::size_t n) {
    const unsigned int parte = n > (1u << 30) ? (1u << 30) : static_cast<unsigned int>(n);
    return ::_write(fd, p, parte);
}
int corta_sistema(int fd) {
    return ::_chsize_s(fd, 0) == 0 ? 0 : -1;
}
bool vazio_sistema(int fd) {
    return ::_filelengthi64(fd) == 0;
}
int fecha_sistema(int fd) {
    return ::_close(fd);
}
#else
int abre_sistema(const char* nome) {
    return ::open(nome, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
}
long long escreve_sistema(int fd, const char* p, std::size_t n) {
    return ::write(fd, p, n);
}
int corta_sistema(int fd) {
    return ::ftruncate(fd, 0);
}
bool vazio_sistema(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}
int fecha_sistema(int fd) {
    return ::close(fd);
}
#endif

void escreve_tudo(arquivo_saida& arq, const char* p, std::size_t resta) {
    while (resta > 0) {
        const long long n = escreve_sistema(arq.fd, p, resta);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int erro = n < 0 ? errno : ENOSPC;
            execucao::falha_es(execucao::codigo_escrever, "WRITE", arq.nome,
                               "cannot write the line: " + razao(erro));
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
    if (!vazio_sistema(arq.fd) && corta_sistema(arq.fd) != 0) {
        execucao::falha_es(execucao::codigo_escrever, "WRITE", arq.nome,
                           "cannot write the line: " + razao(errno));
    }
    arq.cortado = true;
}

}  // namespace

arquivo_saida::~arquivo_saida() {
    if (fd >= 0) fecha_sistema(fd);
}

void abre_saida(arquivo_saida& arq, const std::string& nome) {
    arq.nome = nome;
    if (nome.find('\0') != std::string::npos) {
        execucao::falha_es(execucao::codigo_abrir, "OPEN", nome, "cannot open the file: invalid file name");
    }
    const int fd = abre_sistema(nome.c_str());
    if (fd < 0) {
        execucao::falha_es(execucao::codigo_abrir, "OPEN", nome, "cannot open the file: " + razao(errno));
    }
    arq.fd = fd;
    arq.cortado = false;
    arq.usados = 0;
    arq.buffer = std::make_unique<char[]>(tamanho_buffer_saida);
}

char* reserva(arquivo_saida& arq, std::size_t n) {
    corta_se_preciso(arq);
    if (tamanho_buffer_saida - arq.usados < n) descarrega(arq);
    return arq.buffer.get() + arq.usados;
}

void confirma(arquivo_saida& arq, std::size_t n) {
    arq.usados += n;
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
    if (fecha_sistema(fd) != 0) {
        execucao::falha_es(execucao::codigo_fechar, "CLOSE", arq.nome,
                           "cannot close the file: " + razao(errno));
    }
}

#if defined(_WIN32)
namespace {
identidade_arquivo identidade_handle(HANDLE h) {
    identidade_arquivo id;
    BY_HANDLE_FILE_INFORMATION info;
    if (h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info)) {
        id.dispositivo = info.dwVolumeSerialNumber;
        id.numero = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        id.valida = true;
    }
    return id;
}
}  // namespace
identidade_arquivo identidade(const arquivo_saida& arq) {
    return identidade_handle(reinterpret_cast<HANDLE>(::_get_osfhandle(arq.fd)));
}
identidade_arquivo identidade(const std::string& nome) {
    HANDLE h = CreateFileA(nome.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    identidade_arquivo id = identidade_handle(h);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return id;
}
#else
identidade_arquivo identidade(const arquivo_saida& arq) {
    identidade_arquivo id;
    struct stat st {};
    if (::fstat(arq.fd, &st) == 0) id = {static_cast<unsigned long long>(st.st_dev), st.st_ino, true};
    return id;
}
identidade_arquivo identidade(const std::string& nome) {
    identidade_arquivo id;
    struct stat st {};
    if (::stat(nome.c_str(), &st) == 0) id = {static_cast<unsigned long long>(st.st_dev), st.st_ino, true};
    return id;
}
#endif

}  // namespace processamento
