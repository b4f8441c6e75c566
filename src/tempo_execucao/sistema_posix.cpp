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

}  // namespace sistema
