// The floating-point environment of a thread, through the control word of
// the C runtime. On 32-bit x86 it sets the x87 unit and SSE alike, and the
// status of both units is read, since the doubles are computed in SSE.
#include <float.h>

#include "malhas_segmentos/execucao.hpp"

namespace execucao {

namespace {
constexpr unsigned int mascaras_falhas = _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW;
constexpr unsigned int bits_falhas = _SW_INVALID | _SW_ZERODIVIDE | _SW_OVERFLOW;
}  // namespace

ambiente_fp ambiente_fp_atual() {
    ambiente_fp a;
    _controlfp_s(&a.controle, 0, 0);
    return a;
}

void mascara_armadilhas_fp() {
    unsigned int atual = 0;
    _clearfp();
    _controlfp_s(&atual, mascaras_falhas, mascaras_falhas);
}

bool falha_fp_sinalizada() {
#if defined(_M_IX86) || defined(__i386__)
    unsigned int x87 = 0, sse = 0;
    _statusfp2(&x87, &sse);
    return ((x87 | sse) & bits_falhas) != 0;
#else
    return (_statusfp() & bits_falhas) != 0;
#endif
}

void adota_ambiente_fp(const ambiente_fp& a) {
    unsigned int atual = 0;
    _clearfp();
    _controlfp_s(&atual, a.controle, _MCW_EM | _MCW_RC);
}

}  // namespace execucao
