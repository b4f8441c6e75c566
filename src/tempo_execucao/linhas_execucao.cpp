#include "tempo_execucao/linhas_execucao.hpp"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

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

// The second thread: it waits for a task until the process ends, so it and
// its state are never destroyed (a thread of its own for every task would
// start each time with empty scratch and fault its pages in again).
struct linha_auxiliar {
    std::mutex trava;
    std::condition_variable mudou;
    std::function<void()> tarefa;
    bool pendente = false;
};

linha_auxiliar* auxiliar() {
    static linha_auxiliar* const a = []() -> linha_auxiliar* {
        auto* p = new linha_auxiliar;
        try {
            std::thread([p] {
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
            }).detach();
        } catch (const std::system_error&) {
            delete p;
            return nullptr;
        }
        return p;
    }();
    return a;
}

}  // namespace

resultado_duas_linhas em_duas_linhas_mascaradas(const std::function<void(int)>& parte) {
    linha_auxiliar* const a = auxiliar();
    if (a == nullptr) return resultado_duas_linhas::sem_segunda_linha;
    const ambiente_fp ambiente = ambiente_fp_atual();
    bool falhou_auxiliar = false;
    {
        std::lock_guard<std::mutex> l(a->trava);
        a->tarefa = [&] {
            adota_ambiente_fp(ambiente);
            mascara_armadilhas_fp();
            parte(1);
            falhou_auxiliar = falha_fp_sinalizada();
        };
        a->pendente = true;
    }
    a->mudou.notify_all();
    mascara_armadilhas_fp();
    parte(0);
    const bool falhou = falha_fp_sinalizada();
    {
        std::unique_lock<std::mutex> l(a->trava);
        a->mudou.wait(l, [a] { return !a->pendente; });
    }
    adota_ambiente_fp(ambiente);
    return falhou || falhou_auxiliar ? resultado_duas_linhas::falhou : resultado_duas_linhas::sem_falha;
}

void linhas_independentes(std::int64_t de, std::int64_t ate, std::int64_t n_por_linha,
                          const std::function<void(std::int64_t, std::int64_t)>& faixa) {
    // Below this many items, waking the second thread costs more than it saves.
    constexpr std::int64_t minimo_para_duas_linhas = std::int64_t{1} << 16;
    if (ate < de) return;
    const std::int64_t linhas = ate - de + 1;
    if (linhas < 2 || linhas * n_por_linha < minimo_para_duas_linhas || linhas_de_execucao() < 2) {
        faixa(de, ate);
        return;
    }
    const std::int64_t meio = de + linhas / 2;
    const resultado_duas_linhas r = em_duas_linhas_mascaradas([&](int parte) {
        if (parte == 0)
            faixa(de, meio - 1);
        else
            faixa(meio, ate);
    });
    if (r != resultado_duas_linhas::sem_falha) faixa(de, ate);
}

}  // namespace tempo_execucao
