// The run driver.
#pragma once

namespace malhas_segmentos {

// One whole run, from reading the case file to the viewers. A failure ends it
// by raising tempo_execucao::erro_execucao (input/output, allocation) or by
// the floating-point trap.
void executa_corrida();

}  // namespace malhas_segmentos
