// The command launcher. The editor and the viewers hold up the run until the
// user closes them, so the launcher waits without a time limit; whether the
// command could be run at all is the caller's to ignore.
#include "dados/executa_comando.hpp"

#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <cerrno>
extern char** environ;
#endif

namespace dados {

namespace {

constexpr std::int64_t comprimento_maximo_comando = 1024;
constexpr std::size_t comprimento_maximo_interpretador = 260;

std::int64_t sem_brancos_finais(const char* texto, std::int32_t comprimento) {
    std::int64_t n = comprimento > 0 ? comprimento : 0;
    while (n > 0 && texto[n - 1] == ' ')
        --n;
    return n;
}

}  // namespace

#if defined(_WIN32)

std::int32_t executa_comando(const char* texto, std::int32_t comprimento) {
    const std::int64_t n = sem_brancos_finais(texto, comprimento);
    if (n > comprimento_maximo_comando) return -1;
    if (std::memchr(texto, '\0', static_cast<std::size_t>(n)) != nullptr) return -1;

    char interpretador[comprimento_maximo_interpretador + 1];
    const DWORD lido = GetEnvironmentVariableA("COMSPEC", interpretador, sizeof interpretador);
    std::string linha;
    if (lido > comprimento_maximo_interpretador) return -1;  // too long for the buffer: the size it needs
    if (lido == 0)
        linha = "cmd.exe";
    else
        linha.assign(interpretador, lido);
    linha += " /c ";
    linha.append(texto, static_cast<std::size_t>(n));

    STARTUPINFOA inicio{};
    inicio.cb = sizeof inicio;
    PROCESS_INFORMATION processo{};
    std::vector<char> mutavel(linha.begin(), linha.end());
    mutavel.push_back('\0');
    if (!CreateProcessA(nullptr, mutavel.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &inicio,
                        &processo)) {
        return -1;
    }
    CloseHandle(processo.hThread);
    WaitForSingleObject(processo.hProcess, INFINITE);
    DWORD codigo = 0;
    GetExitCodeProcess(processo.hProcess, &codigo);
    CloseHandle(processo.hProcess);
    return static_cast<std::int32_t>(codigo);
}

#else

std::int32_t executa_comando(const char* texto, std::int32_t comprimento) {
    const std::int64_t n = sem_brancos_finais(texto, comprimento);
    if (n > comprimento_maximo_comando) return -1;
    // A NUL would silently cut the command short.
    if (std::memchr(texto, '\0', static_cast<std::size_t>(n)) != nullptr) return -1;
    std::string comando(texto, static_cast<std::size_t>(n));

    const char* comspec = std::getenv("COMSPEC");
    if (comspec != nullptr && std::strlen(comspec) > comprimento_maximo_interpretador) return -1;

    // With COMSPEC the interpreter is started the way cmd.exe expects to be;
    // without it the platform's own shell runs the command.
    std::string programa, opcao;
    bool procura_no_path = false;
    if (comspec != nullptr && *comspec != '\0') {
        programa = comspec;
        opcao = "/c";
        procura_no_path = true;
    } else {
        programa = "/bin/sh";
        opcao = "-c";
    }
    char* argv[] = {programa.data(), opcao.data(), comando.data(), nullptr};

    pid_t pid = -1;
    const int r = procura_no_path ? posix_spawnp(&pid, programa.c_str(), nullptr, nullptr, argv, environ)
                                  : posix_spawn(&pid, programa.c_str(), nullptr, nullptr, argv, environ);
    if (r != 0) return -1;

    int estado = 0;
    while (waitpid(pid, &estado, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(estado)) return WEXITSTATUS(estado);
    if (WIFSIGNALED(estado)) return 128 + WTERMSIG(estado);
    return -1;
}

#endif

namespace {

// Characters that neither cmd.exe nor a POSIX shell acts on, anywhere in a
// word: a name made only of these goes into the command as it stands.
bool caractere_comum(unsigned char c) {
    if (c >= 0x80) return true;  // ISO 8859-1 letters of names such as "malha_ção"
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr(" ._-/\\:+@", c) != nullptr && c != '\0';
}

bool interpretador_cmd() {
#if defined(_WIN32)
    return true;
#else
    const char* comspec = std::getenv("COMSPEC");
    return comspec != nullptr && *comspec != '\0';
#endif
}

}  // namespace

std::string nome_para_comando(std::string_view nome) {
    bool comum = true;
    for (unsigned char c : nome)
        comum = comum && caractere_comum(c);
    if (comum) return std::string(nome);

    std::string citado;
    if (interpretador_cmd()) {
        // Inside quotes cmd.exe still expands %VAR%; closing the quotes and
        // escaping the percent sign with a caret breaks every variable name.
        citado.push_back('"');
        for (char c : nome) {
            if (c == '%')
                citado += "\"^%\"";
            else if (c == '"')
                citado += "\"\"";
            else
                citado += c;
        }
        citado += '"';
    } else {
        // Within apostrophes a POSIX shell takes every byte literally; an
        // apostrophe itself is closed, escaped and reopened.
        citado.push_back('\'');
        for (char c : nome) {
            if (c == '\'')
                citado += "'\\''";
            else
                citado += c;
        }
        citado += '\'';
    }
    return citado;
}

}  // namespace dados
