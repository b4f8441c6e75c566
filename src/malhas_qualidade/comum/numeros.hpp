// Numbers as text, both ways: the one writer of integers and the one writer
// of reals that every export and table uses, and the one reader of a real
// that the result files' fields and the options go through.
#pragma once

#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "malhas_qualidade/comum/saida.hpp"

namespace malhas_qualidade {

// An integer's decimal digits (those of the result files' fields); at most
// 20 bytes. Returns the end of what it wrote.
char* escreve_inteiro(char* p, std::int64_t v);

// The shortest text that reads back as the same double, "nan" for not a
// number; at most 32 bytes. Returns the end of what it wrote.
char* escreve_real(char* p, double v);
std::string texto_real(double v);

// A line of decimal integers separated by blanks, ended by LF.
void escreve_linha_inteiros(saida_atomica& s, std::initializer_list<std::int64_t> valores);

// A real read as std::from_chars reads it, in the given format, the value
// rounded once. The 32-bit x86 libstdc++ is built for the x87 unit, whose
// extended precision rounds the product of from_chars' fast path twice: one
// field in tens of thousands then reads one unit in the last place off
// ("3.301188987276953E+29"). There the syntax stays from_chars', and the
// value is strtod's, which rounds once.
std::from_chars_result le_real(const char* inicio, const char* fim, double& valor,
                               std::chars_format formato = std::chars_format::general);

}  // namespace malhas_qualidade
