// The command launcher. The editor and the viewers hold up the run until the
// user closes them, so the launcher waits without a time limit; whether the
// command could be run at all is the caller's to ignore.
#include "dados/executa_comando.hpp"

#include <cstring>
#include <new>

#include "tempo_execucao/sistema.hpp"

namespace dados {

namespace {

constexpr std::int64_t comprimento_maximo_comando = 1024;

std::int64_t comprimento_sem_brancos_finais(const char* texto, std::int32_t comprimento) {
    std::int64_t n = comprimento > 0 ? comprimento : 0;
    while (n > 0 && texto[n - 1] == ' ')
        --n;
    return n;
}

// Characters that the interpreter does not act on, anywhere in a word: a
// name made only of these goes into the command as it stands. A backslash is
// a path separator to cmd.exe but an escape to a POSIX shell ("abc\\.txt"
// would open "abc.txt"), so only cmd.exe takes it as it is.
bool caractere_comum(unsigned char c, bool estilo_cmd) {
    if (c >= 0x80) return true;  // ISO 8859-1 letters of names such as "malha_ção"
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    if (c == '\\') return estilo_cmd;
    return std::strchr(" ._-/:+@", c) != nullptr && c != '\0';
}

}  // namespace

std::int32_t executa_comando(const char* texto, std::int32_t comprimento) {
    const std::int64_t n = comprimento_sem_brancos_finais(texto, comprimento);
    if (n > comprimento_maximo_comando) return -1;
    // A NUL would silently cut the command short.
    if (std::memchr(texto, '\0', static_cast<std::size_t>(n)) != nullptr) return -1;
    // Without the memory to start it, the command is one that could not be
    // started, whose outcome the caller ignores like any other.
    try {
        sistema::interpretador interp;
        if (!sistema::interpretador_comandos(interp)) return -1;
        return sistema::executa_interpretador(interp, std::string(texto, static_cast<std::size_t>(n)));
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

std::string nome_para_comando(std::string_view nome) {
    // The interpreter executa_comando will start; when COMSPEC is too long
    // nothing is started, and the name is left as cmd.exe would take it.
    sistema::interpretador interp;
    const bool estilo_cmd = !sistema::interpretador_comandos(interp) || interp.estilo_cmd;
    bool comum = true;
    for (unsigned char c : nome)
        comum = comum && caractere_comum(c, estilo_cmd);
    if (comum) return std::string(nome);

    std::string citado;
    if (estilo_cmd) {
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
