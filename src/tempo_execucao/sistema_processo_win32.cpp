// The process on Windows: its processors, its console events, its standard
// error stream and the command interpreter it starts.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "tempo_execucao/sistema.hpp"

namespace sistema {

namespace {

constexpr DWORD comprimento_maximo_interpretador = 260;

}  // namespace

int processadores_disponiveis() {
    return static_cast<int>(std::thread::hardware_concurrency());
}

void prepara_processo() {}

namespace {

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI trata_interrupcao(DWORD evento) {
    switch (evento) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: {
            const int sinal = evento == CTRL_C_EVENT ? 2 : 15;
            if (guarda_interrupcao(sinal)) {
                // Held until the step ends. Ctrl-C and Ctrl-Break are then
                // handled; for the others the system ends the process when
                // this returns, so this thread waits for the step's end, at
                // which the run ends the process itself.
                if (evento == CTRL_C_EVENT || evento == CTRL_BREAK_EVENT) return TRUE;
                for (;;)
                    Sleep(INFINITE);
            }
            termina_interrompido(sinal);
        }
        default:
            return FALSE;
    }
}

}  // namespace

void termina_interrompido(int sinal) {
    escreve_texto_interrupcao();
    remove_temporarios_registrados();
    ExitProcess(static_cast<UINT>(128 + sinal));
}

void limpa_temporarios_ao_interromper() {
    // Refused only without the memory for one more handler in the list; an
    // interruption then leaves the temporaries behind, which is no worse than
    // a power cut, and no file in place is touched either way.
    SetConsoleCtrlHandler(trata_interrupcao, TRUE);
}

// A report that the standard error stream refuses has nowhere else to go: the
// exit status still tells of the failure.
void escreve_erro_padrao(const char* texto, std::size_t n) {
    std::fflush(stdout);
    // The C runtime opens stderr in text mode, which would put a second CR
    // before the LF of every CR LF the report already has. _setmode fails
    // only when stderr has no descriptor, and then nothing reaches it anyway.
    std::fflush(stderr);
    _setmode(_fileno(stderr), _O_BINARY);
    std::fwrite(texto, 1, n, stderr);
    std::fflush(stderr);
}

void termina_com(const char* texto, std::size_t n) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err != nullptr && err != INVALID_HANDLE_VALUE) {
        while (n > 0) {
            DWORD escritos = 0;
            if (!WriteFile(err, texto, static_cast<DWORD>(n), &escritos, nullptr) || escritos == 0)
                break;  // as above: the exit status remains
            texto += escritos;
            n -= escritos;
        }
    }
    ExitProcess(1);
}

bool interpretador_comandos(interpretador& resultado) {
    char valor[comprimento_maximo_interpretador + 1];
    const DWORD lido = GetEnvironmentVariableA("COMSPEC", valor, sizeof valor);
    if (lido > comprimento_maximo_interpretador) return false;  // too long for the buffer: the size it needs
    resultado = {lido == 0 ? std::string("cmd.exe") : std::string(valor, lido), true};
    return true;
}

std::int32_t executa_interpretador(const interpretador& interp, const std::string& comando) {
    std::string linha = interp.programa + " /c " + comando;
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
    // A command that cannot be waited for, or whose exit code cannot be read,
    // has no exit code to give: -1, never a made-up 0 or the STILL_ACTIVE
    // of a process that has not ended.
    DWORD codigo = 0;
    const bool terminou = WaitForSingleObject(processo.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                          GetExitCodeProcess(processo.hProcess, &codigo);
    CloseHandle(processo.hProcess);
    return terminou ? static_cast<std::int32_t>(codigo) : -1;
}

// --- The terminal's progress line ----------------------------------------

bool erro_padrao_e_terminal() {
    DWORD modo = 0;
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    return err != nullptr && err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &modo) != 0;
}

void escreve_erro_direto(const char* texto, std::size_t n) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    while (n > 0) {
        DWORD escritos = 0;
        if (WriteFile(err, texto, static_cast<DWORD>(n), &escritos, nullptr) == 0 || escritos == 0) return;
        texto += escritos;
        n -= escritos;
    }
}

}  // namespace sistema
