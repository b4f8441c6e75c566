// The two input readers of a run.
#pragma once

namespace dados {

// Shows "entradas.txt" in the editor, then reads nome_caso, nvol_ksi,
// nvol_eta and tipo_malha from it.
void le_entradas();

// Shows "entrada_eq_elipticas.txt" in the editor, then reads niter_solver,
// niter, an unused real, dksi, deta, tipo_p and tipo_q from it.
void le_entrada_eq_elipticas();

}  // namespace dados
