// The sweeps of one array or of x and y, with the fault report of the sweeps
// in order.
//
// The arrays are copied into the banded layout of faixas.hpp and swept there
// on the run's kernel. The sweeps of a call are cut into groups; with several
// threads, group k + 1 runs on the next thread a few bands behind group k, so
// that every vertex still sees the values the sweeps in order give it.
//
// Neither the lanes nor the threads take the operations in the order of the
// plain loop: an overflow early in a row can execute before a division by
// zero late in the row below it, or one of y before one of x. With the traps
// live, that would change the report. The sweeps therefore run with the traps
// masked and test the fault flags afterwards; faults are rare, and only then
// are the sweeps done again on the arrays, which are as the call found them,
// in the order of the plain loop with the traps live, so that the trap fires
// at the very operation that faults first in that order.
#include "solvers/varreduras_xy.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "solvers/faixas.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/fios.hpp"
#include "tempo_execucao/pistas.hpp"
#include "variaveis/numeracao.hpp"

namespace solvers {

namespace {

using tempo_execucao::nucleo;

// Below this many vertex updates per sweep call, handing work to another
// thread costs more than it saves: the call runs on the calling thread alone.
constexpr std::int64_t minimo_para_fios_auxiliares = std::int64_t{1} << 16;

// Rows between a group and the one before it, beyond what the order needs:
// the bands a group reads are then no longer being written by the thread of
// the group before it.
constexpr std::int64_t folga_linhas = 8;

// The coefficients of every band are packed once per call while they take no
// more than this; beyond it each group packs the bands it reaches into a ring
// of its own, which costs a packing per group but keeps the memory of a huge
// mesh to a few bands per thread.
constexpr std::int64_t limite_pacotes = std::int64_t{32} << 20;

// What a group of sweeps should keep in the cache: the bands of its sweeps.
constexpr std::int64_t bytes_cache = std::int64_t{1} << 20;

// What a group's ring of packed bands may take, per thread.
constexpr std::int64_t limite_anel = std::int64_t{32} << 20;

// A short wait in a spin loop.
inline void pausa() {
#if defined(MALHAS_PISTAS_SSE2)
    _mm_pause();
#endif
}

// Doubles aligned to the widest vector, kept from call to call as the driver's
// arrays are. Left uninitialised.
struct memoria_alinhada {
    std::unique_ptr<double[]> bloco;
    double* dados = nullptr;
    std::int64_t capacidade = 0;

