#include "tempo_execucao/linhas_execucao.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/sistema.hpp"

namespace tempo_execucao {

int linhas_de_execucao() {
    static const int linhas = [] {
        if (const char* texto = std::getenv("MALHAS_LINHAS_EXECUCAO")) {
            char* fim = nullptr;
            const long n = std::strtol(texto, &fim, 10);
            if (fim != texto && *fim == '\0' && n >= 1) return n > 64 ? 64 : static_cast<int>(n);
        }
        const int n = sistema::processadores_disponiveis();
        return n < 1 ? 1 : n > 64 ? 64 : n;
    }();
    return linhas;
}

namespace {

// A helper thread: it waits for a task until the process ends, so it and its
// state are never destroyed (a thread of its own for every task would start
// each time with empty scratch and fault its pages in again).
struct linha_auxiliar {
    std::mutex trava;
    std::condition_variable mudou;
    std::function<void()> tarefa;
    bool pendente = false;
};

void espera_tarefas(linha_auxiliar* p) {
    for (;;) {
        std::function<void()> t;
        {
            std::unique_lock<std::mutex> l(p->trava);
            p->mudou.wait(l, [p] { return p->pendente; });
            t = std::move(p->tarefa);
        }
        t();
        {
            std::lock_guard<std::mutex> l(p->trava);
            p->pendente = false;
        }
        p->mudou.notify_all();
    }
}

// The helpers started so far; only ever grows, from one thread at a time.
std::vector<linha_auxiliar*>& auxiliares() {
    static auto* const a = new std::vector<linha_auxiliar*>;
    return *a;
}

}  // namespace

int reserva_linhas(int desejadas) {
    auto& a = auxiliares();
    while (static_cast<int>(a.size()) < desejadas - 1) {
        auto* p = new linha_auxiliar;
        try {
            std::thread(espera_tarefas, p).detach();
        } catch (const std::system_error&) {
            delete p;
            break;  // the threads the system gives are enough
        }
        a.push_back(p);
    }
    return std::max(1, std::min(desejadas, static_cast<int>(a.size()) + 1));
}

bool em_linhas_mascaradas(int n, const std::function<void(int)>& parte) {
    auto& a = auxiliares();
    const ambiente_fp ambiente = ambiente_fp_atual();
    std::vector<char> falhou(static_cast<std::size_t>(n), 0);
    // Every task is made before any is handed out: once a helper runs one,
    // nothing here may throw and leave it with the locals it refers to.
    std::vector<std::function<void()>> tarefas;
    tarefas.reserve(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        tarefas.emplace_back([&, k] {
            adota_ambiente_fp(ambiente);
            mascara_armadilhas_fp();
            parte(k);
            falhou[static_cast<std::size_t>(k)] = falha_fp_sinalizada();
        });
    }
    for (int k = 1; k < n; ++k) {
        linha_auxiliar* const p = a[static_cast<std::size_t>(k - 1)];
        {
            std::lock_guard<std::mutex> l(p->trava);
            p->tarefa = std::move(tarefas[static_cast<std::size_t>(k)]);
            p->pendente = true;
        }
        p->mudou.notify_all();
    }
    tarefas[0]();
    for (int k = 1; k < n; ++k) {
        linha_auxiliar* const p = a[static_cast<std::size_t>(k - 1)];
        std::unique_lock<std::mutex> l(p->trava);
        p->mudou.wait(l, [p] { return !p->pendente; });
    }
    adota_ambiente_fp(ambiente);
    return std::find(falhou.begin(), falhou.end(), 1) != falhou.end();
}

void linhas_independentes(std::int64_t de, std::int64_t ate, std::int64_t n_por_linha,
                          const std::function<void(std::int64_t, std::int64_t)>& faixa) {
    // Each thread beyond the first wants this many items, or waking it costs
    // more than it saves.
    constexpr std::int64_t minimo_por_linha_execucao = std::int64_t{1} << 16;
    if (ate < de) return;
    const std::int64_t linhas = ate - de + 1;
    const std::int64_t repagam = std::min(linhas, 1 + linhas * n_por_linha / minimo_por_linha_execucao);
    const int n =
        repagam >= 2 ? reserva_linhas(static_cast<int>(std::min<std::int64_t>(linhas_de_execucao(), repagam)))
                     : 1;
    if (n < 2) {
        faixa(de, ate);
        return;
    }
    // Part k takes the rows from de + k * linhas / n up to the next part's first.
    const bool falhou =
        em_linhas_mascaradas(n, [&](int k) { faixa(de + k * linhas / n, de + (k + 1) * linhas / n - 1); });
    if (falhou) faixa(de, ate);
}

}  // namespace tempo_execucao
