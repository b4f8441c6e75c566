// The two input readers of a run.
#pragma once

#include "dados/leitura.hpp"

namespace dados {

// Shows "entradas.txt" in the editor, then reads nome_caso, nvol_ksi,
// nvol_eta and tipo_malha from it.
void le_entradas();

// Shows "entrada_eq_elipticas.txt" in the editor, then reads niter_solver,
// niter, an unused real, dksi, deta, tipo_p and tipo_q from it.
void le_entrada_eq_elipticas();

// The reads of each file alone, from a file already open: what the two
// readers do between opening and closing. Kept apart so that the reading of
// whole files can be fuzzed from memory, without an editor or a file.
void le_valores_entradas(arquivo_entrada& arq);
void le_valores_eq_elipticas(arquivo_entrada& arq);

}  // namespace dados
