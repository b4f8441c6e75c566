// How many threads a run may use, and the run's second thread.
#pragma once

#include <cstdint>
#include <functional>

namespace tempo_execucao {

// The environment variable MALHAS_LINHAS_EXECUCAO when it holds a positive
// count (1 forces the single-threaded run, for tests and timings), else the
// processors this process may run on. At most 64. Read once.
int linhas_de_execucao();

enum class resultado_duas_linhas {
    sem_falha,          // both parts ran and raised no fault flag
    falhou,             // both parts ran, and one raised the invalid, divide-by-zero or overflow flag
    sem_segunda_linha,  // no second thread to be had: nothing ran
};

// Runs parte(0) on the calling thread and parte(1) on the run's second
// thread at once, both with the calling thread's floating-point environment
// and the traps masked, and tells whether either raised a fault flag; the
// caller then has its own environment back, flags cleared. A part must not
// throw. The second thread is started at the first call and kept for the
// run, so that its scratch memory stays with it; calls come from one thread
// at a time.
resultado_duas_linhas em_duas_linhas_mascaradas(const std::function<void(int)>& parte);

// faixa(de, ate) over the rows de to ate, of n_por_linha items each, whose
// results do not depend on one another: in two calls at once when the run
// may use two threads and the rows are enough to repay the second, else in
// one. If the two calls raised a fault flag, faixa(de, ate) runs again on
// this thread in the caller's environment, so that a live trap fires at the
// first faulting operation in row order; faixa must therefore give the same
// results when run again, as a computation from inputs it does not write
// does.
void linhas_independentes(std::int64_t de, std::int64_t ate, std::int64_t n_por_linha,
                          const std::function<void(std::int64_t, std::int64_t)>& faixa);

}  // namespace tempo_execucao
