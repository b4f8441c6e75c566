// The floating-point environment of a thread, through <fenv.h> and the
// traps of glibc. Their results go unread: on x86 these calls fail only for
// flags that do not exist, and every environment set here is one read from
// the processor.
#include <cfenv>

#include "tempo_execucao/armadilhas.hpp"

namespace tempo_execucao {

namespace {
constexpr int falhas_fp = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
}

ambiente_fp ambiente_fp_atual() {
    ambiente_fp a;
    std::fegetenv(&a.ambiente);
    return a;
}

void mascara_armadilhas_fp() {
    std::feclearexcept(FE_ALL_EXCEPT);
    fedisableexcept(falhas_fp);
}

bool falha_fp_sinalizada() {
    return std::fetestexcept(falhas_fp) != 0;
}

void adota_ambiente_fp(const ambiente_fp& a) {
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetenv(&a.ambiente);
    // The saved environment may carry flags of its own: a live trap with its
    // flag set must not fire at the next operation.
    std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace tempo_execucao
