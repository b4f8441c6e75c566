// Shared state of one run: case values, derived sizes, elliptic parameters
// and every array. The other modules read and write it directly; what the
// input files hold enters it through malhas_segmentos::define_estado.
//
// Numbering starts at 1: every vertex array is allocated with one spare
// element in front, so x[v] is vertex v for v = 1 .. nvert, and row p of
// vert_vol (p = 1 .. nvol) holds corner slot s in vert_vol[p][s - 1].
#pragma once

#include <cstdint>
#include <string>

#include "variaveis/numeracao.hpp"

namespace variaveis {

inline constexpr int comprimento_nome_caso = 100;

// Case values, as le_entradas reads them; set with the derived sizes by
// malhas_segmentos::define_estado, the one door into this state.
extern std::string nome_caso;  // once read, exactly 100 characters, blank-padded
extern std::int32_t nvol_ksi;
extern std::int32_t nvol_eta;
extern std::int32_t tipo_malha;

// Derived sizes (tamanhos_de), formed in 32-bit two's complement.
extern std::int32_t nvert_ksi;
extern std::int32_t nvert_eta;
extern std::int32_t nvert;
extern std::int32_t nvol;

// Elliptic parameters, as le_entrada_eq_elipticas reads them (define_estado),
// mesh kind 2 only.
extern std::int32_t niter_solver;
extern std::int32_t niter;
extern double dksi;
extern double deta;
extern std::int32_t tipo_p;
extern std::int32_t tipo_q;

// Arrays, allocated once by the run driver and kept until the program ends.
extern double* x;
extern double* y;
extern std::int32_t (*vert_vol)[4];

extern double* x_ksi;
extern double* y_eta;
extern double* y_ksi;
extern double* x_eta;
extern double* beta;
extern double* gama;
extern double* jac;
extern double* alfa;
extern double* ae;
extern double* aw;
extern double* an;
extern double* as;
extern double* ane;
extern double* anw;
extern double* ase;
extern double* asw;
extern double* ap;
extern double* q_fonte;
extern double* p_fonte;

// Derives nvert_ksi, nvert_eta, nvol and nvert from the two volume counts
// (tamanhos_de).
void deriva_tamanhos();

// Allocates n doubles (n + 1 with the spare front element), cleared to zero.
// A count below 1 gives an array of no usable element. An allocation the
// system cannot satisfy ends the run with the allocation report naming the
// array (nome, a static text).
double* aloca_real(const char* nome, std::int32_t n);
std::int32_t (*aloca_vert_vol(std::int32_t n))[4];

// The allocations of the run driver: y, vert_vol and x, then the nineteen
// work arrays of the elliptic branch, each in the order the run relies on.
void aloca_malha();
void aloca_trabalho_eliptico();

// Returns the state to that of a fresh start, releasing every array. Only the
// tests and the fuzz target use it (a run allocates once and keeps everything
// until it ends); it stays beside the allocations because it must release
// the arrays as they were allocated, and reset every variable declared here.
void reinicia();

// The nineteen work arrays of the elliptic branch, in the order the run
// allocates them: each one's name and where the shared state keeps it. The
// one list of them.
struct array_trabalho {
    const char* nome;
    double** local;
};
inline constexpr int n_arrays_trabalho = 19;
extern const array_trabalho arrays_trabalho[n_arrays_trabalho];

// The shared state as a value: the sizes, the elliptic parameters and the
// arrays the operations read and write. Put in place with aponta_estado, a
// strip or a copy of a mesh is computed by the operations themselves, as they
// compute the run's mesh; the run's own state is never one of these.
struct estado {
    std::int32_t nvol_ksi = 0, nvol_eta = 0, nvert_ksi = 0, nvert_eta = 0, nvert = 0, nvol = 0;
    std::int32_t niter_solver = 0, niter = 0;
    double dksi = 0.0, deta = 0.0;
    std::int32_t tipo_p = 0, tipo_q = 0;
    double* x = nullptr;
    double* y = nullptr;
    std::int32_t (*vert_vol)[4] = nullptr;
    double* trabalho[n_arrays_trabalho] = {};  // in the order of arrays_trabalho
};

// A state of nvol_ksi x nvol_eta volumes over the given coordinates, its
// sizes derived as the run derives them; parameters and arrays left unset.
estado estado_de_malha(std::int32_t nvol_ksi, std::int32_t nvol_eta, double* x, double* y);
estado estado_atual();
void aponta_estado(const estado& e);

// Puts a state in place for as long as the object lives, and the one that
// was there back after.
class estado_emprestado {
  public:
    explicit estado_emprestado(const estado& e) : anterior_(estado_atual()) { aponta_estado(e); }
    ~estado_emprestado() { aponta_estado(anterior_); }
    estado_emprestado(const estado_emprestado&) = delete;
    estado_emprestado& operator=(const estado_emprestado&) = delete;

  private:
    estado anterior_;
};

}  // namespace variaveis
