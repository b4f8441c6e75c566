// The lines of a result file that stand whole in a block of bytes, checked
// on as many threads as the run may use.
//
// malhas_segmentos writes every line of a kind with one length, so in a
// sound file line n of a block begins n lengths after the block's first.
// What the fast check accepts, the line-by-line reader would accept too,
// with the same values; the first line it refuses is left to that reader,
// which then reports it (or, the rare line the fast check is stricter
// about, takes it) exactly as it does with one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tempo_execucao/referencia_funcao.hpp"

namespace malhas_qualidade {

// How many of the first lines of [inicio, fim), at most maximo, are whole
// lines of largura bytes before their CR LF, with no LF inside, that
// aceita(n, line without its CR LF) takes; n counts from 0 at inicio.
// aceita may be called on several threads at once and on lines after the
// first it refuses; it must write nothing but what line n alone decides.
std::int64_t linhas_fixas_aceitas(
    const char* inicio, const char* fim, std::size_t largura, std::int64_t maximo,
    tempo_execucao::referencia_funcao<bool(std::int64_t, std::string_view)> aceita);

}  // namespace malhas_qualidade