    // Room for n doubles; whether it is a new block.
    bool garante(std::int64_t n, const char* nome) {
        if (capacidade >= n) return false;
        constexpr std::int64_t alinhamento = 64 / sizeof(double);
        tempo_execucao::alocando a(nome);
        bloco.reset();  // the old one goes first, so the two are never held at once
        dados = nullptr;
        capacidade = 0;
        bloco.reset(new double[static_cast<std::size_t>(n + alinhamento)]);
        const auto endereco = reinterpret_cast<std::uintptr_t>(bloco.get());
        const auto resto =
            static_cast<std::int64_t>(endereco % 64) / static_cast<std::int64_t>(sizeof(double));
        dados = bloco.get() + (resto == 0 ? 0 : alinhamento - resto);
        capacidade = n;
        return true;
    }
};

bool mesma_geometria(const faixas::geometria& a, const faixas::geometria& b) {
    return a.n_ksi == b.n_ksi && a.n_eta == b.n_eta && a.largura == b.largura &&
           a.coordenadas == b.coordenadas;
}

// The kernel's own entry points (faixas.hpp).
void varre_grupo(nucleo n, const faixas::varredura& v, double* anel, std::int64_t g,
                 faixas::espera_faixa espera, faixas::espera_faixa avancou) {
    MALHAS_NO_NUCLEO(n, faixas, varre_grupo(v, anel, g, espera, avancou))
}

bool compactaveis(nucleo n, const faixas::varredura& v, std::int64_t b) {
    MALHAS_NO_NUCLEO(n, faixas, compactaveis(v, b))
}

void empacota(nucleo n, const faixas::varredura& v, std::int64_t b, double* destino) {
    MALHAS_NO_NUCLEO(n, faixas, empacota(v, b, destino))
}

void copia_para_faixas(nucleo n, const faixas::geometria& g, double* malha, double* const* phi,
                       std::int64_t de, std::int64_t ate) {
    MALHAS_NO_NUCLEO(n, faixas, copia_para_faixas(g, malha, phi, de, ate))
}

void copia_das_faixas(nucleo n, const faixas::geometria& g, const double* malha, double* const* phi,
                      std::int64_t de, std::int64_t ate) {
    MALHAS_NO_NUCLEO(n, faixas, copia_das_faixas(g, malha, phi, de, ate))
}

}  // namespace

void gauss_seidel_em_ordem(double* phi, const double* ap, const double* ae, const double* aw,
                           const double* an, const double* as, const double* ane, const double* anw,
                           const double* ase, const double* asw, std::int32_t nvert_ksi,
                           std::int32_t nvert_eta, std::int32_t niter_solver) {
    const std::int64_t n_ksi = nvert_ksi;
    const coeficientes c{ap, ae, aw, an, as, ane, anw, ase, asw};
    for (std::int32_t iter = 1; iter <= niter_solver; ++iter) {
        for (std::int64_t j = 2; j <= static_cast<std::int64_t>(nvert_eta) - 1; ++j) {
            for (std::int64_t i = 2; i <= n_ksi - 1; ++i) {
                const std::int64_t v = variaveis::numero_vertice(i, j, n_ksi);
                phi[v] = atualizacao(phi, c, v, n_ksi);
            }
        }
    }
}

int fios_para_varreduras(std::int32_t nvert_ksi, std::int32_t nvert_eta, std::int32_t niter_solver) {
    const std::int64_t atualizacoes = (static_cast<std::int64_t>(nvert_ksi) - 2) *
                                      (static_cast<std::int64_t>(nvert_eta) - 2) * niter_solver;
    return atualizacoes >= minimo_para_fios_auxiliares ? tempo_execucao::fios_de_execucao() : 1;
}

void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver) {
    gauss_seidel_x_y(x, y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver,
                     fios_para_varreduras(nvert_ksi, nvert_eta, niter_solver));
}

void gauss_seidel_x_y(double* x, double* y, const double* ap, const double* ae, const double* aw,
                      const double* an, const double* as, const double* ane, const double* anw,
                      const double* ase, const double* asw, std::int32_t nvert_ksi, std::int32_t nvert_eta,
                      std::int32_t niter_solver, int fios, tempo_execucao::nucleo nucleo) {
    double* const phi[2] = {x, y};
    varre(phi, 2, {ap, ae, aw, an, as, ane, anw, ase, asw}, nvert_ksi, nvert_eta, niter_solver, fios, nucleo);
}

