// The table of temporary files and folders that an interruption removes.
//
// The table is fixed and its entries are written with atomic stores, so that
// a signal handler, which may run on any thread at any moment, reads it
// without a lock and without allocating: an entry is either not in use or
// holds a complete name.
#include <atomic>
#include <cstring>

#include "tempo_execucao/sistema.hpp"

namespace sistema {

namespace {

constexpr int capacidade = 64;
constexpr std::size_t comprimento_maximo = 4096;

enum estado : int { livre, reservado, arquivo, pasta };

struct registro_temporario {
    std::atomic<int> estado{livre};
    char nome[comprimento_maximo];
};

registro_temporario tabela[capacidade];

std::atomic<const char*> texto_interrupcao{nullptr};

// 0: an interruption acts at once; -1: it is held; above 0: the signal held.
// One atomic, so that a signal that comes as the step ends is either held
// and returned, or acted on: never lost between the two.
std::atomic<int> interrupcao{0};

}  // namespace

int registra_temporario(const char* nome, bool e_pasta) {
    const std::size_t n = std::strlen(nome);
    if (n >= comprimento_maximo) return -1;
    for (int k = 0; k < capacidade; ++k) {
        int esperado = livre;
        if (!tabela[k].estado.compare_exchange_strong(esperado, reservado)) continue;
        std::memcpy(tabela[k].nome, nome, n + 1);
        tabela[k].estado.store(e_pasta ? pasta : arquivo, std::memory_order_release);
        return k;
    }
    return -1;
}

void esquece_temporario(int registro) {
    if (registro >= 0 && registro < capacidade)
        tabela[registro].estado.store(livre, std::memory_order_release);
}

void remove_temporarios_registrados() {
    // Files first, so that the folders that held them are empty by then.
    for (int tipo : {arquivo, pasta}) {
        for (int k = capacidade - 1; k >= 0; --k) {
            if (tabela[k].estado.load(std::memory_order_acquire) != tipo) continue;
            if (tipo == arquivo)
                remove_arquivo(tabela[k].nome);
            else
                remove_pasta_vazia(tabela[k].nome);
        }
    }
}

void adia_interrupcoes() {
    interrupcao.store(-1);
}

int retoma_interrupcoes() {
    const int anterior = interrupcao.exchange(0);
    return anterior > 0 ? anterior : 0;
}

bool guarda_interrupcao(int sinal) {
    int esperado = -1;
    if (interrupcao.compare_exchange_strong(esperado, sinal)) return true;
    return esperado > 0;  // one is held already: the step still ends first
}

void define_texto_interrupcao(const char* texto) {
    texto_interrupcao.store(texto, std::memory_order_release);
}

void escreve_texto_interrupcao() {
    const char* texto = texto_interrupcao.load(std::memory_order_acquire);
    if (texto != nullptr) escreve_erro_direto(texto, std::strlen(texto));
}

}  // namespace sistema
