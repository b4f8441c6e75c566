// A one-line progress display on the standard error stream, for a
// computation whose length the user may not have meant: the count done of
// the count asked for, the time taken and the time still to go. Drawn only
// when the standard error stream is a terminal, redrawn at most four times a
// second, and cleared at the end, or by the interruption handler (Ctrl-C)
// through a fixed text, so that the terminal is left clean either way.
// Where the stream is not a terminal, a single note says so when the
// computation is to take long.
#pragma once

#include <chrono>
#include <cstdint>

namespace malhas_qualidade {

class indicador_progresso {
  public:
    // oque names the computation ("re-running the smoothing"); nothing is
    // shown unless ativa.
    indicador_progresso(const char* oque, bool ativa, bool terminal);
    ~indicador_progresso();  // clears the line
    indicador_progresso(const indicador_progresso&) = delete;
    indicador_progresso& operator=(const indicador_progresso&) = delete;

    // feitos of total done.
    void atualiza(std::int64_t feitos, std::int64_t total);
    // Clears the line and forgets the interruption text.
    void termina();

  private:
    using relogio = std::chrono::steady_clock;
    const char* oque_;
    bool ativa_;
    bool terminal_;
    bool desenhada_ = false;
    bool nota_dada_ = false;
    relogio::time_point inicio_;
    relogio::time_point ultimo_desenho_;
};

// Seconds as m:ss or h:mm:ss.
void formata_duracao(char* destino, std::size_t tamanho, double segundos);

}  // namespace malhas_qualidade
