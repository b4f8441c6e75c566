#include "apoio.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace apoio {

namespace {
unsigned long identificador_processo() {
#if defined(_WIN32)
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}
}  // namespace

pasta_temporaria::pasta_temporaria() {
    static std::atomic<unsigned> contador{0};
    std::random_device rd;
    for (;;) {
        auto p = std::filesystem::temp_directory_path() /
                 ("malhas_teste_" + std::to_string(identificador_processo()) + "_" +
                  std::to_string(contador++) + "_" + std::to_string(rd() % 100000));
        if (std::filesystem::create_directory(p)) {
            caminho_ = p;
            return;
        }
    }
}

pasta_temporaria::~pasta_temporaria() {
    std::error_code ec;
    std::filesystem::permissions(caminho_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(caminho_, ec);
}

std::string le_arquivo(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream o;
    o << f.rdbuf();
    return o.str();
}

void grava_arquivo(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + p.string());
}

bool existe(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(p, ec));
}

#if defined(_WIN32)

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
                           const std::map<std::string, std::string>& ambiente) {
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

#else

namespace {
std::string le_fd_inteiro(int fd) {
    std::string s;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        s.append(buf, static_cast<std::size_t>(n));
    }
    return s;
}
}  // namespace

std::vector<std::string> ambiente_com(const std::map<std::string, std::string>& mudancas) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string s(*e);
        const auto igual = s.find('=');
        if (igual != std::string::npos) env[s.substr(0, igual)] = s.substr(igual + 1);
    }
    for (const auto& [k, v] : mudancas) {
        if (v.empty())
            env.erase(k);
        else
            env[k] = v;
    }
    std::vector<std::string> textos;
    for (const auto& [k, v] : env)
        textos.push_back(k + "=" + v);
    return textos;
}

resultado_execucao executa(const std::string& programa, const std::filesystem::path& pasta,
                           const std::map<std::string, std::string>& ambiente) {
    std::vector<std::string> env_textos = ambiente_com(ambiente);
    std::vector<char*> envp;
    for (auto& s : env_textos)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    // Output goes through files, not pipes, so a chatty child cannot block.
    const std::string saida_p = (pasta / ".saida_teste").string(), erro_p = (pasta / ".erro_teste").string();
    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    posix_spawn_file_actions_addopen(&acoes, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&acoes, 1, saida_p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&acoes, 2, erro_p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&acoes, pasta.c_str());
    std::string prog = programa;
    char* argv[] = {prog.data(), nullptr};
    pid_t pid = -1;
    const int r = posix_spawn(&pid, prog.c_str(), &acoes, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&acoes);
    if (r != 0) throw std::runtime_error("cannot start " + programa);
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0) {
    }
    resultado_execucao res;
    if (WIFEXITED(st)) res.status = WEXITSTATUS(st);
    if (WIFSIGNALED(st)) res.sinal = WTERMSIG(st);
    const int fs = ::open(saida_p.c_str(), O_RDONLY), fe = ::open(erro_p.c_str(), O_RDONLY);
    res.saida = le_fd_inteiro(fs);
    res.erro = le_fd_inteiro(fe);
    ::close(fs);
    ::close(fe);
    ::unlink(saida_p.c_str());
    ::unlink(erro_p.c_str());
    return res;
}

#endif

resultado_execucao executa_malhas(const std::filesystem::path& pasta,
                                  std::map<std::string, std::string> ambiente) {
    if (!ambiente.count("COMSPEC")) ambiente["COMSPEC"] = MALHAS_INTERPRETADOR_FALSO;
    if (!ambiente.count("MALHAS_LOG")) ambiente["MALHAS_LOG"] = (pasta / "comandos.log").string();
    return executa(MALHAS_EXECUTAVEL, pasta, ambiente);
}

std::string relatorio(const std::string& codigo, const std::string& instrucao, const std::string& mensagem) {
    return "\r\nrun-time error " + codigo + ": " + instrucao + "\r\n- " + mensagem + "\r\n";
}

}  // namespace apoio

#if defined(_WIN32)
int setenv(const char* nome, const char* valor, int substitui) {
    if (!substitui && std::getenv(nome) != nullptr) return 0;
    // _putenv_s removes the variable for an empty value; the process
    // environment then gets the empty value itself.
    _putenv_s(nome, valor);
    return SetEnvironmentVariableA(nome, valor) ? 0 : -1;
}

int unsetenv(const char* nome) {
    _putenv_s(nome, "");
    SetEnvironmentVariableA(nome, nullptr);
    return 0;
}
#endif
