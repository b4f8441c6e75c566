// The floating-point traps on POSIX systems: SIGFPE, with the fault's kind in
// si_code.
#include <signal.h>

#include <cfenv>

#include "tempo_execucao/armadilhas.hpp"

namespace tempo_execucao {

namespace {

void trata_sigfpe(int, siginfo_t* info, void*) {
    switch (info->si_code) {
        // Integer faults are reported as their floating-point kin.
        case FPE_FLTDIV:
        case FPE_INTDIV:
            termina_falha_fp(falha_fp::divisao_zero);
        case FPE_FLTOVF:
        case FPE_INTOVF:
            termina_falha_fp(falha_fp::overflow);
        default:
            termina_falha_fp(falha_fp::invalida);
    }
}

}  // namespace

// sigaction fails only for a signal that cannot be caught, which SIGFPE is
// not. feenableexcept fails only on a processor that cannot trap these
// faults (some ARM cores); x86, on which the program is built and tested,
// always can.
void ativa_armadilhas_fp() {
    struct sigaction acao {};
    acao.sa_sigaction = trata_sigfpe;
    acao.sa_flags = SA_SIGINFO;
    sigemptyset(&acao.sa_mask);
    sigaction(SIGFPE, &acao, nullptr);
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}

}  // namespace tempo_execucao
