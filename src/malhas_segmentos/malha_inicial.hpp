// The algebraic initial mesh and the vertex table.
#pragma once

namespace malhas_segmentos {

// Places every vertex of the L-shaped algebraic mesh in x and y and fills
// vert_vol, from the sizes of the shared state.
void gera_malha_inicial();

}  // namespace malhas_segmentos
