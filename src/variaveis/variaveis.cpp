#include "variaveis/variaveis.hpp"

#include <cstdlib>
#include <limits>

#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/relatorio_erro.hpp"

namespace variaveis {

// Empty until the case file is read: a global built before main must not
// allocate, for that allocation could fail where nothing can report it.
std::string nome_caso;
std::int32_t nvol_ksi = 0;
std::int32_t nvol_eta = 0;
std::int32_t tipo_malha = 0;

std::int32_t nvert_ksi = 0;
std::int32_t nvert_eta = 0;
std::int32_t nvert = 0;
std::int32_t nvol = 0;

std::int32_t niter_solver = 0;
std::int32_t niter = 0;
double dksi = 0.0;
double deta = 0.0;
std::int32_t tipo_p = 0;
std::int32_t tipo_q = 0;

double* x = nullptr;
double* y = nullptr;
std::int32_t (*vert_vol)[4] = nullptr;

double* x_ksi = nullptr;
double* y_eta = nullptr;
double* y_ksi = nullptr;
double* x_eta = nullptr;
double* beta = nullptr;
double* gama = nullptr;
double* jac = nullptr;
double* alfa = nullptr;
double* ae = nullptr;
double* aw = nullptr;
double* an = nullptr;
double* as = nullptr;
double* ane = nullptr;
double* anw = nullptr;
double* ase = nullptr;
double* asw = nullptr;
double* ap = nullptr;
double* q_fonte = nullptr;
double* p_fonte = nullptr;

void deriva_tamanhos() {
    const tamanhos t = tamanhos_de(nvol_ksi, nvol_eta);
    nvert_ksi = t.nvert_ksi;
    nvert_eta = t.nvert_eta;
    nvol = t.nvol;
    nvert = t.nvert;
}

namespace {

// Counts whose true product does not fit in 32 bits would wrap into a small
// or negative size and leave the loops running past the arrays; they are
// refused before anything is allocated.
void confere_produto(const char* nome, std::int32_t a, std::int32_t b) {
    if (!produto_cabe(a, b)) {
        tempo_execucao::falha_alocacao(
            nome, tempo_execucao::codigo_tamanho_excessivo,
            "array size beyond the supported range (" + std::to_string(a) + " x " + std::to_string(b) + ")");
    }
}

void* aloca_bytes(const char* nome, std::int32_t n, std::size_t tamanho_elemento) {
    const std::uint64_t elementos = n > 0 ? static_cast<std::uint64_t>(n) + 1 : 1;
    if (elementos > std::numeric_limits<std::size_t>::max() / tamanho_elemento) {
        tempo_execucao::falha_alocacao(
            nome, tempo_execucao::codigo_tamanho_excessivo,
            "array size beyond the supported range (" + std::to_string(n) + " elements)");
    }
    void* p = std::calloc(static_cast<std::size_t>(elementos), tamanho_elemento);
    if (p == nullptr) throw tempo_execucao::falta_memoria(nome);
    return p;
}

}  // namespace

double* aloca_real(const char* nome, std::int32_t n) {
    return static_cast<double*>(aloca_bytes(nome, n, sizeof(double)));
}

std::int32_t (*aloca_vert_vol(std::int32_t n))[4] {
    return static_cast<std::int32_t(*)[4]>(aloca_bytes("vert_vol", n, 4 * sizeof(std::int32_t)));
}

void aloca_malha() {
    confere_produto("y", nvert_ksi, nvert_eta);
    confere_produto("vert_vol", nvol_ksi, nvol_eta);
    y = aloca_real("y", nvert);
    vert_vol = aloca_vert_vol(nvol);
    x = aloca_real("x", nvert);
}

const array_trabalho arrays_trabalho[n_arrays_trabalho] = {
    {"x_ksi", &x_ksi}, {"y_eta", &y_eta}, {"y_ksi", &y_ksi},     {"x_eta", &x_eta},    {"beta", &beta},
    {"gama", &gama},   {"jac", &jac},     {"alfa", &alfa},       {"ae", &ae},          {"aw", &aw},
    {"an", &an},       {"as", &as},       {"ane", &ane},         {"anw", &anw},        {"ase", &ase},
    {"asw", &asw},     {"ap", &ap},       {"q_fonte", &q_fonte}, {"p_fonte", &p_fonte}};

void aloca_trabalho_eliptico() {
    for (const array_trabalho& a : arrays_trabalho)
        *a.local = aloca_real(a.nome, nvert);
}

void reinicia() {
    for (double** p : {&x, &y}) {
        std::free(*p);
        *p = nullptr;
    }
    for (const array_trabalho& a : arrays_trabalho) {
        std::free(*a.local);
        *a.local = nullptr;
    }
    std::free(vert_vol);
    vert_vol = nullptr;
    nome_caso.assign(comprimento_nome_caso, ' ');
    nvol_ksi = nvol_eta = tipo_malha = 0;
    nvert_ksi = nvert_eta = nvert = nvol = 0;
    niter_solver = niter = tipo_p = tipo_q = 0;
    dksi = deta = 0.0;
}

estado estado_de_malha(std::int32_t nvol_ksi_, std::int32_t nvol_eta_, double* x_, double* y_) {
    const tamanhos t = tamanhos_de(nvol_ksi_, nvol_eta_);
    estado e;
    e.nvol_ksi = t.nvol_ksi;
    e.nvol_eta = t.nvol_eta;
    e.nvert_ksi = t.nvert_ksi;
    e.nvert_eta = t.nvert_eta;
    e.nvol = t.nvol;
    e.nvert = t.nvert;
    e.x = x_;
    e.y = y_;
    return e;
}

estado estado_atual() {
    estado e;
    e.nvol_ksi = nvol_ksi;
    e.nvol_eta = nvol_eta;
    e.nvert_ksi = nvert_ksi;
    e.nvert_eta = nvert_eta;
    e.nvert = nvert;
    e.nvol = nvol;
    e.niter_solver = niter_solver;
    e.niter = niter;
    e.dksi = dksi;
    e.deta = deta;
    e.tipo_p = tipo_p;
    e.tipo_q = tipo_q;
    e.x = x;
    e.y = y;
    e.vert_vol = vert_vol;
    for (int k = 0; k < n_arrays_trabalho; ++k)
        e.trabalho[k] = *arrays_trabalho[k].local;
    return e;
}

void aponta_estado(const estado& e) {
    nvol_ksi = e.nvol_ksi;
    nvol_eta = e.nvol_eta;
    nvert_ksi = e.nvert_ksi;
    nvert_eta = e.nvert_eta;
    nvert = e.nvert;
    nvol = e.nvol;
    niter_solver = e.niter_solver;
    niter = e.niter;
    dksi = e.dksi;
    deta = e.deta;
    tipo_p = e.tipo_p;
    tipo_q = e.tipo_q;
    x = e.x;
    y = e.y;
    vert_vol = e.vert_vol;
    for (int k = 0; k < n_arrays_trabalho; ++k)
        *arrays_trabalho[k].local = e.trabalho[k];
}

}  // namespace variaveis
