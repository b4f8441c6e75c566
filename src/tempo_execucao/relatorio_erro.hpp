// The run-time error report.
//
// Every failure of a run ends with the same report on the standard error
// stream and exit status 1:
//
//   <CR LF>
//   run-time error <code>: <statement><CR LF>
//   - <message><CR LF>
//
// Input/output failures and sizes that cannot be allocated are raised as
// erro_execucao, memory the system refuses as falta_memoria (alocacao.hpp),
// and reported by the program's entry. They are an exception rather than an exit
// on the spot so that the unit tests and the fuzzer, which drive the readers
// and writers in-process, can catch a failure and look at its report; a run
// of the program has nothing to unwind. Floating-point faults arrive as a
// hardware trap and are reported from the trap handler itself (armadilhas.hpp).
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace tempo_execucao {

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

// Floating-point codes (the letter M and a number). The trap handler writes
// them inside fixed texts (armadilhas.cpp); the companion program names them
// when its re-run of the smoothing meets the fault a run would end at.
inline constexpr int codigo_fp_invalido = 6101;
inline constexpr int codigo_fp_divisao_zero = 6103;
inline constexpr int codigo_fp_overflow = 6104;

// The floating-point codes (M6101, M6103, M6104) are written only by the trap
// handler, as whole fixed texts (armadilhas.cpp).

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

// Writes the report on the standard error stream, allocating nothing.
void escreve_relatorio_erro(const erro_execucao& erro);

// The two rules by which bytes a user typed reach a report. A file name or
// message keeps its ISO 8859-1 letters and shows control characters as '?';
// a value quoted from an input file is cut to 40 bytes and keeps printable
// ASCII only, in apostrophes. The control characters are those of ISO
// 8859-1: 0x00 to 0x1F, 0x7F and 0x80 to 0x9F.
char visivel(char c);  // the byte, or '?' for a control character
void acrescenta_visivel(std::string& destino, std::string_view texto);
std::string citacao(std::string_view texto);

// Input/output failure: statement is OPEN, READ, WRITE or CLOSE; the report
// names the file in parentheses after it. Control characters in the file
// name or the message are shown as '?'.
[[noreturn]] void falha_es(int codigo, std::string_view instrucao, std::string_view arquivo,
                           std::string_view mensagem);

// A size that cannot be allocated (F502), naming the array. Memory the
// system refuses is a falta_memoria instead (alocacao.hpp), reported F501.
[[noreturn]] void falha_alocacao(std::string_view array, int codigo, std::string_view mensagem);

}  // namespace tempo_execucao
