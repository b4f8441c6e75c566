// The process on POSIX systems: its processors, its signals, its standard
// error stream and the command interpreter it starts.
#if defined(__linux__)
#include <sched.h>
#endif
#include <signal.h>
#include <spawn.h>
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

}  // namespace

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
