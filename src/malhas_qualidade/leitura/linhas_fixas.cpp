#include "malhas_qualidade/leitura/linhas_fixas.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "tempo_execucao/fios.hpp"

namespace malhas_qualidade {

namespace {

// A line's parse costs about this many of the simple items by which the
// run decides whether rows repay a thread.
constexpr std::int64_t custo_linha = 16;

}  // namespace

std::int64_t linhas_fixas_aceitas(
    const char* inicio, const char* fim, std::size_t largura, std::int64_t maximo,
    tempo_execucao::referencia_funcao<bool(std::int64_t, std::string_view)> aceita) {
    const std::size_t passo = largura + 2;
    const auto inteiras = static_cast<std::int64_t>(static_cast<std::size_t>(fim - inicio) / passo);
    const std::int64_t n = std::min(inteiras, maximo);
    if (n <= 0) return 0;
    // The first line refused, whichever thread met it: the lines before it
    // are all taken, whatever came of those after it.
    std::atomic<std::int64_t> recusada{n};
    tempo_execucao::linhas_independentes(0, n - 1, custo_linha, [&](std::int64_t de, std::int64_t ate) {
        for (std::int64_t k = de; k <= ate; ++k) {
            const char* const linha = inicio + static_cast<std::size_t>(k) * passo;
            const bool inteira = linha[largura] == '\r' && linha[largura + 1] == '\n' &&
                                 std::memchr(linha, '\n', largura) == nullptr;
            if (inteira && aceita(k, std::string_view(linha, largura))) continue;
            std::int64_t atual = recusada.load();
            while (k < atual && !recusada.compare_exchange_weak(atual, k)) {
            }
            return;
        }
    });
    return recusada.load();
}

}  // namespace malhas_qualidade
