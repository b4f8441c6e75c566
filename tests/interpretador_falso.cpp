// Stand-in for the command interpreter in the launcher tests. It appends one
// line per start to the file named by MALHAS_LOG: its arguments after the
// program name, separated by a bar. The exit code comes from MALHAS_SAIDA
// (0 when unset). With MALHAS_ESPERA_MS it first sleeps that many
// milliseconds, like an editor the user keeps open.
//
// On Windows a program receives one command line, not an argument list:
// "<interpreter> /c <command>". cmd.exe takes everything after "/c " as the
// command, so the stand-in logs that text as it stands rather than the C
// runtime's split of it; the log line then reads "/c|<command>" on every
// platform, and a changed blank or quote in the command shows.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

// The command line after the program name, as the log shows it: one file per
// platform.
std::string argumentos(int argc, char** argv);

int main(int argc, char** argv) {
    if (const char* espera = std::getenv("MALHAS_ESPERA_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(espera)));
    if (const char* log = std::getenv("MALHAS_LOG")) {
        if (std::FILE* f = std::fopen(log, "ab")) {
            const std::string linha = argumentos(argc, argv) + "\n";
            std::fwrite(linha.data(), 1, linha.size(), f);
            std::fclose(f);
        }
    }
    // strtoll, not atoi: Windows exit codes are 32 bits wide, and the tests
    // give codes beyond the 8 bits a POSIX parent sees.
    const char* saida = std::getenv("MALHAS_SAIDA");
    return saida ? static_cast<int>(static_cast<unsigned int>(std::strtoll(saida, nullptr, 0))) : 0;
}
