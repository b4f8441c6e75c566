// The run-time error report and the floating-point traps.
//
// Every failure of a run ends with the same report on the standard error
// stream and exit status 1:
//
//   <CR LF>
//   run-time error <code>: <statement><CR LF>
//   - <message><CR LF>
//
// Input/output and allocation failures are raised as erro_execucao and
// reported by the program's entry, so that open files are closed on the way
// out. Floating-point faults arrive as a hardware trap and are reported from
// the trap handler itself.
#pragma once

#include <cfenv>
#include <exception>
#include <string>
#include <string_view>

namespace execucao {

// Input/output and allocation codes (the letter F and a number). The README
// lists them with their messages.
inline constexpr int codigo_abrir = 101;           // OPEN: the file cannot be opened
inline constexpr int codigo_mesmo_arquivo = 102;   // OPEN: a result file would be an input or another result
inline constexpr int codigo_fim_de_arquivo = 201;  // READ: end of file before the value
inline constexpr int codigo_inteiro_invalido = 202;      // READ: not an integer
inline constexpr int codigo_inteiro_fora = 203;          // READ: integer outside the 32-bit range
inline constexpr int codigo_real_invalido = 204;         // READ: not a real
inline constexpr int codigo_real_fora = 205;             // READ: real beyond the double range
inline constexpr int codigo_repeticao_zero = 206;        // READ: repeat count of zero
inline constexpr int codigo_valor_longo = 207;           // READ: plain value longer than 260 characters
inline constexpr int codigo_texto_aberto = 208;          // READ: enclosed text without its closing mark
inline constexpr int codigo_nome_nulo = 209;             // READ: case name given as a null value
inline constexpr int codigo_erro_leitura = 210;          // READ: the system refused the read
inline constexpr int codigo_escrever = 301;              // WRITE: a line cannot be written
inline constexpr int codigo_fechar = 401;                // CLOSE: the file cannot be closed
inline constexpr int codigo_memoria_insuficiente = 501;  // ALLOCATE: the system has not the memory
inline constexpr int codigo_tamanho_excessivo = 502;     // ALLOCATE: sizes whose product does not fit

// Floating-point codes (the letter M and a number).
inline constexpr int codigo_fp_invalido = 6101;
inline constexpr int codigo_fp_divisao_zero = 6103;
inline constexpr int codigo_fp_overflow = 6104;

class erro_execucao : public std::exception {
  public:
    erro_execucao(std::string codigo, std::string instrucao, std::string mensagem);
    const char* what() const noexcept override { return mensagem_.c_str(); }
    const std::string& codigo() const { return codigo_; }
    const std::string& instrucao() const { return instrucao_; }
    const std::string& mensagem() const { return mensagem_; }

  private:
    std::string codigo_;
    std::string instrucao_;
    std::string mensagem_;
};

// The report text of an error, with its three CR LF line ends.
std::string relatorio(const erro_execucao& erro);

// Input/output failure: statement is OPEN, READ, WRITE or CLOSE; the report
// names the file in parentheses after it. Control characters in the file
// name or the message are shown as '?'.
[[noreturn]] void falha_es(int codigo, std::string_view instrucao, std::string_view arquivo,
                           std::string_view mensagem);

// Allocation failure, naming the array.
[[noreturn]] void falha_alocacao(std::string_view array, int codigo, std::string_view mensagem);

// Writes the report on the standard error stream.
void escreve_relatorio(const erro_execucao& erro);

// Unmasks the invalid, divide-by-zero and overflow traps and installs the
// handler that reports them and ends the process with status 1. Underflow,
// denormal operands and inexact results stay masked.
void ativa_armadilhas_fp();

// The floating-point environment of a thread: its trap masks and rounding.
// A new thread does not start with the caller's on every platform (on
// Windows its traps are masked), so a thread that computes part of a run is
// given the environment of the thread that started it.
struct ambiente_fp {
#if defined(_WIN32)
    unsigned int controle = 0;
#else
    std::fenv_t ambiente{};
#endif
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

// How many threads a run may use: the environment variable
// MALHAS_LINHAS_EXECUCAO when it holds a positive count (1 forces the
// single-threaded run, for tests and timings), else the processor's hardware
// threads. Read once.
int linhas_de_execucao();

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

}  // namespace execucao
