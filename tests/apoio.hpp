// Helpers shared by the tests: scratch folders, whole-file reads and writes,
// and runs of the real executable.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace apoio {

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class pasta_temporaria {
  public:
    pasta_temporaria();
    ~pasta_temporaria();
    pasta_temporaria(const pasta_temporaria&) = delete;
    pasta_temporaria& operator=(const pasta_temporaria&) = delete;
    const std::filesystem::path& caminho() const { return caminho_; }
    std::filesystem::path operator/(const std::string& nome) const { return caminho_ / nome; }

  private:
    std::filesystem::path caminho_;
};

std::string le_arquivo(const std::filesystem::path& p);  // bytes as they are
void grava_arquivo(const std::filesystem::path& p, const std::string& bytes);
bool existe(const std::filesystem::path& p);

struct resultado_execucao {
    int status = -1;    // exit status, or -1 when the process did not exit normally
    int sinal = 0;      // the signal that ended it, if any
    std::string saida;  // standard output
    std::string erro;   // standard error
};

#if !defined(_WIN32)
// This process's environment with the changes applied (an empty value removes
// the variable), as "NAME=value" texts for a child process.
std::vector<std::string> ambiente_com(const std::map<std::string, std::string>& mudancas);
#endif

// Runs the program in the folder with the given environment changes (an
// empty value removes the variable) and standard input from /dev/null.
resultado_execucao executa(const std::string& programa, const std::filesystem::path& pasta,
                           const std::map<std::string, std::string>& ambiente = {});

// Runs the real malhas_segmentos in the folder. Unless the caller says
// otherwise, COMSPEC names the stand-in interpreter (logging to
// <pasta>/comandos.log), so no editor or viewer is really started.
resultado_execucao executa_malhas(const std::filesystem::path& pasta,
                                  std::map<std::string, std::string> ambiente = {});

// The run-time error report as the program writes it.
std::string relatorio(const std::string& codigo, const std::string& instrucao, const std::string& mensagem);

}  // namespace apoio

#if defined(_WIN32)
// The POSIX calls by which the tests change their own environment. They set
// the variable both in the C runtime's copy (getenv) and in the process
// environment that GetEnvironmentVariableA reads and child processes
// inherit; an empty value stays a variable with an empty value.
int setenv(const char* nome, const char* valor, int substitui);
int unsetenv(const char* nome);
#endif
