// The floating-point traps on Windows: a vectored exception handler, ahead of
// every other handler.
#include <float.h>
#include <windows.h>

#include <cstring>
#if defined(_MSC_VER)
#include <xmmintrin.h>
#endif

#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/armadilhas.hpp"

namespace tempo_execucao {

namespace {

// The SSE control and status register as it was at the fault: its flag bits
// (0 to 5) that are not masked (bits 7 to 12) name the fault.
DWORD mxcsr_da_falha(const CONTEXT* contexto) {
#if defined(_M_X64) || defined(__x86_64__)
    return contexto->MxCsr;
#elif defined(_M_IX86) || defined(__i386__)
    // 32-bit: the FXSAVE area, where MXCSR sits at byte 24, when the system
    // saved it; otherwise the register itself, whose flags are sticky.
    if ((contexto->ContextFlags & CONTEXT_EXTENDED_REGISTERS) == CONTEXT_EXTENDED_REGISTERS) {
        DWORD mxcsr = 0;
        std::memcpy(&mxcsr, &contexto->ExtendedRegisters[24], sizeof mxcsr);
        return mxcsr;
    }
#if defined(_MSC_VER)
    return _mm_getcsr();
#else
    // stmxcsr itself: the intrinsic needs SSE code generation enabled.
    DWORD mxcsr = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    return mxcsr;
#endif
#else
    (void)contexto;
    return 0;  // no SSE: the fault is reported as invalid
#endif
}

LONG CALLBACK trata_excecao(EXCEPTION_POINTERS* info) {
    DWORD codigo = info->ExceptionRecord->ExceptionCode;
    // STATUS_FLOAT_MULTIPLE_FAULTS and STATUS_FLOAT_MULTIPLE_TRAPS: what a
    // fault in SSE code raises on 32-bit Windows, which does not say which
    // fault it was (64-bit Windows raises the specific codes).
    if (codigo == 0xC00002B4UL || codigo == 0xC00002B5UL) {
        const DWORD mxcsr = mxcsr_da_falha(info->ContextRecord);
        const DWORD ativos = mxcsr & 0x3F & ~((mxcsr >> 7) & 0x3F);
        if (ativos & 0x04)
            codigo = EXCEPTION_FLT_DIVIDE_BY_ZERO;
        else if (ativos & 0x08)
            codigo = EXCEPTION_FLT_OVERFLOW;
        else
            codigo = EXCEPTION_FLT_INVALID_OPERATION;
    }
    switch (codigo) {
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_STACK_CHECK:
            termina_falha_fp(falha_fp::invalida);
        // Integer faults are reported as their floating-point kin, as the
        // POSIX build does with FPE_INTDIV and FPE_INTOVF.
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            termina_falha_fp(falha_fp::divisao_zero);
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_INT_OVERFLOW:
            termina_falha_fp(falha_fp::overflow);
        default:
            return EXCEPTION_CONTINUE_SEARCH;
    }
}

}  // namespace

void ativa_armadilhas_fp() {
    // The system keeps the handler in memory of its own, and refuses it only
    // when it has none: a fault would then end the process unreported, so
    // the run ends at once as any run without the memory it needs does.
    if (AddVectoredExceptionHandler(1, trata_excecao) == nullptr)
        throw falta_memoria("floating-point trap handler");
    // _controlfp_s fails only for mask bits that do not exist.
    unsigned int atual = 0;
    _clearfp();
    _controlfp_s(&atual, ~(_EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW) & _MCW_EM, _MCW_EM);
}

}  // namespace tempo_execucao
