// The one door into the run's shared state: what the input files hold goes
// into it here, and nowhere else. The run driver, the tests and the companion
// program's re-run of the smoothing all set a run up through it, so that a
// run set up by any of them is the program's own.
#pragma once

#include "dados/dados.hpp"

namespace malhas_segmentos {

// The case values, then the sizes derived from them (steps 1 and 2 of a
// run). Taken by value: the name read moves into the state, which so
// allocates nothing of its own.
void define_estado(dados::entradas caso);

// The elliptic parameters; the value the file keeps a line for and the run
// does not use is not kept.
void define_estado(const dados::eq_elipticas& parametros);

}  // namespace malhas_segmentos
