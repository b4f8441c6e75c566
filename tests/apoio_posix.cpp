// The helpers that need POSIX calls: child processes, the process id and the
// environment.
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "apoio.hpp"

extern char** environ;

namespace apoio {

unsigned long identificador_processo() {
    return static_cast<unsigned long>(::getpid());
}

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
                           const std::map<std::string, std::string>& ambiente,
                           const std::vector<std::string>& argumentos) {
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
    std::vector<std::string> textos{programa};
    textos.insert(textos.end(), argumentos.begin(), argumentos.end());
    std::vector<char*> argv;
    for (auto& t : textos)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int r = posix_spawn(&pid, programa.c_str(), &acoes, nullptr, argv.data(), envp.data());
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

void define_variavel(const char* nome, const std::optional<std::string>& valor) {
    if (valor)
        ::setenv(nome, valor->c_str(), 1);
    else
        ::unsetenv(nome);
}

arquivo_travado::arquivo_travado(const std::filesystem::path& p)
    : recurso_(::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)) {
    if (recurso_ < 0 || ::flock(static_cast<int>(recurso_), LOCK_EX | LOCK_NB) != 0)
        throw std::runtime_error("cannot lock " + p.string());
}

arquivo_travado::~arquivo_travado() {
    ::close(static_cast<int>(recurso_));
}

}  // namespace apoio
