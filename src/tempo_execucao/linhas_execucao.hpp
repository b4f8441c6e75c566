// How many threads a run may use.
#pragma once

namespace tempo_execucao {

// The environment variable MALHAS_LINHAS_EXECUCAO when it holds a positive
// count (1 forces the single-threaded run, for tests and timings), else the
// processors this process may run on. At most 64. Read once.
int linhas_de_execucao();

}  // namespace tempo_execucao
