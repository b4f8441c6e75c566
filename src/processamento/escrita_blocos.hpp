// Result lines formatted in blocks, on every core the run may use, and
// written in order by the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <thread>
#include <vector>

#include "processamento/arquivo_saida.hpp"
#include "tempo_execucao/referencia_funcao.hpp"

namespace processamento {

// Formats the items primeiro to ultimo - 1 (counted from 0) at destino:
// exactly bytes_por_item bytes each. rascunho is scratch memory of the size
// given to prepara_blocos, this call's alone.
using formatador_itens = tempo_execucao::referencia_funcao<void(std::int64_t primeiro, std::int64_t ultimo,
                                                                char* destino, char* rascunho)>;

// How many items of bytes_por_item bytes a block holds.
std::int64_t itens_por_bloco(std::size_t bytes_por_item);

// One write that escreve_itens will be asked for.
struct escrita_prevista {
    std::int64_t n_itens;
    std::size_t bytes_por_item;
};

// The memory escreve_itens works in: the block buffers, each with the
// formatter's scratch after it, and the room for the helper threads. It is
// made before any result file is opened, so that a run that cannot have it
// ends before a file is touched, and the writing itself allocates nothing
// (a helper thread the system will not start is done without).
struct blocos_escrita {
    struct bloco {
        std::unique_ptr<char[]> dados;
        std::size_t bytes = 0;  // formatted so far
        bool pronto = false;
    };
    std::vector<bloco> blocos;
    std::vector<std::thread> fios;  // empty between writes
    std::size_t bytes_bloco = 0;    // room for the lines of a block, before the scratch
    int n_fios = 1;                 // threads a write may use, this one included
};

// Makes the memory for the given writes, with bytes_rascunho bytes of scratch
// per block, for as many threads as fios (this one included). A failed
// allocation ends the run with the F501 report naming the block buffers or
// the helper threads.
void prepara_blocos(blocos_escrita& b, std::initializer_list<escrita_prevista> escritas,
                    std::size_t bytes_rascunho, int fios);

// Writes n_itens items of bytes_por_item bytes each to arq, after what arq
// holds already, in the memory of b (a write prepara_blocos was told of).
// The items are formatted in blocks of about a mebibyte, each block into a
// buffer of its own, by b.n_fios - 1 threads besides this one and by
// this one whenever the block it is to write next is not ready (by this one
// alone when b.n_fios is 1, or when the system starts no thread);
// this thread writes the blocks in order, so that the formatting goes on
// while the system takes the bytes. At most a few blocks per thread are held
// at once. A write that fails ends the run with the WRITE report naming the
// file, as every write does, once the other threads have stopped.
void escreve_itens(arquivo_saida& arq, std::int64_t n_itens, std::size_t bytes_por_item,
                   formatador_itens formata, blocos_escrita& b);

}  // namespace processamento
