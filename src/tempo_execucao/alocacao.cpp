#include "tempo_execucao/alocacao.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "tempo_execucao/relatorio_erro.hpp"
#include "tempo_execucao/sistema.hpp"

namespace tempo_execucao {

namespace {

// Set by the run's own thread, read by the new handler in whichever thread
// fails: an atomic, constant-initialised, so that it exists before main
// without being built.
std::atomic<const char*> nome_atual{nullptr};

constexpr char sem_nome[] = "working memory";

[[noreturn]] void falha_operator_new() {
    throw falta_memoria(alocando_agora());
}

}  // namespace

alocando::alocando(const char* o_que) noexcept
    : anterior_(nome_atual.exchange(o_que, std::memory_order_relaxed)) {}

alocando::~alocando() {
    nome_atual.store(anterior_, std::memory_order_relaxed);
}

const char* alocando_agora() noexcept {
    const char* o_que = nome_atual.load(std::memory_order_relaxed);
    return o_que != nullptr ? o_que : sem_nome;
}

void nomeia_falhas_de_alocacao() noexcept {
    std::set_new_handler(falha_operator_new);
}

const char* o_que_faltou(const std::bad_alloc& falha) noexcept {
    if (const auto* f = dynamic_cast<const falta_memoria*>(&falha)) return f->o_que();
    return alocando_agora();
}

void escreve_relatorio_memoria(const char* o_que) noexcept {
    static_assert(codigo_memoria_insuficiente == 501, "the fixed texts below carry the code");
    constexpr char inicio[] = "\r\nrun-time error F501: ALLOCATE (";
    constexpr char fim[] = ")\r\n- insufficient memory\r\n";
    // The names are short static texts; one longer than the buffer allows
    // would be cut, never overrun it.
    char texto[256];
    std::size_t n = 0;
    auto acrescenta = [&](const char* s, std::size_t k) {
        k = std::min(k, sizeof texto - n);
        std::memcpy(texto + n, s, k);
        n += k;
    };
    acrescenta(inicio, sizeof inicio - 1);
    acrescenta(o_que, std::min<std::size_t>(std::strlen(o_que), sizeof texto - sizeof inicio - sizeof fim));
    acrescenta(fim, sizeof fim - 1);
    sistema::escreve_erro_padrao(texto, n);
}

}  // namespace tempo_execucao
