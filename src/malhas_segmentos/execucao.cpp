#include "malhas_segmentos/execucao.hpp"

#include <cfenv>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <float.h>
#include <io.h>
#include <windows.h>
#if defined(_MSC_VER)
#include <xmmintrin.h>
#endif
#else
#include <signal.h>
#include <unistd.h>
#endif

// The result files depend on every rounding: on 32-bit x86 the doubles must
// be computed in SSE2 registers, not in the x87 unit's extended precision,
// or the files differ from those of every other build.
#if (defined(__i386__) && !defined(__SSE2_MATH__)) || \
    (defined(_MSC_VER) && defined(_M_IX86) && (!defined(_M_IX86_FP) || _M_IX86_FP < 2))
#error "32-bit x86 needs SSE2 arithmetic for doubles: -msse2 -mfpmath=sse (g++, clang++) or /arch:SSE2 (MSVC)"
#endif

namespace execucao {

erro_execucao::erro_execucao(std::string codigo, std::string instrucao, std::string mensagem)
    : codigo_(std::move(codigo)), instrucao_(std::move(instrucao)), mensagem_(std::move(mensagem)) {}

std::string relatorio(const erro_execucao& erro) {
    return "\r\nrun-time error " + erro.codigo() + ": " + erro.instrucao() + "\r\n- " + erro.mensagem() +
           "\r\n";
}

namespace {

// A result file is named after the case, so a report can carry bytes that
// the user typed into the case file: a NUL, a lone CR, a terminal escape.
// Those are shown as '?', so the report stays three plain lines and cannot
// drive the terminal it is written to. Letters of ISO 8859-1 stay as they are.
void acrescenta_visivel(std::string& destino, std::string_view texto) {
    for (const char c : texto) {
        const auto b = static_cast<unsigned char>(c);
        destino += (b < 0x20 || b == 0x7f) ? '?' : c;
    }
}

}  // namespace

void falha_es(int codigo, std::string_view instrucao, std::string_view arquivo, std::string_view mensagem) {
    std::string inst(instrucao);
    inst += " (";
    acrescenta_visivel(inst, arquivo);
    inst += ')';
    std::string msg;
    acrescenta_visivel(msg, mensagem);
    throw erro_execucao("F" + std::to_string(codigo), std::move(inst), std::move(msg));
}

void falha_alocacao(std::string_view array, int codigo, std::string_view mensagem) {
    std::string inst = "ALLOCATE (";
    inst += array;
    inst += ')';
    throw erro_execucao("F" + std::to_string(codigo), std::move(inst), std::string(mensagem));
}

void escreve_relatorio(const erro_execucao& erro) {
    const std::string texto = relatorio(erro);
    std::fflush(stdout);
#if defined(_WIN32)
    // The C runtime opens stderr in text mode, which would put a second CR
    // before the LF of every CR LF the report already has.
    std::fflush(stderr);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::fwrite(texto.data(), 1, texto.size(), stderr);
    std::fflush(stderr);
}

namespace {

// The floating-point reports are fixed texts so that the trap handler can
// write them with one async-signal-safe call.
constexpr char relatorio_invalido[] = "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n";
constexpr char relatorio_divisao[] =
    "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n";
constexpr char relatorio_overflow[] =
    "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n";

#if defined(_WIN32)

[[noreturn]] void termina_com(const char* texto, std::size_t n) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD escritos = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE)
        WriteFile(err, texto, static_cast<DWORD>(n), &escritos, nullptr);
    ExitProcess(1);
}

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
            termina_com(relatorio_invalido, sizeof relatorio_invalido - 1);
        // Integer faults are reported as their floating-point kin, as the
        // POSIX build does with FPE_INTDIV and FPE_INTOVF.
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            termina_com(relatorio_divisao, sizeof relatorio_divisao - 1);
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_INT_OVERFLOW:
            termina_com(relatorio_overflow, sizeof relatorio_overflow - 1);
        default:
            return EXCEPTION_CONTINUE_SEARCH;
    }
}

#else

[[noreturn]] void termina_com(const char* texto, std::size_t n) {
    while (n > 0) {
        const ssize_t escritos = ::write(2, texto, n);
        if (escritos <= 0) break;
        texto += escritos;
        n -= static_cast<std::size_t>(escritos);
    }
    _exit(1);
}

void trata_sigfpe(int, siginfo_t* info, void*) {
    switch (info->si_code) {
        case FPE_FLTDIV:
        case FPE_INTDIV:
            termina_com(relatorio_divisao, sizeof relatorio_divisao - 1);
        case FPE_FLTOVF:
        case FPE_INTOVF:
            termina_com(relatorio_overflow, sizeof relatorio_overflow - 1);
        default:
            termina_com(relatorio_invalido, sizeof relatorio_invalido - 1);
    }
}

#endif

}  // namespace

void ativa_armadilhas_fp() {
#if defined(_WIN32)
    AddVectoredExceptionHandler(1, trata_excecao);
    unsigned int atual = 0;
    _clearfp();
    _controlfp_s(&atual, ~(_EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW) & _MCW_EM, _MCW_EM);
#else
    struct sigaction acao {};
    acao.sa_sigaction = trata_sigfpe;
    acao.sa_flags = SA_SIGINFO;
    sigemptyset(&acao.sa_mask);
    sigaction(SIGFPE, &acao, nullptr);
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
#endif
}

}  // namespace execucao
