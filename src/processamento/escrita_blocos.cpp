#include "processamento/escrita_blocos.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/linhas_execucao.hpp"
#include "tempo_execucao/relatorio_erro.hpp"

namespace processamento {

namespace {

constexpr std::size_t bytes_por_bloco = std::size_t{1} << 20;
constexpr int maximo_trabalhadores = 8;

struct bloco_em_voo {
    std::unique_ptr<char[]> dados;
    std::size_t bytes = 0;
    bool pronto = false;
};

}  // namespace

void escreve_itens(arquivo_saida& arq, std::int64_t n_itens, std::size_t bytes_por_item,
                   const formatador_itens& formata, int linhas_execucao) {
    if (n_itens <= 0) return;
    const auto por_bloco =
        static_cast<std::int64_t>(std::max<std::size_t>(1, bytes_por_bloco / bytes_por_item));
    const std::int64_t n_blocos = (n_itens + por_bloco - 1) / por_bloco;
    const std::size_t maior_bloco = static_cast<std::size_t>(por_bloco) * bytes_por_item;
    auto formata_bloco = [&](std::int64_t k, char* destino) {
        const std::int64_t primeiro = k * por_bloco, ultimo = std::min(n_itens, primeiro + por_bloco);
        formata(primeiro, ultimo, destino);
        return static_cast<std::size_t>(ultimo - primeiro) * bytes_por_item;
    };

    auto sozinho = [&] {
        const auto dados = std::make_unique<char[]>(maior_bloco);
        for (std::int64_t k = 0; k < n_blocos; ++k)
            escreve_direto(arq, dados.get(), formata_bloco(k, dados.get()));
    };
    // This thread formats too whenever the block it is to write next is not
    // ready, so it and linhas_execucao - 1 others keep as many cores busy.
    const int trabalhadores =
        static_cast<int>(std::min<std::int64_t>({linhas_execucao - 1, maximo_trabalhadores, n_blocos - 1}));
    if (trabalhadores < 1) {
        sozinho();
        return;
    }

    // Block k goes to slot k % n_slots, which is free again once block
    // k - n_slots has been written. The blocks are taken in order, so the one
    // the writer waits for is always being formatted, by a worker or by the
    // writer itself.
    const int n_slots = 2 * (trabalhadores + 1) + 2;
    std::vector<bloco_em_voo> slots(static_cast<std::size_t>(n_slots));
    for (auto& s : slots)
        s.dados = std::make_unique<char[]>(maior_bloco);
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
            bloco_em_voo* s;
            {
                std::unique_lock<std::mutex> l(trava);
                if (parar || proximo == n_blocos) return;
                k = proximo++;
                mudou.wait(l, [&] { return parar || k < escritos + n_slots; });
                if (parar) return;
                s = &slots[static_cast<std::size_t>(k % n_slots)];
            }
            try {
                s->bytes = formata_bloco(k, s->dados.get());
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

    std::vector<std::thread> linhas;
    auto para_todos = [&] {
        {
            std::lock_guard<std::mutex> l(trava);
            parar = true;
        }
        mudou.notify_all();
        for (auto& t : linhas)
            t.join();
        linhas.clear();
    };
    for (int t = 0; t < trabalhadores; ++t) {
        try {
            linhas.emplace_back(trabalha);
        } catch (const std::system_error&) {
            break;  // the threads the system gives are enough
        }
    }
    if (linhas.empty()) {
        sozinho();
        return;
    }
    try {
        for (std::int64_t k = 0; k < n_blocos; ++k) {
            bloco_em_voo& s = slots[static_cast<std::size_t>(k % n_slots)];
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
                bloco_em_voo& t = slots[static_cast<std::size_t>(meu % n_slots)];
                t.bytes = formata_bloco(meu, t.dados.get());
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
