// Shared state of one run: case values, derived sizes, elliptic parameters
// and every array. The other modules read and write it directly.
//
// Numbering starts at 1: every vertex array is allocated with one spare
// element in front, so x[v] is vertex v for v = 1 .. nvert, and row p of
// vert_vol (p = 1 .. nvol) holds corner slot s in vert_vol[p][s - 1].
#pragma once

#include <cstdint>
#include <string>

namespace variaveis {

inline constexpr int comprimento_nome_caso = 100;

// Case values (le_entradas).
extern std::string nome_caso;  // once read, exactly 100 characters, blank-padded
extern std::int32_t nvol_ksi;
extern std::int32_t nvol_eta;
extern std::int32_t tipo_malha;

// Derived sizes (run driver), formed in 32-bit two's complement.
extern std::int32_t nvert_ksi;
extern std::int32_t nvert_eta;
extern std::int32_t nvert;
extern std::int32_t nvol;

// Elliptic parameters (le_entrada_eq_elipticas), mesh kind 2 only.
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

// 32-bit two's complement sum and product, as the sizes are defined; done in
// unsigned arithmetic because signed overflow is undefined in C++.
std::int32_t soma32(std::int32_t a, std::int32_t b);
std::int32_t produto32(std::int32_t a, std::int32_t b);

// Derives nvert_ksi, nvert_eta, nvol and nvert from the two volume counts.
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
// tests use it: a run allocates once and keeps everything until it ends.
void reinicia();

}  // namespace variaveis
