// The two input readers of a run.
#pragma once

#include <cstdint>
#include <string>

#include "dados/leitura.hpp"
#include "variaveis/variaveis.hpp"

namespace dados {

// What each input file holds, read in the file's order: the reads of a file
// are written once, here, for the run, which puts them in its shared state
// (malhas_segmentos::define_estado), and for the companion program, which
// takes them as they are. A null value leaves an item as it starts, which is
// what the run's state holds when the file is read: zero, and the blank name.
struct entradas {
    std::string nome_caso = std::string(variaveis::comprimento_nome_caso, ' ');
    std::int32_t nvol_ksi = 0;
    std::int32_t nvol_eta = 0;
    std::int32_t tipo_malha = 0;
};

struct eq_elipticas {
    std::int32_t niter_solver = 0;
    std::int32_t niter = 0;
    double sem_uso = 0.0;  // the file keeps a line for it; it must still be a real
    double dksi = 0.0;
    double deta = 0.0;
    std::int32_t tipo_p = 0;
    std::int32_t tipo_q = 0;
};

// Shows "entradas.txt" in the editor, then reads the case name, nvol_ksi,
// nvol_eta and tipo_malha from it.
entradas le_entradas();

// Shows "entrada_eq_elipticas.txt" in the editor, then reads niter_solver,
// niter, an unused real, dksi, deta, tipo_p and tipo_q from it.
eq_elipticas le_entrada_eq_elipticas();

// The reads of each file, from a file already open: what the two readers do
// between opening and closing. While an item is read, arq.item names it.
entradas le_valores_entradas(arquivo_entrada& arq);
eq_elipticas le_valores_eq_elipticas(arquivo_entrada& arq);

}  // namespace dados