namespace {

// The banded copy: the sweeps work on it, so the arrays stay as the
// iteration found them until the sweeps are known to be sound. Its
// positions that hold no vertex are cleared when it is made.
memoria_alinhada copia_faixas;
faixas::geometria geometria_feita;
// The packed coefficients, or the threads' rings of them.
memoria_alinhada pacotes;

double* prepara_copia(const faixas::geometria& g) {
    const bool nova = copia_faixas.garante(g.total(), "sweep copy of x and y");
    if (nova || !mesma_geometria(geometria_feita, g)) {
        std::fill(copia_faixas.dados, copia_faixas.dados + g.total(), 0.0);
        geometria_feita = g;
    }
    return copia_faixas.dados;
}

// The coefficients: packed once for all the sweeps of the call while that
// takes little memory, else by each group into a ring as it reaches a band.
// Compact when every band allows it; the check's sums run with the traps
// masked and their flags discarded, as they are not the sweep's. The threads
// copy the arrays in at the same time.
void prepara_coeficientes(nucleo n, faixas::varredura& v, double* const* phi, int n_fios, bool empacotadas) {
    const faixas::geometria& g = v.g;
    v.g.no_pacote = faixas::coeficientes_compactos;
    if (empacotadas) pacotes.garante(g.faixas * v.g.por_pacote(), "packed sweep coefficients");
    std::array<bool, tempo_execucao::maximo_fios> compactas{};
    const std::int64_t n_faixas = g.faixas;
    double* const p = pacotes.dados;
    tempo_execucao::em_fios_mascarados(n_fios, [&](int k) {
        copia_para_faixas(n, g, v.malha, phi, k * (n_faixas + 2) / n_fios - 1,
                          (k + 1) * (n_faixas + 2) / n_fios - 2);
        bool todas = true;
        for (std::int64_t b = k * n_faixas / n_fios; todas && b < (k + 1) * n_faixas / n_fios; ++b) {
            todas = compactaveis(n, v, b);
            if (todas && empacotadas) empacota(n, v, b, p + b * v.g.por_pacote());
        }
        compactas[static_cast<std::size_t>(k)] = todas;
    });
    if (std::all_of(compactas.begin(), compactas.begin() + n_fios, [](bool b) { return b; })) return;
    v.g.no_pacote = faixas::coeficientes_por_vertice;
    if (!empacotadas) return;
    pacotes.garante(g.faixas * v.g.por_pacote(), "packed sweep coefficients");
    double* const q = pacotes.dados;
    tempo_execucao::linhas_independentes(0, n_faixas - 1, v.g.por_pacote(),
                                         [&](std::int64_t de, std::int64_t ate) {
                                             for (std::int64_t b = de; b <= ate; ++b)
                                                 empacota(n, v, b, q + b * v.g.por_pacote());
                                         });
}

// The sweeps in groups, dealt out in turn to the threads, as evenly as the
// count allows: group k + 1 follows group k through the mesh a few bands
// behind it, each on the next thread. A group holds what the cache keeps of
// its bands, or what its ring allows. Whether a fault flag was raised.
bool varre_em_grupos(nucleo n, const faixas::varredura& v, std::int32_t niter_solver, int n_fios,
                     bool empacotadas) {
    using namespace faixas;
    const geometria& g = v.g;
    const std::int64_t bytes_pacote = g.por_pacote() * static_cast<std::int64_t>(sizeof(double));
    const std::int64_t bytes_faixa = bytes_pacote + g.por_faixa() * static_cast<std::int64_t>(sizeof(double));
    const std::int64_t cabem =
        empacotadas ? bytes_cache / bytes_faixa : limite_anel / bytes_pacote - maximo_em_voo;
    const std::int64_t por_grupo =
        std::clamp<std::int64_t>(cabem, 1, std::min<std::int64_t>(niter_solver, 16));
    const std::int64_t necessarios = (niter_solver + por_grupo - 1) / por_grupo;
    const std::int64_t grupos =
        std::min<std::int64_t>(niter_solver, (necessarios + n_fios - 1) / n_fios * n_fios);
    const std::int64_t base = niter_solver / grupos, resto = niter_solver % grupos;
    double* aneis = nullptr;
    const std::int64_t por_anel = faixas_no_anel(base + (resto > 0 ? 1 : 0)) * g.por_pacote();
    if (!empacotadas) {
        pacotes.garante(n_fios * por_anel, "packed sweep coefficients");
        aneis = pacotes.dados;
    }

    // Progress of each thread: its groups counted from 0 (q, for group
    // q * n_fios + t) times (faixas + 1), plus b + 1 once that group has
    // passed band b in its last sweep. Kept in 32 bits, which every platform
    // reads and writes as a whole, and compared as a difference: a thread is
    // never more than a group away from what another waits for. One cache
    // line each, as each is written by one thread and read by another.
    const std::uint32_t passo_grupo = static_cast<std::uint32_t>(g.faixas + 1);
    const std::int64_t folga = (folga_linhas + g.largura - 1) / g.largura;
    struct alignas(64) contador {
        std::atomic<std::uint32_t> valor{0};
    };
    std::array<contador, tempo_execucao::maximo_fios> avanco;
    auto trabalha = [&](int t) {
        double* const anel = aneis != nullptr ? aneis + t * por_anel : nullptr;
        for (std::int64_t k = t; k < grupos; k += n_fios) {
            const std::int64_t gk = base + (k < resto ? 1 : 0);
            const auto q = static_cast<std::uint32_t>(k / n_fios);
            const std::atomic<std::uint32_t>& anterior =
                avanco[static_cast<std::size_t>((k + n_fios - 1) % n_fios)].valor;
            std::atomic<std::uint32_t>& proprio = avanco[static_cast<std::size_t>(t)].valor;
            auto espera = [&](std::int64_t b) {
                if (n_fios == 1 || k == 0) return;
                const std::int64_t ate = std::min(b + 1 + folga, g.faixas - 1);
                const std::uint32_t alvo = static_cast<std::uint32_t>((k - 1) / n_fios) * passo_grupo +
                                           static_cast<std::uint32_t>(ate + 1);
                for (int tentativas = 0;
                     static_cast<std::int32_t>(anterior.load(std::memory_order_acquire) - alvo) < 0;) {
                    if (tentativas < 20000) {
                        ++tentativas;
                        pausa();
                    } else {
                        std::this_thread::yield();  // the thread ahead is not running: let it
                    }
                }
            };
            auto avancou = [&](std::int64_t b) {
                if (n_fios != 1)
                    proprio.store(q * passo_grupo + static_cast<std::uint32_t>(b + 1),
                                  std::memory_order_release);
            };
            varre_grupo(n, v, anel, gk, espera, avancou);
        }
    };
    return tempo_execucao::em_fios_mascarados(n_fios, trabalha);
}

}  // namespace

