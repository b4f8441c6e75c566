// Helpers shared by the tests: scratch folders, whole-file reads and writes,
// environment guards, case files, runs of the real executable and mesh
// preparation.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tempo_execucao/nucleos.hpp"

namespace apoio {

// Whether the suite runs on Windows, for the few expectations that differ.
inline constexpr bool em_windows = MALHAS_EM_WINDOWS != 0;

unsigned long identificador_processo();

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

// This process's environment with the changes applied (an empty value removes
// the variable), as "NAME=value" texts for a child process (POSIX only).
std::vector<std::string> ambiente_com(const std::map<std::string, std::string>& mudancas);

// Runs the program in the folder with the given environment changes (an
// empty value removes the variable), the arguments, and standard input from
// /dev/null.
resultado_execucao executa(const std::string& programa, const std::filesystem::path& pasta,
                           const std::map<std::string, std::string>& ambiente = {},
                           const std::vector<std::string>& argumentos = {});

// Runs the real malhas_segmentos in the folder. Unless the caller says
// otherwise, COMSPEC names the stand-in interpreter (logging to
// <pasta>/comandos.log), so no editor or viewer is really started.
resultado_execucao executa_malhas(const std::filesystem::path& pasta,
                                  std::map<std::string, std::string> ambiente = {});

// The run-time error report as the program writes it.
std::string relatorio(const std::string& codigo, const std::string& instrucao, const std::string& mensagem);

// Sets (or, for nullopt, removes) an environment variable of this process
// for the life of the object, where the C runtime (getenv), the process
// environment and child processes all see it.
class variavel_ambiente {
  public:
    variavel_ambiente(const char* nome, const std::optional<std::string>& valor);
    ~variavel_ambiente();
    variavel_ambiente(const variavel_ambiente&) = delete;
    variavel_ambiente& operator=(const variavel_ambiente&) = delete;

  private:
    const char* nome_;
    std::optional<std::string> antigo_;
};
void define_variavel(const char* nome, const std::optional<std::string>& valor);

// The case file of a run, lines ended by CR LF, and writing it (with the
// parameter file when parametros is given) into the folder.
std::string texto_entradas(const std::string& nome, long nvol_ksi, long nvol_eta, int tipo_malha);
void grava_entradas(const std::filesystem::path& pasta, const std::string& nome, long nvol_ksi, long nvol_eta,
                    int tipo_malha, const std::optional<std::string>& parametros = std::nullopt);

// The seven lines of a parameter file (LF line ends).
std::string texto_parametros(int niter_solver, int niter, const std::string& dksi = "1.0",
                             const std::string& deta = "1.0", int tipo_p = 1, int tipo_q = 1);

// A case name as nome_caso holds it: padded with blanks to 100 characters.
std::string nome_preenchido(const std::string& nome);

// The shared state of a fresh run with the given volume counts: sizes
// derived and y, vert_vol and x allocated (not yet filled).
void prepara_malha(std::int32_t nvol_ksi, std::int32_t nvol_eta);

// The program's own smoothing (malhas_segmentos::suaviza_malha) with the
// given counts, on the mesh in the shared state, the other parameters
// already set and the work arrays allocated.
void suaviza_malha(std::int32_t niter, std::int32_t niter_solver);

// The kernels this build holds and this machine runs, from the narrowest.
std::vector<tempo_execucao::nucleo> nucleos();

// Holds a file for writing as another run of the program would (an
// advisory lock on POSIX, a share mode that lets others only read on
// Windows), creating it when missing, for the life of the object.
class arquivo_travado {
  public:
    explicit arquivo_travado(const std::filesystem::path& p);
    ~arquivo_travado();
    arquivo_travado(const arquivo_travado&) = delete;
    arquivo_travado& operator=(const arquivo_travado&) = delete;

  private:
    std::intptr_t recurso_;
};

}  // namespace apoio
