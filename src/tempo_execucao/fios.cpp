#include "tempo_execucao/fios.hpp"

#include <algorithm>
#include <cfenv>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/sistema.hpp"

namespace tempo_execucao {

int fios_de_execucao() {
    static const int linhas = [] {
        if (const char* texto = std::getenv("MALHAS_LINHAS_EXECUCAO")) {
            char* fim = nullptr;
            const long n = std::strtol(texto, &fim, 10);
            if (fim != texto && *fim == '\0' && n >= 1)
                return n > maximo_fios ? maximo_fios : static_cast<int>(n);
        }
        const int n = sistema::processadores_disponiveis();
        return n < 1 ? 1 : n > maximo_fios ? maximo_fios : n;
    }();
    return linhas;
}

namespace {

// A helper thread: it waits for work until the process ends, so it and its
// state are never destroyed (a thread of its own for every task would start
// each time with empty scratch and fault its pages in again). The work is
// handed out in fixed fields, not as a task object that would have to be
// allocated.
struct fio_auxiliar {
    std::mutex trava;
    std::condition_variable mudou;
    const referencia_funcao<void(int)>* parte = nullptr;  // part indice of it
    int indice = 0;
    ambiente_fp ambiente{};  // the environment of the thread that handed it out
    bool falhou = false;     // the part raised a fault flag
    bool pendente = false;
};

// Part k in the environment a, traps masked; whether it raised a fault flag.
bool executa_parte(const referencia_funcao<void(int)>& parte, int k, const ambiente_fp& a) {
    adota_ambiente_fp(a);
    mascara_armadilhas_fp();
    parte(k);
    return falha_fp_sinalizada();
}

void espera_tarefas(fio_auxiliar* p) {
    for (;;) {
        std::unique_lock<std::mutex> l(p->trava);
        p->mudou.wait(l, [p] { return p->pendente; });
        const referencia_funcao<void(int)>* const parte = p->parte;
        const int k = p->indice;
        const ambiente_fp a = p->ambiente;
        l.unlock();
        const bool falhou = executa_parte(*parte, k, a);
        l.lock();
        p->falhou = falhou;
        p->pendente = false;
        l.unlock();
        p->mudou.notify_all();
    }
}

// The helpers started so far; only ever grows, from one thread at a time.
// Fixed room, so that keeping a helper allocates nothing.
fio_auxiliar* auxiliares[maximo_fios - 1];
int n_auxiliares = 0;

}  // namespace

int reserva_fios(int desejadas) {
    const int alvo = std::min(desejadas, maximo_fios) - 1;
    while (n_auxiliares < alvo) {
        // When the system gives no more threads, or not the memory for one,
        // the run goes on with the threads it has. The helper is kept only
        // once its thread runs, and nothing after that can throw.
        std::unique_ptr<fio_auxiliar> p;
        try {
            p = std::make_unique<fio_auxiliar>();
            std::thread(espera_tarefas, p.get()).detach();
        } catch (const std::exception&) {
            break;
        }
        auxiliares[n_auxiliares++] = p.release();
    }
    return std::max(1, std::min(desejadas, n_auxiliares + 1));
}

bool em_fios_mascarados(int n, referencia_funcao<void(int)> parte) {
    const ambiente_fp ambiente = ambiente_fp_atual();
    for (int k = 1; k < n; ++k) {
        fio_auxiliar* const p = auxiliares[k - 1];
        {
            std::lock_guard<std::mutex> l(p->trava);
            p->parte = &parte;
            p->indice = k;
            p->ambiente = ambiente;
            p->falhou = false;
            p->pendente = true;
        }
        p->mudou.notify_all();
    }
    bool falhou = executa_parte(parte, 0, ambiente);
    for (int k = 1; k < n; ++k) {
        fio_auxiliar* const p = auxiliares[k - 1];
        std::unique_lock<std::mutex> l(p->trava);
        p->mudou.wait(l, [p] { return !p->pendente; });
        falhou = falhou || p->falhou;
    }
    adota_ambiente_fp(ambiente);
    return falhou;
}

namespace {

// How many threads rows de to ate of n_por_linha items each repay (1 or more).
int linhas_que_repagam(std::int64_t de, std::int64_t ate, std::int64_t n_por_linha) {
    // Each thread beyond the first wants this many items, or waking it costs
    // more than it saves.
    constexpr std::int64_t minimo_por_fio = std::int64_t{1} << 16;
    const std::int64_t linhas = ate - de + 1;
    const std::int64_t repagam = std::min(linhas, 1 + linhas * n_por_linha / minimo_por_fio);
    return repagam >= 2 ? reserva_fios(static_cast<int>(std::min<std::int64_t>(fios_de_execucao(), repagam)))
                        : 1;
}

// Rows de to ate in n consecutive runs, traps masked; whether a fault flag was raised.
bool em_partes(std::int64_t de, std::int64_t ate, int n,
               const referencia_funcao<void(std::int64_t, std::int64_t)>& faixa) {
    const std::int64_t linhas = ate - de + 1;
    // Part k takes the rows from de + k * linhas / n up to the next part's first.
    return em_fios_mascarados(n, [&](int k) { faixa(de + k * linhas / n, de + (k + 1) * linhas / n - 1); });
}

}  // namespace

void linhas_independentes(std::int64_t de, std::int64_t ate, std::int64_t n_por_linha,
                          referencia_funcao<void(std::int64_t, std::int64_t)> faixa) {
    if (ate < de) return;
    const int n = linhas_que_repagam(de, ate, n_por_linha);
    if (n < 2) {
        faixa(de, ate);
        return;
    }
    if (em_partes(de, ate, n, faixa)) faixa(de, ate);
}

void linhas_independentes(std::int64_t de, std::int64_t ate, std::int64_t n_por_linha,
                          referencia_funcao<void(std::int64_t, std::int64_t)> faixa,
                          referencia_funcao<void(std::int64_t, std::int64_t)> em_ordem) {
    if (ate < de) return;
    const int ja_sinalizadas = std::fetestexcept(FE_ALL_EXCEPT);
    std::fexcept_t sinalizadas;
    std::fegetexceptflag(&sinalizadas, FE_ALL_EXCEPT);
    if (em_partes(de, ate, linhas_que_repagam(de, ate, n_por_linha), faixa)) em_ordem(de, ate);
    // Setting a flag this way raises no trap.
    if (ja_sinalizadas != 0) std::fesetexceptflag(&sinalizadas, ja_sinalizadas);
}

}  // namespace tempo_execucao
