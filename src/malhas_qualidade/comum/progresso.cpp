#include "malhas_qualidade/comum/progresso.hpp"

#include <cstdio>
#include <cstring>

#include "tempo_execucao/sistema.hpp"

namespace malhas_qualidade {

namespace {

// The line is kept shorter than the narrowest common terminal, so that it
// never wraps and a carriage return always reaches its start; blanks over
// it, rather than a terminal control sequence, clear it on any console.
constexpr int largura = 79;
constexpr auto intervalo = std::chrono::milliseconds(250);

// Where the standard error stream is not a terminal, a computation estimated
// to take longer than this gets one note, once this much time has gone.
constexpr double nota_apos_segundos = 10.0;
constexpr double nota_se_faltam_segundos = 60.0;

// Carriage return, blanks, carriage return: a static text, so that the
// interruption handler writes it without allocating.
constexpr struct texto_limpeza {
    char c[largura + 3];
    constexpr texto_limpeza() : c{} {
        c[0] = '\r';
        for (int k = 1; k <= largura; ++k)
            c[k] = ' ';
        c[largura + 1] = '\r';
        c[largura + 2] = '\0';
    }
} limpeza;

}  // namespace

void formata_duracao(char* destino, std::size_t tamanho, double segundos) {
    if (!(segundos >= 0.0) || segundos > 1.0e9) {
        std::snprintf(destino, tamanho, "?");
        return;
    }
    const auto s = static_cast<long long>(segundos + 0.5);
    if (s >= 3600)
        std::snprintf(destino, tamanho, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(destino, tamanho, "%lld:%02lld", s / 60, s % 60);
}

indicador_progresso::indicador_progresso(const char* oque, bool ativa, bool terminal)
    : oque_(oque), ativa_(ativa), terminal_(terminal), inicio_(relogio::now()), ultimo_desenho_(inicio_) {}

indicador_progresso::~indicador_progresso() {
    termina();
}

void indicador_progresso::atualiza(std::int64_t feitos, std::int64_t total) {
    if (!ativa_ || nota_dada_) return;
    const relogio::time_point agora = relogio::now();
    // The first count is drawn at once, so that even a short computation
    // shows what it does; then a few times a second at most.
    if ((desenhada_ || !terminal_) && agora - ultimo_desenho_ < intervalo) return;
    ultimo_desenho_ = agora;
    const double passados = std::chrono::duration<double>(agora - inicio_).count();
    const double faltam =
        feitos > 0 ? passados / static_cast<double>(feitos) * static_cast<double>(total - feitos) : -1.0;
    char t_passados[32], t_faltam[32];
    formata_duracao(t_passados, sizeof t_passados, passados);
    formata_duracao(t_faltam, sizeof t_faltam, faltam);
    if (!terminal_) {
        if (passados < nota_apos_segundos || faltam < nota_se_faltam_segundos) return;
        nota_dada_ = true;
        char nota[256];
        const int n = std::snprintf(nota, sizeof nota,
                                    "malhas_qualidade: note: %s: %lld of %lld done in %s; about %s to go "
                                    "(Ctrl-C stops it and writes nothing)\n",
                                    oque_, static_cast<long long>(feitos), static_cast<long long>(total),
                                    t_passados, t_faltam);
        if (n > 0) sistema::escreve_erro_direto(nota, std::strlen(nota));
        return;
    }
    char linha[largura + 3];
    linha[0] = '\r';
    int n =
        std::snprintf(linha + 1, largura + 1, "%s: %lld of %lld, %s elapsed, about %s left", oque_,
                      static_cast<long long>(feitos), static_cast<long long>(total), t_passados, t_faltam);
    if (n < 0) return;
    if (n > largura) n = largura;
    // Blanks after the text cover a longer line drawn before it.
    for (int k = 1 + n; k <= largura; ++k)
        linha[k] = ' ';
    if (!desenhada_) sistema::define_texto_interrupcao(limpeza.c);
    desenhada_ = true;
    sistema::escreve_erro_direto(linha, largura + 1);
}

void indicador_progresso::termina() {
    if (!desenhada_) return;
    sistema::escreve_erro_direto(limpeza.c, largura + 2);
    sistema::define_texto_interrupcao(nullptr);
    desenhada_ = false;
}

}  // namespace malhas_qualidade
