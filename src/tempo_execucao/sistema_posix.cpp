// The operating system's calls on POSIX systems: files, names and folders.
// The process's own calls are in sistema_processo_posix.cpp, the removal of
// a folder tree in sistema_pastas_posix.cpp.
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tempo_execucao/sistema.hpp"
#include "tempo_execucao/sistema_posix.hpp"

namespace sistema {

namespace {

identidade_arquivo de_stat(const struct stat& st) {
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino), true};
}

}  // namespace

int abre_leitura(const char* nome) {
    // O_CREAT asks for no write access: an existing read-only file opens as
    // any other, and a missing one is left behind empty.
    return repete_se_interrompido([&] { return ::open(nome, O_RDONLY | O_CREAT | O_CLOEXEC, 0666); });
}

int abre_escrita(const char* nome, bool& ocupado) {
    ocupado = false;
    const int fd = repete_se_interrompido(
        [&] { return ::open(nome, O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666); });
    if (fd < 0) return -1;
    // Another run writing the same file would interleave with this one; the
    // lock is only looked at by other runs, never waited for.
    if (repete_se_interrompido([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
        const int erro = errno;
        // Here and on the other failure paths the descriptor is closed for
        // its release alone: nothing was written through it, and the failure
        // reported is the one that came first.
        ::close(fd);
        ocupado = erro == EWOULDBLOCK;
        errno = erro;
        return -1;
    }
    return fd;
}

// A file the system cannot describe counts as not regular: nothing is
// written to what may not be a file.
bool arquivo_regular(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

long long le(int fd, char* destino, std::size_t n) {
    return repete_se_interrompido([&] { return ::read(fd, destino, n); });
}

long long escreve(int fd, const char* origem, std::size_t n) {
    return repete_se_interrompido([&] { return ::write(fd, origem, n); });
}

int corta(int fd) {
    return repete_se_interrompido([&] { return ::ftruncate(fd, 0); });
}

// A file the system cannot describe counts as not empty: it is cut, as a
// file with contents is.
bool vazio(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

int fecha(int fd) {
    return ::close(fd) != 0 && errno != EINTR ? -1 : 0;
}

int abre_leitura_existente(const char* nome, bool partilhada, recusa_leitura& recusa) {
    recusa = recusa_leitura::sistema;
    // O_NONBLOCK: opening a FIFO without a writer, or some devices, would
    // otherwise wait for ever; a regular file reads the same either way.
    const int fd =
        repete_se_interrompido([&] { return ::open(nome, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0) return -1;
    // A file the system cannot describe is refused with the system's reason,
    // not taken for one that is not regular.
    struct stat st {};
    const bool descrito = ::fstat(fd, &st) == 0;
    if (!descrito || !S_ISREG(st.st_mode)) {
        const int erro = errno;
        ::close(fd);
        if (descrito) recusa = recusa_leitura::nao_regular;
        errno = erro;
        return -1;
    }
    if (partilhada && repete_se_interrompido([&] { return ::flock(fd, LOCK_SH | LOCK_NB); }) != 0) {
        const int erro = errno;
        ::close(fd);
        if (erro == EWOULDBLOCK) recusa = recusa_leitura::ocupado;
        errno = erro;
        return -1;
    }
    recusa = recusa_leitura::nenhuma;
    return fd;
}

unsigned long numero_processo() {
    return static_cast<unsigned long>(::getpid());
}

int abre_novo(const char* nome) {
    // O_EXCL with O_CREAT never opens what is there already, a link
    // included; O_NOFOLLOW says the same twice.
    return repete_se_interrompido(
        [&] { return ::open(nome, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666); });
}

int cria_pasta(const char* nome) {
    return ::mkdir(nome, 0777);
}

int substitui(const char* temporario, const char* destino) {
    return ::rename(temporario, destino);
}

int nomeia_sem_substituir(const char* temporario, const char* destino) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, temporario, AT_FDCWD, destino, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
    // Where the file system cannot rename without replacing: a second link
    // is refused when the name is taken, and the first one then goes.
    if (::link(temporario, destino) == 0) {
        ::unlink(temporario);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return -1;
    // No links either (FAT, some network shares): the name is looked at
    // first, which leaves a moment in which another process may take it.
    struct stat st {};
    if (::lstat(destino, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(temporario, destino);
}

int substitui_pasta(const char* nova, const char* destino, std::string& antiga) {
    antiga.clear();
    // Room for the old folder's name is taken before anything moves: once
    // the folders are exchanged, no failure may leave the caller unaware.
    antiga.reserve(std::strlen(nova));
    if (::rename(nova, destino) == 0) return 0;  // there was none, or an empty one
    if (errno != EEXIST && errno != ENOTEMPTY) return -1;
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    // One step: the new folder takes the place, the old one takes the new
    // one's name, and at no moment is there no folder of that name.
    if (::renameat2(AT_FDCWD, nova, AT_FDCWD, destino, RENAME_EXCHANGE) == 0) {
        antiga = nova;
        return 0;
    }
#endif
    // Two steps where the system cannot exchange: the old folder moves aside
    // under a name of its own, and comes back if the new one cannot go in.
    const std::string texto = destino;
    const auto barra = texto.find_last_of('/');
    const std::string pasta = barra == std::string::npos ? std::string() : texto.substr(0, barra);
    const std::string base = barra == std::string::npos ? texto : texto.substr(barra + 1);
    std::string lado;
    int registro = -1;
    if (cria_pasta_exclusiva(pasta, base, lado, registro) != 0) return -1;
    try {
        antiga.reserve(lado.size());
    } catch (...) {
        ::rmdir(lado.c_str());
        esquece_temporario(registro);
        throw;
    }
    // The empty folder only reserved the name: whether or not it is removed,
    // the rename below puts the old folder in its place, as rename replaces
    // an empty folder.
    ::rmdir(lado.c_str());
    esquece_temporario(registro);
    if (::rename(destino, lado.c_str()) != 0) return -1;
    if (::rename(nova, destino) != 0) {
        const int erro = errno;
        // The way back is a rename within the same folder, just made the
        // other way; should it fail all the same, the old folder keeps the
        // name of its own, never removed, and the failure reported is the
        // one that came first.
        ::rename(lado.c_str(), destino);
        errno = erro;
        return -1;
    }
    antiga = lado;
    return 0;
}

int remove_arquivo(const char* nome) {
    return ::unlink(nome);
}

int pasta_atual(std::string& pasta) {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return -1;
    pasta = buffer;
    return 0;
}

int caminho_absoluto(const std::string& nome, std::string& absoluto) {
    if (!nome.empty() && nome[0] == '/') {
        absoluto = nome;
        return 0;
    }
    std::string pasta;
    if (pasta_atual(pasta) != 0) return -1;
    absoluto = pasta == "/" ? "/" + nome : pasta + "/" + nome;
    return 0;
}

int caminho_real(const std::string& nome, std::string& real) {
    char buffer[PATH_MAX];
    if (::realpath(nome.c_str(), buffer) == nullptr) return -1;
    real = buffer;
    return 0;
}

int le_link(const std::string& nome, std::string& alvo) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(nome.c_str(), buffer, sizeof buffer);
    if (n < 0) return -1;
    if (static_cast<std::size_t>(n) == sizeof buffer) {
        errno = ENAMETOOLONG;
        return -1;
    }
    alvo.assign(buffer, static_cast<std::size_t>(n));
    return 0;
}

char separador_nativo() {
    return '/';
}

bool e_separador(char c) {
    return c == '/';
}

std::size_t tamanho_raiz(const std::string& nome) {
    return !nome.empty() && nome[0] == '/' ? 1 : 0;
}

bool e_link(const std::string& nome) {
    struct stat st {};
    return ::lstat(nome.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool e_pasta(const std::string& nome) {
    struct stat st {};
    return ::stat(nome.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int remove_pasta_vazia(const char* nome) {
    return ::rmdir(nome);
}

identidade_arquivo identidade(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? de_stat(st) : identidade_arquivo{};
}

identidade_arquivo identidade(const std::string& nome) {
    struct stat st {};
    return ::stat(nome.c_str(), &st) == 0 ? de_stat(st) : identidade_arquivo{};
}

bool nomes_ignoram_caixa() {
#if defined(__APPLE__)
    return true;  // the default file systems of macOS
#else
    return false;
#endif
}

tipo_nome tipo_do_nome(const std::string& nome) {
    struct stat st {};
    if (::stat(nome.c_str(), &st) != 0) return tipo_nome::ausente;
    return S_ISREG(st.st_mode) ? tipo_nome::regular : tipo_nome::outro;
}

bool nome_de_dispositivo(const std::string&) {
    return false;
}

}  // namespace sistema
