// The run driver and the algebraic initial mesh.
#pragma once

namespace malhas_segmentos {

// One whole run, from reading the case file to the viewers. A failure ends it
// by raising execucao::erro_execucao (input/output, allocation) or by the
// floating-point trap.
void executa_corrida();

// Places every vertex of the L-shaped algebraic mesh in x and y and fills
// vert_vol.
void gera_malha_inicial();

}  // namespace malhas_segmentos
