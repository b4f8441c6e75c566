// Result lines formatted in blocks, on every core the run may use, and
// written in order by the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "processamento/arquivo_saida.hpp"

namespace processamento {

// Formats the items primeiro to ultimo - 1 (counted from 0) at destino:
// exactly bytes_por_item bytes each.
using formatador_itens = std::function<void(std::int64_t primeiro, std::int64_t ultimo, char* destino)>;

// Writes n_itens items of bytes_por_item bytes each to arq, after what arq
// holds already. The items are formatted in blocks of about a mebibyte, each
// block into a buffer of its own, by linhas_execucao - 1 threads besides
// this one and by this one whenever the block it is to write next is not
// ready (by this one alone when linhas_execucao is 1); this thread writes
// the blocks in order, so that the formatting goes on while the system takes
// the bytes. At most a few blocks per thread are held at once. A write that
// fails ends the run with the WRITE report naming the file, as every write
// does, once the other threads have stopped.
void escreve_itens(arquivo_saida& arq, std::int64_t n_itens, std::size_t bytes_por_item,
                   const formatador_itens& formata, int linhas_execucao);

}  // namespace processamento
