// The operating system's calls on POSIX systems.
#include <fcntl.h>
#if defined(__linux__)
#include <sched.h>
#endif
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
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
        ::close(fd);
        ocupado = erro == EWOULDBLOCK;
        errno = erro;
        return -1;
    }
    return fd;
}

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
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int erro = errno;
        ::close(fd);
        if (S_ISREG(st.st_mode)) {
            errno = erro;
        } else {
            recusa = recusa_leitura::nao_regular;
        }
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

namespace {

// A name that no other process picks at the same moment: the process number,
// a count, and bits of the clock. Exclusive creation settles any clash.
std::string nome_unico(const std::string& pasta, const std::string& base) {
    static std::atomic<unsigned> contador{0};
    const auto relogio =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char sufixo[64];
    std::snprintf(sufixo, sizeof sufixo, ".%ld.%u.%06llx.tmp", static_cast<long>(::getpid()),
                  contador.fetch_add(1), (relogio >> 4) & 0xFFFFFFull);
    std::string nome = pasta;
    if (!nome.empty() && nome.back() != '/') nome += '/';
    return nome + "." + base + sufixo;
}

}  // namespace

int cria_exclusivo(const std::string& pasta, const std::string& base, std::string& nome, int& registro) {
    for (int tentativa = 0; tentativa < 100; ++tentativa) {
        nome = nome_unico(pasta, base);
        // Registered before it exists, so that no interruption finds it
        // made and not yet registered.
        registro = registra_temporario(nome.c_str(), false);
        if (registro < 0) {
            errno = ENAMETOOLONG;
            return -1;
        }
        // O_EXCL with O_CREAT never opens what is there already, a link
        // included; O_NOFOLLOW says the same twice.
        const int fd = repete_se_interrompido(
            [&] { return ::open(nome.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666); });
        if (fd >= 0) return fd;
        const int erro = errno;
        esquece_temporario(registro);
        registro = -1;
        errno = erro;
        if (erro != EEXIST) return -1;
    }
    return -1;
}

int cria_pasta_exclusiva(const std::string& pasta, const std::string& base, std::string& nome,
                         int& registro) {
    for (int tentativa = 0; tentativa < 100; ++tentativa) {
        nome = nome_unico(pasta, base);
        registro = registra_temporario(nome.c_str(), true);
        if (registro < 0) {
            errno = ENAMETOOLONG;
            return -1;
        }
        if (::mkdir(nome.c_str(), 0777) == 0) return 0;
        const int erro = errno;
        esquece_temporario(registro);
        registro = -1;
        errno = erro;
        if (erro != EEXIST) return -1;
    }
    return -1;
}

int substitui(const char* temporario, const char* destino) {
    return ::rename(temporario, destino);
}

int substitui_pasta(const char* nova, const char* destino, std::string& antiga) {
    antiga.clear();
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
    ::rmdir(lado.c_str());
    esquece_temporario(registro);
    if (::rename(destino, lado.c_str()) != 0) return -1;
    if (::rename(nova, destino) != 0) {
        const int erro = errno;
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

void prepara_processo() {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

namespace {

void trata_interrupcao(int sinal) {
    escreve_texto_interrupcao();
    remove_temporarios_registrados();
    _exit(128 + sinal);
}

}  // namespace

void limpa_temporarios_ao_interromper() {
    struct sigaction acao {};
    acao.sa_handler = trata_interrupcao;
    sigemptyset(&acao.sa_mask);
    // Every one of them blocked while one is handled: the removal runs once.
    for (int sinal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&acao.sa_mask, sinal);
    for (int sinal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction antes {};
        // A signal the caller's shell set to be ignored (nohup, a background
        // job) stays ignored.
        if (::sigaction(sinal, nullptr, &antes) == 0 && antes.sa_handler == SIG_IGN) continue;
        ::sigaction(sinal, &acao, nullptr);
    }
}

std::string descricao_erro(int numero) {
    const char* texto = std::strerror(numero);
    return texto != nullptr ? std::string(texto) : "error " + std::to_string(numero);
}

void escreve_erro_padrao(const char* texto, std::size_t n) {
    std::fflush(stdout);
    std::fwrite(texto, 1, n, stderr);
    std::fflush(stderr);
}

void termina_com(const char* texto, std::size_t n) {
    while (n > 0) {
        const ssize_t escritos = ::write(2, texto, n);
        if (escritos <= 0) break;
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
    // not as prepara_processo left them for the run.
    posix_spawnattr_t atributos;
    posix_spawnattr_init(&atributos);
    sigset_t padrao;
    sigemptyset(&padrao);
    sigaddset(&padrao, SIGPIPE);
    sigaddset(&padrao, SIGXFSZ);
    posix_spawnattr_setsigdefault(&atributos, &padrao);
    posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETSIGDEF);

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
