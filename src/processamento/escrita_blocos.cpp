#include "processamento/escrita_blocos.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>

#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/armadilhas.hpp"

namespace processamento {

namespace {

constexpr std::size_t bytes_por_bloco = std::size_t{1} << 20;
constexpr int maximo_trabalhadores = 8;

std::int64_t numero_de_blocos(std::int64_t n_itens, std::size_t bytes_por_item) {
    const std::int64_t por_bloco = itens_por_bloco(bytes_por_item);
    return n_itens > 0 ? (n_itens + por_bloco - 1) / por_bloco : 0;
}

// The threads besides this one that format the blocks of a write: this one
// formats too whenever the block it is to write next is not ready, so it and
// linhas_execucao - 1 others keep as many cores busy.
int trabalhadores_para(std::int64_t n_blocos, int linhas_execucao) {
    return static_cast<int>(std::max<std::int64_t>(
        0, std::min<std::int64_t>({linhas_execucao - 1, maximo_trabalhadores, n_blocos - 1})));
}

// Block k goes to slot k % n_slots, which is free again once block
// k - n_slots has been written: a few blocks per thread in flight.
int slots_para(int trabalhadores) {
    return trabalhadores < 1 ? 1 : 2 * (trabalhadores + 1) + 2;
}

}  // namespace

std::int64_t itens_por_bloco(std::size_t bytes_por_item) {
    return static_cast<std::int64_t>(std::max<std::size_t>(1, bytes_por_bloco / bytes_por_item));
}

void prepara_blocos(blocos_escrita& b, std::initializer_list<escrita_prevista> escritas,
                    std::size_t bytes_rascunho, int linhas_execucao) {
    int trabalhadores = 0;
    std::size_t bytes_bloco = 0;
    for (const escrita_prevista& e : escritas) {
        const std::int64_t n_blocos = numero_de_blocos(e.n_itens, e.bytes_por_item);
        if (n_blocos == 0) continue;
        trabalhadores = std::max(trabalhadores, trabalhadores_para(n_blocos, linhas_execucao));
        bytes_bloco = std::max(
            bytes_bloco, static_cast<std::size_t>(itens_por_bloco(e.bytes_por_item)) * e.bytes_por_item);
    }
    b.linhas_execucao = linhas_execucao;
    b.bytes_bloco = bytes_bloco;
    if (bytes_bloco == 0) return;  // no write has an item
    {
        tempo_execucao::alocando nome("result line blocks");
        b.blocos.resize(static_cast<std::size_t>(slots_para(trabalhadores)));
        for (auto& s : b.blocos)
            s.dados = std::make_unique<char[]>(bytes_bloco + bytes_rascunho);
    }
    tempo_execucao::alocando nome("helper threads");
    b.linhas.reserve(static_cast<std::size_t>(trabalhadores));
}

void escreve_itens(arquivo_saida& arq, std::int64_t n_itens, std::size_t bytes_por_item,
                   formatador_itens formata, blocos_escrita& b) {
    if (n_itens <= 0) return;
    const std::int64_t por_bloco = itens_por_bloco(bytes_por_item);
    const std::int64_t n_blocos = numero_de_blocos(n_itens, bytes_por_item);
    if (b.blocos.empty() || static_cast<std::size_t>(por_bloco) * bytes_por_item > b.bytes_bloco)
        throw std::logic_error("escreve_itens: a write that prepara_blocos was not told of");
    auto formata_bloco = [&](std::int64_t k, blocos_escrita::bloco& s) {
        const std::int64_t primeiro = k * por_bloco, ultimo = std::min(n_itens, primeiro + por_bloco);
        formata(primeiro, ultimo, s.dados.get(), s.dados.get() + b.bytes_bloco);
        s.bytes = static_cast<std::size_t>(ultimo - primeiro) * bytes_por_item;
    };

    auto sozinho = [&] {
        blocos_escrita::bloco& s = b.blocos.front();
        for (std::int64_t k = 0; k < n_blocos; ++k) {
            formata_bloco(k, s);
            escreve_direto(arq, s.dados.get(), s.bytes);
        }
    };
    // As many helpers as the write repays and the prepared slots and room allow.
    int trabalhadores = trabalhadores_para(n_blocos, b.linhas_execucao);
    while (trabalhadores > 0 && (static_cast<std::size_t>(slots_para(trabalhadores)) > b.blocos.size() ||
                                 static_cast<std::size_t>(trabalhadores) > b.linhas.capacity()))
        --trabalhadores;
    if (trabalhadores < 1) {
        sozinho();
        return;
    }

    // The blocks are taken in order, so the one the writer waits for is
    // always being formatted, by a worker or by the writer itself.
    const int n_slots = slots_para(trabalhadores);
    for (int k = 0; k < n_slots; ++k)
        b.blocos[static_cast<std::size_t>(k)].pronto = false;
    std::mutex trava;
    std::condition_variable mudou;
    std::int64_t proximo = 0;   // the next block to be taken
    std::int64_t escritos = 0;  // blocks written
    bool parar = false;
    std::exception_ptr erro;

    const tempo_execucao::ambiente_fp ambiente = tempo_execucao::ambiente_fp_atual();
    auto trabalha = [&] {
        tempo_execucao::adota_ambiente_fp(ambiente);
        for (;;) {
            std::int64_t k;
            blocos_escrita::bloco* s;
            {
                std::unique_lock<std::mutex> l(trava);
                if (parar || proximo == n_blocos) return;
                k = proximo++;
                mudou.wait(l, [&] { return parar || k < escritos + n_slots; });
                if (parar) return;
                s = &b.blocos[static_cast<std::size_t>(k % n_slots)];
            }
            try {
                formata_bloco(k, *s);
            } catch (...) {
                std::lock_guard<std::mutex> l(trava);
                if (!erro) erro = std::current_exception();
                parar = true;
                mudou.notify_all();
                return;
            }
            std::lock_guard<std::mutex> l(trava);
            s->pronto = true;
            mudou.notify_all();
        }
    };

    auto para_todos = [&] {
        {
            std::lock_guard<std::mutex> l(trava);
            parar = true;
        }
        mudou.notify_all();
        for (auto& t : b.linhas)
            t.join();
        b.linhas.clear();
    };
    // The room is there, so only the start of a thread can fail (the system
    // gives no more, or not the memory for its state): the threads already
    // running are then enough, and a failed start leaves none behind.
    for (int t = 0; t < trabalhadores; ++t) {
        try {
            b.linhas.emplace_back(trabalha);
        } catch (const std::exception&) {
            break;
        }
    }
    if (b.linhas.empty()) {
        sozinho();
        return;
    }
    try {
        for (std::int64_t k = 0; k < n_blocos; ++k) {
            blocos_escrita::bloco& s = b.blocos[static_cast<std::size_t>(k % n_slots)];
            for (;;) {
                std::int64_t meu;
                {
                    std::unique_lock<std::mutex> l(trava);
                    auto ha_bloco_livre = [&] { return proximo < n_blocos && proximo < escritos + n_slots; };
                    mudou.wait(l, [&] { return s.pronto || erro || ha_bloco_livre(); });
                    if (erro) std::rethrow_exception(erro);
                    if (s.pronto) break;
                    meu = proximo++;
                }
                blocos_escrita::bloco& t = b.blocos[static_cast<std::size_t>(meu % n_slots)];
                formata_bloco(meu, t);
                std::lock_guard<std::mutex> l(trava);
                t.pronto = true;
            }
            escreve_direto(arq, s.dados.get(), s.bytes);
            std::lock_guard<std::mutex> l(trava);
            s.pronto = false;
            escritos = k + 1;
            mudou.notify_all();
        }
    } catch (...) {
        para_todos();
        throw;
    }
    para_todos();
}

}  // namespace processamento
