#include "tempo_execucao/armadilhas.hpp"

#include "tempo_execucao/sistema.hpp"

// The result files depend on every rounding: on 32-bit x86 the doubles must
// be computed in SSE2 registers, not in the x87 unit's extended precision,
// or the files differ from those of every other build. The build adds the
// flags; this stops a build that lost them.
#if (defined(__i386__) && !defined(__SSE2_MATH__)) || \
    (defined(_MSC_VER) && defined(_M_IX86) && (!defined(_M_IX86_FP) || _M_IX86_FP < 2))
#error "32-bit x86 needs SSE2 arithmetic for doubles: -msse2 -mfpmath=sse (g++, clang++) or /arch:SSE2 (MSVC)"
#endif

namespace tempo_execucao {

namespace {

// Fixed texts, so that the handler writes them with one async-signal-safe call.
constexpr char relatorio_invalido[] = "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n";
constexpr char relatorio_divisao[] =
    "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n";
constexpr char relatorio_overflow[] =
    "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n";

}  // namespace

void termina_falha_fp(falha_fp tipo) {
    switch (tipo) {
        case falha_fp::divisao_zero:
            sistema::termina_com(relatorio_divisao, sizeof relatorio_divisao - 1);
        case falha_fp::overflow:
            sistema::termina_com(relatorio_overflow, sizeof relatorio_overflow - 1);
        case falha_fp::invalida:
            break;
    }
    sistema::termina_com(relatorio_invalido, sizeof relatorio_invalido - 1);
}

}  // namespace tempo_execucao
