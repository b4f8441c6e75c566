// The helpers that need the Windows API: child processes, the process id and
// the environment.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "apoio.hpp"

namespace apoio {

unsigned long identificador_processo() {
    return GetCurrentProcessId();
}

namespace {

// Windows compares variable names without regard to case, and CreateProcess
// wants the block sorted that way.
struct menor_sem_caixa {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
        });
    }
};

HANDLE abre_herdavel(const std::string& nome, DWORD acesso, DWORD disposicao) {
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    return CreateFileA(nome.c_str(), acesso, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposicao,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

resultado_execucao executa(const std::string& programa, const std::filesystem::path& pasta,
                           const std::map<std::string, std::string>& ambiente,
                           const std::vector<std::string>& argumentos) {
    // The names of the "=C:" entries (current folder per drive) start with
    // '=', so the separator is looked for after the first character.
    std::map<std::string, std::string, menor_sem_caixa> env;
    if (char* bloco = GetEnvironmentStringsA()) {
        for (const char* e = bloco; *e; e += std::strlen(e) + 1) {
            const std::string s(e);
            const auto igual = s.find('=', 1);
            if (igual != std::string::npos) env[s.substr(0, igual)] = s.substr(igual + 1);
        }
        FreeEnvironmentStringsA(bloco);
    }
    for (const auto& [k, v] : ambiente) {
        if (v.empty())
            env.erase(k);
        else
            env[k] = v;
    }
    std::string bloco;
    for (const auto& [k, v] : env) {
        bloco += k + "=" + v;
        bloco.push_back('\0');
    }
    bloco.push_back('\0');

    // Output goes through files, not pipes, so a chatty child cannot block.
    const std::string saida_p = (pasta / ".saida_teste").string(), erro_p = (pasta / ".erro_teste").string();
    HANDLE entrada = abre_herdavel("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE saida = abre_herdavel(saida_p, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE erro = abre_herdavel(erro_p, GENERIC_WRITE, CREATE_ALWAYS);
    if (entrada == INVALID_HANDLE_VALUE || saida == INVALID_HANDLE_VALUE || erro == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open the standard streams for " + programa);

    STARTUPINFOA inicio{};
    inicio.cb = sizeof inicio;
    inicio.dwFlags = STARTF_USESTDHANDLES;
    inicio.hStdInput = entrada;
    inicio.hStdOutput = saida;
    inicio.hStdError = erro;
    PROCESS_INFORMATION processo{};
    std::string linha = "\"" + programa + "\"";
    // The tests' arguments hold no quote or backslash before one.
    for (const std::string& a : argumentos)
        linha += " \"" + a + "\"";
    const std::string diretorio = pasta.string();
    const BOOL criado = CreateProcessA(nullptr, linha.data(), nullptr, nullptr, TRUE, 0, bloco.data(),
                                       diretorio.c_str(), &inicio, &processo);
    CloseHandle(entrada);
    CloseHandle(saida);
    CloseHandle(erro);
    if (!criado) throw std::runtime_error("cannot start " + programa);
    CloseHandle(processo.hThread);
    WaitForSingleObject(processo.hProcess, INFINITE);
    DWORD codigo = 0;
    GetExitCodeProcess(processo.hProcess, &codigo);
    CloseHandle(processo.hProcess);

    // The whole exit code: Windows exit codes are 32 bits wide.
    resultado_execucao res;
    res.status = static_cast<int>(codigo);
    res.saida = le_arquivo(saida_p);
    res.erro = le_arquivo(erro_p);
    std::filesystem::remove(saida_p);
    std::filesystem::remove(erro_p);
    return res;
}

// Both the C runtime's copy (getenv) and the process environment that
// GetEnvironmentVariableA reads and child processes inherit. _putenv_s
// removes the variable for an empty value; the process environment then gets
// the empty value itself.
void define_variavel(const char* nome, const std::optional<std::string>& valor) {
    if (valor) {
        _putenv_s(nome, valor->c_str());
        SetEnvironmentVariableA(nome, valor->c_str());
    } else {
        _putenv_s(nome, "");
        SetEnvironmentVariableA(nome, nullptr);
    }
}

arquivo_travado::arquivo_travado(const std::filesystem::path& p)
    : recurso_(reinterpret_cast<std::intptr_t>(CreateFileA(p.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                           nullptr))) {
    if (reinterpret_cast<HANDLE>(recurso_) == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot lock " + p.string());
}

arquivo_travado::~arquivo_travado() {
    CloseHandle(reinterpret_cast<HANDLE>(recurso_));
}

}  // namespace apoio
