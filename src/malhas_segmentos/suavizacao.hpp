// The elliptic smoothing: the outer iterations of mesh kind 2, written once,
// for the run and for whoever must run exactly the run's smoothing (the
// tests, the benchmarks, the companion program's history).
#pragma once

#include <cstdint>

#include "tempo_execucao/referencia_funcao.hpp"

namespace malhas_segmentos {

// The moments of an outer iteration an observer is told of: its coefficients
// computed (from the mesh after k - 1 iterations, still in x and y), and its
// two sweeps done (the mesh after k iterations in x and y). The observer
// answers whether the iterations go on: stopping is an answer, not a failure,
// so nothing is thrown through the smoothing to stop it.
enum class etapa { coeficientes, varreduras };
enum class decisao { continua, para };
using observador_iteracao = tempo_execucao::referencia_funcao<decisao(std::int32_t k, etapa e)>;

// niter outer iterations on the mesh of the shared state, the count taken
// once when the loop starts: the metric terms, the control functions, the
// coefficients, the sweeps of x and then of y. The parameters must be set
// and the work arrays allocated. Iterations whose sweeps can move no vertex
// (none is interior, or no sweep is asked for) stop after the first: every
// later one would compute the same terms from the same mesh and meet only
// the faults the first one met, so the arrays end as after all of them.
void suaviza_malha();

// The same, the observer told of both moments of every iteration and
// stopping the iterations when it answers decisao::para.
void suaviza_malha(observador_iteracao observa);

}  // namespace malhas_segmentos
