// The operating system's calls on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#if defined(__linux__)
#include <sched.h>
#endif
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tempo_execucao/sistema.hpp"

extern char** environ;

namespace sistema {

namespace {

constexpr std::size_t comprimento_maximo_interpretador = 260;

template <class F>
auto repete_se_interrompido(F&& f) {
    for (;;) {
        const auto r = f();
        if (!(r < 0 && errno == EINTR)) return r;
    }
}

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

namespace {}  // namespace

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

int processadores_disponiveis() {
#if defined(__linux__)
    cpu_set_t conjunto;
    if (sched_getaffinity(0, sizeof conjunto, &conjunto) == 0 && CPU_COUNT(&conjunto) > 0)
        return CPU_COUNT(&conjunto);
#endif
    return static_cast<int>(std::thread::hardware_concurrency());
}

// signal fails only for a signal that does not exist or cannot be caught.
void prepara_processo() {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

namespace {

void trata_interrupcao(int sinal) {
    if (guarda_interrupcao(sinal)) return;
    termina_interrompido(sinal);
}

}  // namespace

void termina_interrompido(int sinal) {
    escreve_texto_interrupcao();
    remove_temporarios_registrados();
    _exit(128 + sinal);
}

void limpa_temporarios_ao_interromper() {
    struct sigaction acao {};
    acao.sa_handler = trata_interrupcao;
    sigemptyset(&acao.sa_mask);
    // A held interruption returns from the handler: the calls it came in
    // are made again rather than failing with EINTR.
    acao.sa_flags = SA_RESTART;
    // Every one of them blocked while one is handled: the removal runs once.
    for (int sinal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&acao.sa_mask, sinal);
    for (int sinal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction antes {};
        // A signal the caller's shell set to be ignored (nohup, a background
        // job) stays ignored.
        if (::sigaction(sinal, nullptr, &antes) == 0 && antes.sa_handler == SIG_IGN) continue;
        // Fails only for a signal that cannot be caught, which these are not.
        ::sigaction(sinal, &acao, nullptr);
    }
}

// A report that the standard error stream refuses has nowhere else to go: the
// exit status still tells of the failure.
void escreve_erro_padrao(const char* texto, std::size_t n) {
    std::fflush(stdout);
    std::fwrite(texto, 1, n, stderr);
    std::fflush(stderr);
}

void termina_com(const char* texto, std::size_t n) {
    while (n > 0) {
        const ssize_t escritos = ::write(2, texto, n);
        if (escritos < 0 && errno == EINTR) continue;
        if (escritos <= 0) break;  // as above: the exit status remains
        texto += escritos;
        n -= static_cast<std::size_t>(escritos);
    }
    _exit(1);
}

bool interpretador_comandos(interpretador& resultado) {
    const char* comspec = std::getenv("COMSPEC");
    if (comspec != nullptr && std::strlen(comspec) > comprimento_maximo_interpretador) return false;
    // With COMSPEC the interpreter is started the way cmd.exe expects to be;
    // without it the platform's own shell runs the command.
    if (comspec != nullptr && *comspec != '\0') {
        resultado = {comspec, true};
    } else {
        resultado = {"/bin/sh", false};
    }
    return true;
}

std::int32_t executa_interpretador(const interpretador& interp, const std::string& comando) {
    std::string programa = interp.programa;
    std::string opcao = interp.estilo_cmd ? "/c" : "-c";
    std::string texto = comando;
    char* argv[] = {programa.data(), opcao.data(), texto.data(), nullptr};

    // The editor and viewers get the signals as a program normally has them,
    // not as prepara_processo left them for the run. A command that cannot be
    // started that way is not started at all: with SIGPIPE ignored, a pipeline
    // in the command would not end when its reader does. (sigemptyset and
    // sigaddset fail only for a signal that does not exist.)
    posix_spawnattr_t atributos;
    if (posix_spawnattr_init(&atributos) != 0) return -1;
    sigset_t padrao;
    sigemptyset(&padrao);
    sigaddset(&padrao, SIGPIPE);
    sigaddset(&padrao, SIGXFSZ);
    if (posix_spawnattr_setsigdefault(&atributos, &padrao) != 0 ||
        posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETSIGDEF) != 0) {
        posix_spawnattr_destroy(&atributos);
        return -1;
    }

    pid_t pid = -1;
    // COMSPEC may name a program on PATH; the shell is named by its path.
    const int r = interp.estilo_cmd ? posix_spawnp(&pid, programa.c_str(), nullptr, &atributos, argv, environ)
                                    : posix_spawn(&pid, programa.c_str(), nullptr, &atributos, argv, environ);
    posix_spawnattr_destroy(&atributos);
    if (r != 0) return -1;

    int estado = 0;
    while (waitpid(pid, &estado, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(estado)) return WEXITSTATUS(estado);
    if (WIFSIGNALED(estado)) return 128 + WTERMSIG(estado);
    return -1;
}

// --- The terminal's progress line ----------------------------------------

bool erro_padrao_e_terminal() {
    return ::isatty(2) == 1;
}

void escreve_erro_direto(const char* texto, std::size_t n) {
    while (n > 0) {
        const ssize_t escritos = ::write(2, texto, n);
        if (escritos < 0 && errno == EINTR) continue;
        if (escritos <= 0) return;
        texto += escritos;
        n -= static_cast<std::size_t>(escritos);
    }
}

}  // namespace sistema
