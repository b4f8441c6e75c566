// Folders removed as a whole on POSIX systems, without allocating and never
// through a link.
#include <dirent.h>
#include <fcntl.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tempo_execucao/sistema.hpp"
#include "tempo_execucao/sistema_posix.hpp"

namespace sistema {

namespace {

// Folders deeper than this under the one removed are left, with ELOOP: a
// polyMesh holds sets and zones one level down, and every level takes a
// descriptor and a buffer on the stack.
constexpr int profundidade_maxima = 32;

// The entries of an open folder one at a time. On Linux the system's own
// entry reader fills a buffer on the stack (opendir would allocate); the
// caller's descriptor stays its own.
class entradas_pasta {
  public:
    explicit entradas_pasta(int fd) : fd_(fd) {}
    entradas_pasta(const entradas_pasta&) = delete;
    entradas_pasta& operator=(const entradas_pasta&) = delete;
#if defined(__linux__)
    ~entradas_pasta() = default;
    int abre() {
        return ::lseek(fd_, 0, SEEK_SET) < 0 ? -1 : 0;
    }
    // The next entry's name and type; false at the end, or on an error with
    // errno set (0 at the end).
    bool proxima(const char*& nome, unsigned char& tipo) {
        if (pos_ >= cheio_) {
            const long n = repete_se_interrompido(
                [&] { return ::syscall(SYS_getdents64, fd_, buffer_, sizeof buffer_); });
            if (n <= 0) {
                errno = n < 0 ? errno : 0;
                return false;
            }
            cheio_ = n;
            pos_ = 0;
        }
        const auto* e = reinterpret_cast<const struct dirent64*>(buffer_ + pos_);
        pos_ += e->d_reclen;
        nome = e->d_name;
        tipo = e->d_type;
        return true;
    }

  private:
    int fd_;
    alignas(8) char buffer_[4096];
    long cheio_ = 0, pos_ = 0;
#else
    ~entradas_pasta() {
        if (pasta_ != nullptr) ::closedir(pasta_);
    }
    int abre() {
        const int copia = ::dup(fd_);
        if (copia < 0) return -1;
        pasta_ = ::fdopendir(copia);
        if (pasta_ == nullptr) {
            ::close(copia);
            return -1;
        }
        ::rewinddir(pasta_);
        return 0;
    }
    bool proxima(const char*& nome, unsigned char& tipo) {
        errno = 0;
        const struct dirent* e = ::readdir(pasta_);
        if (e == nullptr) return false;
        nome = e->d_name;
        tipo = e->d_type;
        return true;
    }

  private:
    int fd_;
    DIR* pasta_ = nullptr;
#endif
};

// Removes what the open folder fd holds. The entries are read again from
// the start until a whole pass finds nothing left, since removing entries
// while a folder is read may make the reading skip some.
int esvazia_pasta(int fd, int profundidade) {
    for (;;) {
        entradas_pasta entradas(fd);
        if (entradas.abre() != 0) return -1;
        bool removeu = false;
        const char* nome = nullptr;
        unsigned char tipo = DT_UNKNOWN;
        while (entradas.proxima(nome, tipo)) {
            if (std::strcmp(nome, ".") == 0 || std::strcmp(nome, "..") == 0) continue;
            if (tipo != DT_DIR) {
                if (::unlinkat(fd, nome, 0) == 0) {
                    removeu = true;
                    continue;
                }
                // A folder the entry did not say was one.
                if (errno != EISDIR && errno != EPERM) return -1;
            }
            if (profundidade >= profundidade_maxima) {
                errno = ELOOP;
                return -1;
            }
            const int sub = repete_se_interrompido(
                [&] { return ::openat(fd, nome, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
            if (sub < 0) return -1;
            const int r = esvazia_pasta(sub, profundidade + 1);
            const int erro = errno;
            ::close(sub);
            if (r != 0) {
                errno = erro;
                return -1;
            }
            if (::unlinkat(fd, nome, AT_REMOVEDIR) != 0) return -1;
            removeu = true;
        }
        if (errno != 0) return -1;
        if (!removeu) return 0;
    }
}

}  // namespace

int remove_arvore(const char* nome) {
    // A file or a link goes by its name; only a folder is opened, never
    // through a link.
    if (::unlink(nome) == 0) return 0;
    if (errno != EISDIR && errno != EPERM) return -1;
    const int fd =
        repete_se_interrompido([&] { return ::open(nome, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    if (fd < 0) return -1;
    const int r = esvazia_pasta(fd, 0);
    const int erro = errno;
    ::close(fd);
    if (r != 0) {
        errno = erro;
        return -1;
    }
    return ::rmdir(nome);
}

}  // namespace sistema
