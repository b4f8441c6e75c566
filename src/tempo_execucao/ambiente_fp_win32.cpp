// The floating-point environment of a thread, through the control word of
// the C runtime, which on 32-bit x86 sets the x87 unit and SSE alike. The
// flags are read and cleared through <fenv.h>, which looks at both units
// there: the doubles are computed in SSE. _controlfp_s fails only for mask
// bits that do not exist, so its result goes unread.
#include <float.h>

#include <cfenv>

#include "tempo_execucao/armadilhas.hpp"

namespace tempo_execucao {

namespace {
constexpr unsigned int mascaras_falhas = _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW;
constexpr int flags_falhas = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

void limpa_flags() {
    _clearfp();
    std::feclearexcept(FE_ALL_EXCEPT);
}
}  // namespace

ambiente_fp ambiente_fp_atual() {
    ambiente_fp a;
    _controlfp_s(&a.controle, 0, 0);
    return a;
}

void mascara_armadilhas_fp() {
    unsigned int atual = 0;
    limpa_flags();
    _controlfp_s(&atual, mascaras_falhas, mascaras_falhas);
}

bool falha_fp_sinalizada() {
    return std::fetestexcept(flags_falhas) != 0;
}

void adota_ambiente_fp(const ambiente_fp& a) {
    unsigned int atual = 0;
    limpa_flags();
    _controlfp_s(&atual, a.controle, _MCW_EM | _MCW_RC);
}

}  // namespace tempo_execucao
