#include "apoio.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace apoio {

pasta_temporaria::pasta_temporaria() {
    static std::atomic<unsigned> contador{0};
    std::random_device rd;
    for (;;) {
        auto p = std::filesystem::temp_directory_path() /
                 ("malhas_teste_" + std::to_string(::getpid()) + "_" + std::to_string(contador++) + "_" +
                  std::to_string(rd() % 100000));
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

resultado_execucao executa(const std::string& programa, const std::filesystem::path& pasta,
                           const std::map<std::string, std::string>& ambiente) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string s(*e);
        const auto igual = s.find('=');
        if (igual != std::string::npos) env[s.substr(0, igual)] = s.substr(igual + 1);
    }
    for (const auto& [k, v] : ambiente) {
        if (v.empty())
            env.erase(k);
        else
            env[k] = v;
    }
    std::vector<std::string> env_textos;
    for (const auto& [k, v] : env)
        env_textos.push_back(k + "=" + v);
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
