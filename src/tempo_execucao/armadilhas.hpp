// The floating-point traps.
//
// Invalid operation, division by zero and overflow are trapped from the start
// of the program: the faulting operation itself ends the run with the MATH
// report (codes M6101, M6103, M6104) and exit status 1, from the trap handler.
// Underflow, denormal operands and inexact results pass silently.
#pragma once

#include <cfenv>
#include <cstddef>

namespace tempo_execucao {

// Unmasks the three traps and installs the handler that reports them. Throws
// falta_memoria when the system has not the memory for the handler (Windows).
void ativa_armadilhas_fp();

// Runs f with the traps masked and the flags that f raises discarded: for
// library conversions (text to number) whose out-of-range results the caller
// checks itself and which must not end the run as a fault.
template <class F>
auto sem_armadilhas(F&& f) -> decltype(f()) {
    struct guarda {
        std::fenv_t salvo;
        guarda() { std::feholdexcept(&salvo); }
        ~guarda() {
            std::feclearexcept(FE_ALL_EXCEPT);
            std::fesetenv(&salvo);
        }
    } g;
    return f();
}

// The floating-point environment of a thread: its trap masks and rounding.
// A new thread does not start with the caller's on every platform (on
// Windows its traps are masked), so a thread that computes part of a run is
// given the environment of the thread that started it. Each platform uses
// the member that holds its environment.
struct ambiente_fp {
    unsigned int controle = 0;  // the C runtime's control word (Windows)
    std::fenv_t ambiente{};     // <fenv.h> (POSIX)
};

// The calling thread's environment.
ambiente_fp ambiente_fp_atual();

// Clears the flags and masks the invalid, divide-by-zero and overflow traps
// of the calling thread: work run this way raises flags instead of ending the
// run, and falha_fp_sinalizada tells whether it would have ended it.
void mascara_armadilhas_fp();

// Whether the invalid, divide-by-zero or overflow flag of the calling thread
// is set.
bool falha_fp_sinalizada();

// Clears the flags of the calling thread and gives it the environment a.
void adota_ambiente_fp(const ambiente_fp& a);

// The fault kinds, and the handler's last step: writes the fixed MATH report
// of the kind and ends the process with status 1. Safe in a signal handler.
enum class falha_fp { invalida, divisao_zero, overflow };
[[noreturn]] void termina_falha_fp(falha_fp tipo);

}  // namespace tempo_execucao
