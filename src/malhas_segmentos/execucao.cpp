#include "malhas_segmentos/execucao.hpp"

#include <cfenv>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <float.h>
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace execucao {

erro_execucao::erro_execucao(std::string codigo, std::string instrucao, std::string mensagem)
    : codigo_(std::move(codigo)), instrucao_(std::move(instrucao)), mensagem_(std::move(mensagem)) {}

std::string relatorio(const erro_execucao& erro) {
    return "\r\nrun-time error " + erro.codigo() + ": " + erro.instrucao() + "\r\n- " + erro.mensagem() +
           "\r\n";
}

void falha_es(int codigo, std::string_view instrucao, std::string_view arquivo, std::string_view mensagem) {
    std::string inst(instrucao);
    inst += " (";
    inst += arquivo;
    inst += ')';
    throw erro_execucao("F" + std::to_string(codigo), std::move(inst), std::string(mensagem));
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

LONG CALLBACK trata_excecao(EXCEPTION_POINTERS* info) {
    DWORD codigo = info->ExceptionRecord->ExceptionCode;
    if (codigo == 0xC00002B4UL || codigo == 0xC00002B5UL) {
        // "Multiple faults/traps" from SSE code: the saved MXCSR tells which.
#if defined(_M_X64) || defined(__x86_64__)
        DWORD mxcsr = info->ContextRecord->MxCsr;
#else
        DWORD mxcsr = *reinterpret_cast<DWORD*>(&info->ContextRecord->ExtendedRegisters[24]);
#endif
        DWORD ativos = mxcsr & 0x3F & ~((mxcsr >> 7) & 0x3F);
        if (ativos & 0x01)
            codigo = EXCEPTION_FLT_INVALID_OPERATION;
        else if (ativos & 0x04)
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
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
            termina_com(relatorio_divisao, sizeof relatorio_divisao - 1);
        case EXCEPTION_FLT_OVERFLOW:
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
