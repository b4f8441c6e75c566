#include "apoio.hpp"

#include "malhas_segmentos/suavizacao.hpp"

#include "coef/coef.hpp"
#include "metricas/metricas.hpp"
#include "solvers/solvers.hpp"
#include "variaveis/variaveis.hpp"

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

resultado_execucao executa_malhas(const std::filesystem::path& pasta,
                                  std::map<std::string, std::string> ambiente) {
    if (!ambiente.count("COMSPEC")) ambiente["COMSPEC"] = MALHAS_INTERPRETADOR_FALSO;
    if (!ambiente.count("MALHAS_LOG")) ambiente["MALHAS_LOG"] = (pasta / "comandos.log").string();
    return executa(MALHAS_EXECUTAVEL, pasta, ambiente);
}

std::string relatorio(const std::string& codigo, const std::string& instrucao, const std::string& mensagem) {
    return "\r\nrun-time error " + codigo + ": " + instrucao + "\r\n- " + mensagem + "\r\n";
}

variavel_ambiente::variavel_ambiente(const char* nome, const std::optional<std::string>& valor)
    : nome_(nome) {
    if (const char* v = std::getenv(nome)) antigo_ = v;
    define_variavel(nome, valor);
}

variavel_ambiente::~variavel_ambiente() {
    define_variavel(nome_, antigo_);
}

std::string texto_entradas(const std::string& nome, long nvol_ksi, long nvol_eta, int tipo_malha) {
    return nome + "\r\n" + std::to_string(nvol_ksi) + "\r\n" + std::to_string(nvol_eta) + "\r\n" +
           std::to_string(tipo_malha) + "\r\n";
}

void grava_entradas(const std::filesystem::path& pasta, const std::string& nome, long nvol_ksi, long nvol_eta,
                    int tipo_malha, const std::optional<std::string>& parametros) {
    grava_arquivo(pasta / "entradas.txt", texto_entradas(nome, nvol_ksi, nvol_eta, tipo_malha));
    if (parametros) grava_arquivo(pasta / "entrada_eq_elipticas.txt", *parametros);
}

std::string texto_parametros(int niter_solver, int niter, const std::string& dksi, const std::string& deta,
                             int tipo_p, int tipo_q) {
    return std::to_string(niter_solver) + "\n" + std::to_string(niter) + "\n0.001\n" + dksi + "\n" + deta +
           "\n" + std::to_string(tipo_p) + "\n" + std::to_string(tipo_q) + "\n";
}

std::string nome_preenchido(const std::string& nome) {
    return nome + std::string(nome.size() < 100 ? 100 - nome.size() : 0, ' ');
}

void prepara_malha(std::int32_t nvol_ksi, std::int32_t nvol_eta) {
    variaveis::reinicia();
    variaveis::nvol_ksi = nvol_ksi;
    variaveis::nvol_eta = nvol_eta;
    variaveis::deriva_tamanhos();
    variaveis::aloca_malha();
}

std::vector<tempo_execucao::nucleo> nucleos() {
    std::vector<tempo_execucao::nucleo> r;
    for (tempo_execucao::nucleo n : tempo_execucao::nucleos)
        if (tempo_execucao::nucleo_disponivel(n)) r.push_back(n);
    return r;
}

void suaviza_malha(std::int32_t niter, std::int32_t niter_solver) {
    variaveis::niter = niter;
    variaveis::niter_solver = niter_solver;
    malhas_segmentos::suaviza_malha();
}

}  // namespace apoio
