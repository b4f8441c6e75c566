// How many threads a run may use, and the run's helper threads.
#pragma once

#include <cstdint>

#include "tempo_execucao/referencia_funcao.hpp"

namespace tempo_execucao {

// The most threads a run uses.
inline constexpr int maximo_fios = 64;

// The environment variable MALHAS_LINHAS_EXECUCAO when it holds a positive
// count (1 forces the single-threaded run, for tests and timings), else the
// processors this process may run on. At most maximo_fios. Read
// once.
int fios_de_execucao();

// Makes ready up to desejadas - 1 helper threads besides the calling one and
// returns how many threads, the calling one included, em_fios_mascarados
// may then use: desejadas, or fewer if the system gives no more threads or
// not the memory for one (1 at least, maximo_fios at most). The
// helpers are started when first wanted and kept for the run, so that their
// scratch memory stays with them.
int reserva_fios(int desejadas);

// Runs parte(0) on the calling thread and parte(1) to parte(n - 1) on n - 1
// helper threads at once (n no more than reserva_fios gave), all with the
// calling thread's floating-point environment and the traps masked, and
// tells whether any of them raised the invalid, divide-by-zero or overflow
// flag; the caller then has its own environment back, flags cleared. A part
// must not throw. Calls come from one thread at a time. Nothing here
// allocates: once the helpers are ready, handing out work cannot fail.
bool em_fios_mascarados(int n, referencia_funcao<void(int)> parte);

// faixa(de, ate) over the rows de to ate, of n_por_linha items each, whose
// results do not depend on one another: in as many calls at once, on
// consecutive runs of rows, as the run may use threads and the rows repay
// them, else in one call. If the calls at once raised a fault flag,
// faixa(de, ate) runs again on this thread in the caller's environment, so
// that a live trap fires at the first faulting operation in row order; faixa
// must therefore give the same results when run again, as a computation from
// inputs it does not write does.
void linhas_independentes(std::int64_t de, std::int64_t ate, std::int64_t n_por_linha,
                          referencia_funcao<void(std::int64_t, std::int64_t)> faixa);

// The same for a faixa that takes the operations of its rows in an order of
// its own (several vertices at once, in a kernel's lanes) and em_ordem, which
// computes the same in the order of the plain loop: faixa runs with the traps
// masked, on this thread too, and if it raised a fault flag, em_ordem(de, ate)
// runs on this thread in the caller's environment, so that a live trap fires
// at the first faulting operation in that order, and masked traps leave the
// flags the plain loop raises. The flags the caller had raised are kept.
void linhas_independentes(std::int64_t de, std::int64_t ate, std::int64_t n_por_linha,
                          referencia_funcao<void(std::int64_t, std::int64_t)> faixa,
                          referencia_funcao<void(std::int64_t, std::int64_t)> em_ordem);

}  // namespace tempo_execucao
