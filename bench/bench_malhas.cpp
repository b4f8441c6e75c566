// Micro-benchmarks: each new kernel against the plain version in the same run.
//   field formatting: campo_e25_15 against snprintf("%25.15E"), the obvious way
//   the sweep: solvers::gauss_seidel (on one thread) against the plain
//   lexicographic loop, on a mesh that fits in the caches and on the mesh of
//   every case of mesh kind 2 in bench/casos (casos_bench.hpp is made from
//   it), and x and y as the program sweeps them, on one thread and on two.
// The sweeps run on the kernel of the run (the widest the processor runs, or
// the one MALHAS_NUCLEO names), which the report's context gives.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <vector>

#include "casos_bench.hpp"
#include "processamento/campos.hpp"
#include "solvers/solvers.hpp"
#include "solvers/varreduras_xy.hpp"
#include "tempo_execucao/nucleos.hpp"
#include "varredura_simples.hpp"

namespace {

std::vector<double> valores_aleatorios() {
    std::mt19937_64 g(42);
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    std::vector<double> v(1 << 16);
    for (auto& x : v)
        x = u(g);
    return v;
}

void BM_campo_e25_15(benchmark::State& estado) {
    const auto v = valores_aleatorios();
    char buf[32];
    std::size_t k = 0;
    for (auto _ : estado) {
        processamento::campo_e25_15(buf, v[k++ & 0xFFFF]);
        benchmark::DoNotOptimize(buf);
    }
    estado.SetItemsProcessed(static_cast<std::int64_t>(estado.iterations()));
}
BENCHMARK(BM_campo_e25_15);

void BM_campo_snprintf(benchmark::State& estado) {
    const auto v = valores_aleatorios();
    char buf[64];
    std::size_t k = 0;
    for (auto _ : estado) {
        std::snprintf(buf, sizeof buf, "%25.15E", v[k++ & 0xFFFF]);
        benchmark::DoNotOptimize(buf);
    }
    estado.SetItemsProcessed(static_cast<std::int64_t>(estado.iterations()));
}
BENCHMARK(BM_campo_snprintf);

void BM_campo_i10(benchmark::State& estado) {
    char buf[16];
    std::int32_t k = 0;
    for (auto _ : estado) {
        processamento::campo_i10(buf, k++ * 7919);
        benchmark::DoNotOptimize(buf);
    }
    estado.SetItemsProcessed(static_cast<std::int64_t>(estado.iterations()));
}
BENCHMARK(BM_campo_i10);

// A smooth, diagonally dominant system the size of a mesh.
struct sistema {
    std::int32_t nk, ne;
    std::vector<double> c[9];
    std::vector<double> phi;
    // forma_do_programa: the shape the smoothing's coefficients always have
    // (the corners' four from one value, ane = asw and anw = ase = -asw, and
    // ap = ((aw + an) + ae) + as, as the program computes them), which the
    // sweep packs in 5 doubles a vertex instead of 9; otherwise nine
    // independent values, which it must pack whole.
    sistema(std::int32_t nk_, std::int32_t ne_, bool forma_do_programa = false) : nk(nk_), ne(ne_) {
        const std::size_t n = static_cast<std::size_t>(nk) * static_cast<std::size_t>(ne) + 1;
        std::mt19937_64 g(1);
        std::uniform_real_distribution<double> u(0.1, 1.0);
        for (auto& a : c)
            a.assign(n, 0.0);
        phi.resize(n);
        for (std::size_t v = 0; v < n; ++v) {
            phi[v] = u(g);
            if (forma_do_programa) {
                // ae, aw, an, as; a small cross term of either sign, as a
                // mesh's off its right angles gives.
                for (int k = 1; k < 5; ++k)
                    c[k][v] = u(g);
                const double cruzado = 0.05 * (u(g) - 0.55);
                c[5][v] = cruzado;   // ane
                c[6][v] = -cruzado;  // anw
                c[7][v] = -cruzado;  // ase
                c[8][v] = cruzado;   // asw
                c[0][v] = ((c[2][v] + c[3][v]) + c[1][v]) + c[4][v];
                continue;
            }
            double soma = 0;
            for (int k = 1; k < 9; ++k)
                soma += (c[k][v] = u(g) * (k > 4 ? 0.1 : 1.0));
            c[0][v] = soma * 1.01;
        }
    }
};

template <bool simples>
void BM_varredura(benchmark::State& estado) {
    sistema s(static_cast<std::int32_t>(estado.range(0)), static_cast<std::int32_t>(estado.range(1)));
    const auto sweeps = static_cast<std::int32_t>(estado.range(2));
    for (auto _ : estado) {
        if (simples) {
            referencia::gauss_seidel_simples(s.phi.data(), s.c[0].data(), s.c[1].data(), s.c[2].data(),
                                             s.c[3].data(), s.c[4].data(), s.c[5].data(), s.c[6].data(),
                                             s.c[7].data(), s.c[8].data(), s.nk, s.ne, sweeps);
        } else {
            // solvers::gauss_seidel's own sweep, on one thread as the loop it is compared with.
            double* const phi[1] = {s.phi.data()};
            solvers::varre(phi, 1,
                           {s.c[0].data(), s.c[1].data(), s.c[2].data(), s.c[3].data(), s.c[4].data(),
                            s.c[5].data(), s.c[6].data(), s.c[7].data(), s.c[8].data()},
                           s.nk, s.ne, sweeps, 1, tempo_execucao::nucleo_da_execucao());
        }
        benchmark::ClobberMemory();
    }
    estado.SetItemsProcessed(static_cast<std::int64_t>(estado.iterations()) * (s.nk - 2) * (s.ne - 2) *
                             sweeps);
}

// The vertices along ksi and eta and the sweeps of one outer iteration of
// each case of mesh kind 2; given thread counts, one benchmark for each.
void casos_elipticos(benchmark::internal::Benchmark* b, std::initializer_list<std::int64_t> fios) {
    for (const caso_bench& c : casos_bench) {
        if (c.tipo_malha != 2) continue;
        if (fios.size() == 0) b->Args({c.nvol_ksi + 1, c.nvol_eta + 1, c.niter_solver});
        for (std::int64_t n : fios)
            b->Args({c.nvol_ksi + 1, c.nvol_eta + 1, c.niter_solver, n});
    }
}

// In cache (a 100 x 50 mesh), then the mesh of every smoothed case.
BENCHMARK(BM_varredura<true>)
    ->Name("BM_varredura_simples")
    ->Args({101, 51, 10})
    ->Apply([](benchmark::internal::Benchmark* b) { casos_elipticos(b, {}); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_varredura<false>)
    ->Name("BM_varredura_frente")
    ->Args({101, 51, 10})
    ->Apply([](benchmark::internal::Benchmark* b) { casos_elipticos(b, {}); })
    ->Unit(benchmark::kMillisecond);

// x and y swept as the driver sweeps them (side by side, in groups), on the
// given number of threads; items are vertex updates of both coordinates.
template <bool forma_do_programa>
void BM_varredura_xy(benchmark::State& estado) {
    sistema s(static_cast<std::int32_t>(estado.range(0)), static_cast<std::int32_t>(estado.range(1)),
              forma_do_programa);
    std::vector<double> y = s.phi;
    const auto sweeps = static_cast<std::int32_t>(estado.range(2));
    const auto linhas = static_cast<int>(estado.range(3));
    for (auto _ : estado) {
        solvers::gauss_seidel_x_y(s.phi.data(), y.data(), s.c[0].data(), s.c[1].data(), s.c[2].data(),
                                  s.c[3].data(), s.c[4].data(), s.c[5].data(), s.c[6].data(), s.c[7].data(),
                                  s.c[8].data(), s.nk, s.ne, sweeps, linhas);
        benchmark::ClobberMemory();
    }
    // A system that grew without bound would time the fault path instead.
    for (const std::vector<double>* a : {&s.phi, &y})
        for (double v : *a)
            if (!std::isfinite(v)) {
                estado.SkipWithError("the sweeps left a value that is not finite");
                return;
            }
    estado.SetItemsProcessed(static_cast<std::int64_t>(estado.iterations()) * 2 * (s.nk - 2) * (s.ne - 2) *
                             sweeps);
}
BENCHMARK(BM_varredura_xy<false>)
    ->Name("BM_varredura_xy")
    ->Apply([](benchmark::internal::Benchmark* b) {
        casos_elipticos(b, {1, 2});
    })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The same with the coefficients in the program's shape, on one thread: what
// the smoothing's sweeps meet.
BENCHMARK(BM_varredura_xy<true>)
    ->Name("BM_varredura_xy_programa")
    ->Apply([](benchmark::internal::Benchmark* b) { casos_elipticos(b, {1}); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The largest mesh of the smoothed cases, which is the farthest out of cache.
constexpr caso_bench maior_caso_eliptico() {
    caso_bench maior{};
    for (const caso_bench& c : casos_bench) {
        if (c.tipo_malha == 2 &&
            std::int64_t{c.nvol_ksi} * c.nvol_eta > std::int64_t{maior.nvol_ksi} * maior.nvol_eta)
            maior = c;
    }
    return maior;
}

// The floor for a sweep out of cache: reading the ten arrays it streams
// (nine coefficients and phi) of the largest smoothed case's mesh once, at
// the machine's memory bandwidth.
void BM_fluxo_memoria(benchmark::State& estado) {
    constexpr caso_bench maior = maior_caso_eliptico();
    sistema s(maior.nvol_ksi + 1, maior.nvol_eta + 1);
    for (auto _ : estado) {
        double soma = 0;
        for (const auto& a : s.c)
            for (double v : a)
                soma += v;
        for (double v : s.phi)
            soma += v;
        benchmark::DoNotOptimize(soma);
    }
    estado.SetBytesProcessed(static_cast<std::int64_t>(estado.iterations()) * 10 *
                             static_cast<std::int64_t>(s.phi.size() * sizeof(double)));
}
BENCHMARK(BM_fluxo_memoria)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::AddCustomContext("kernel", tempo_execucao::nome_nucleo(tempo_execucao::nucleo_da_execucao()));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