void varre(double* const* phi, int coordenadas, const coeficientes& c, std::int32_t nvert_ksi,
           std::int32_t nvert_eta, std::int32_t niter_solver, int fios, tempo_execucao::nucleo nucleo) {
    using namespace faixas;
    const std::int64_t n_ksi = nvert_ksi, n_eta = nvert_eta;
    if (niter_solver <= 0 || n_ksi < 3 || n_eta < 3) return;
    const geometria g0 = geometria_de(n_ksi, n_eta, largura_de(nucleo), coordenadas);
    double* const malha = prepara_copia(g0);
    varredura v{g0, malha, c, nullptr};
    const int n_fios = tempo_execucao::reserva_fios(std::min(fios, niter_solver));
    const bool empacotadas =
        g0.faixas * g0.por_pacote() * static_cast<std::int64_t>(sizeof(double)) <= limite_pacotes;
    prepara_coeficientes(nucleo, v, phi, n_fios, empacotadas);
    if (empacotadas) v.pacotes = pacotes.dados;
    const geometria g = v.g;
    if (!varre_em_grupos(nucleo, v, niter_solver, n_fios, empacotadas)) {
        tempo_execucao::linhas_independentes(
            0, g.faixas - 1, g.largura * n_ksi * coordenadas,
            [=](std::int64_t de, std::int64_t ate) { copia_das_faixas(nucleo, g, malha, phi, de, ate); });
        return;
    }
    // The arrays are as the iteration found them: the sweeps again, in order,
    // with the traps live.
    for (int k = 0; k < coordenadas; ++k)
        gauss_seidel_em_ordem(phi[k], c.ap, c.ae, c.aw, c.an, c.as, c.ane, c.anw, c.ase, c.asw, nvert_ksi,
                              nvert_eta, niter_solver);
}

}  // namespace solvers
