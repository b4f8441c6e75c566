// Failures of malhas_qualidade. Every failure is raised as falha_qualidade,
// which names the file (and the line, when there is one), and is reported by
// the program's entry on the standard error stream with exit status 1. A
// command-line mistake is erro_uso, exit status 2. The other exit statuses
// are below.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "tempo_execucao/relatorio_erro.hpp"

namespace malhas_qualidade {

struct falha_qualidade : std::exception {
    std::string arquivo;     // empty when the failure concerns no file
    std::int64_t linha = 0;  // 0 when the failure concerns no single line
    std::string mensagem;
    std::string texto;  // the whole message, as reported
    const char* what() const noexcept override { return texto.c_str(); }
};

struct erro_uso : std::exception {
    std::string texto;
    const char* what() const noexcept override { return texto.c_str(); }
};

// The exit statuses beyond 1 (a failure) and 2 (a usage error). A run whose
// summary holds an undefined measure or residual somewhere, or whose
// solver-grade mesh reached its iteration limit before it settled: a script
// can tell it from a complete one.
inline constexpr int status_indefinido = 4;
// A run with --verifica whose mesh fails a check (an undefined figure among
// them: it takes the place of status_indefinido).
inline constexpr int status_verificacao = 3;
// A history whose re-run does not give the result files: they come from
// another run, were edited, or the case files changed since (or the
// program's own run of the case files would end at a floating-point fault).
// It wins over status_verificacao and status_indefinido.
inline constexpr int status_nao_reproduz = 5;

[[noreturn]] void falha(const std::string& arquivo, std::int64_t linha, const std::string& mensagem);
[[noreturn]] void falha_uso(const std::string& mensagem);

// A piece of file content as a message quotes it: the run-time error
// report's own rule (cut short, printable ASCII only).
using tempo_execucao::citacao;

}  // namespace malhas_qualidade
