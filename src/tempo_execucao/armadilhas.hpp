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

// Unmasks the three traps and installs the handler that reports them.
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

// The fault kinds, and the handler's last step: writes the fixed MATH report
// of the kind and ends the process with status 1. Safe in a signal handler.
enum class falha_fp { invalida, divisao_zero, overflow };
[[noreturn]] void termina_falha_fp(falha_fp tipo);

}  // namespace tempo_execucao
