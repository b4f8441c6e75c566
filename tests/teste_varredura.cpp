// The program's sweep against the plain lexicographic loop: the same bits for
// every size, sweep count and coefficient set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "apoio.hpp"
#include "coef/coef.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "malhas_segmentos/suavizacao.hpp"
#include "metricas/metricas.hpp"
#include "solvers/solvers.hpp"
#include "solvers/varreduras_xy.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/fios.hpp"
#include "tempo_execucao/relatorio_erro.hpp"
#include "variaveis/variaveis.hpp"
#include "varredura_simples.hpp"

namespace {

struct sistema {
    std::vector<double> c[9];  // ap ae aw an as ane anw ase asw
    std::vector<double> phi;
};

sistema aleatorio(std::int32_t nk, std::int32_t ne, std::mt19937_64& gerador) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const std::size_t n = static_cast<std::size_t>(nk) * static_cast<std::size_t>(ne) + 1;
    sistema s;
    for (auto& a : s.c)
        a.assign(n, 0.0);
    s.phi.resize(n);
    for (auto& p : s.phi)
        p = u(gerador) * 10;
    for (std::size_t v = 0; v < n; ++v) {
        double soma = 0;
        for (int k = 1; k < 9; ++k) {
            s.c[k][v] = u(gerador);
            soma += std::abs(s.c[k][v]);
        }
        s.c[0][v] = soma * (1.0 + 0.1 * std::abs(u(gerador)));  // keeps the iteration bounded
    }
    return s;
}

void varre(bool simples, std::vector<double>& phi, const sistema& s, std::int32_t nk, std::int32_t ne,
           std::int32_t n) {
    auto f = simples ? referencia::gauss_seidel_simples : solvers::gauss_seidel;
    f(phi.data(), s.c[0].data(), s.c[1].data(), s.c[2].data(), s.c[3].data(), s.c[4].data(), s.c[5].data(),
      s.c[6].data(), s.c[7].data(), s.c[8].data(), nk, ne, n);
}

TEST(Varredura, MesmosBitsQueOLacoSimples) {
    std::mt19937_64 gerador(20261208);
    int casos = 0;
    // Interior widths around the number of rows in flight, 1 and 2 interior
    // rows (where one band holds the same row several times), long rows.
    for (std::int32_t nk : {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 17, 40}) {
        for (std::int32_t ne : {3, 4, 5, 6, 7, 9, 12}) {
            for (std::int32_t n : {0, 1, 2, 3, 5, 7, 9}) {
                const sistema s = aleatorio(nk, ne, gerador);
                std::vector<double> a = s.phi, b = s.phi;
                varre(true, a, s, nk, ne, n);
                varre(false, b, s, nk, ne, n);
                ASSERT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0)
                    << nk << " x " << ne << ", " << n << " sweeps";
                ++casos;
            }
        }
    }
    EXPECT_EQ(casos, 12 * 7 * 7);
}

TEST(Varredura, NaoTocaFronteiraNemAlemDoArray) {
    // Non-finite coefficients on the boundary and a guard of NaN around the
    // arrays: any computation on a boundary or padding lane would show.
    const std::int32_t nk = 9, ne = 6;
    std::mt19937_64 gerador(7);
    sistema s = aleatorio(nk, ne, gerador);
    for (std::int32_t j = 1; j <= ne; ++j) {
        for (std::int32_t i = 1; i <= nk; ++i) {
            if (i > 1 && i < nk && j > 1 && j < ne) continue;
            for (auto& a : s.c)
                a[static_cast<std::size_t>((j - 1) * nk + i)] = std::nan("");
        }
    }
    std::vector<double> a = s.phi, b = s.phi;
    varre(true, a, s, nk, ne, 6);
    varre(false, b, s, nk, ne, 6);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
    for (std::int32_t v = 1; v <= nk * ne; ++v)
        EXPECT_FALSE(std::isnan(b[static_cast<std::size_t>(v)])) << v;
}

// x and y swept together, on one to four threads, against the plain loop
// run on each in turn; the in-order sweep of the fault path as well. Besides
// the small meshes (one group of sweeps, or several with 37 sweeps), rows so
// long that each group is one sweep, so that the threads hand the mesh to
// each other at every sweep, with fewer and more rows than the threads keep
// between them.
TEST(Varredura, XeYJuntasMesmosBitsQueOLacoSimples) {
    std::mt19937_64 gerador(13);
    struct tamanho {
        std::int32_t nk, ne;
        std::vector<std::int32_t> n;
    };
    std::vector<tamanho> tamanhos;
    for (std::int32_t nk : {3, 4, 7, 12, 41})
        for (std::int32_t ne : {3, 5, 8, 13})
            tamanhos.push_back({nk, ne, {0, 1, 3, 6, 37}});
    tamanhos.push_back({6001, 4, {2, 5}});
    tamanhos.push_back({6001, 31, {3}});
    for (const auto& [nk, ne, ns] : tamanhos) {
        {
            for (std::int32_t n : ns) {
                const sistema s = aleatorio(nk, ne, gerador);
                std::vector<double> y0 = aleatorio(nk, ne, gerador).phi;
                std::vector<double> xa = s.phi, ya = y0;
                varre(true, xa, s, nk, ne, n);
                varre(true, ya, s, nk, ne, n);
                std::vector<double> xo = s.phi;
                solvers::gauss_seidel_em_ordem(xo.data(), s.c[0].data(), s.c[1].data(), s.c[2].data(),
                                               s.c[3].data(), s.c[4].data(), s.c[5].data(), s.c[6].data(),
                                               s.c[7].data(), s.c[8].data(), nk, ne, n);
                ASSERT_EQ(std::memcmp(xa.data(), xo.data(), xa.size() * sizeof(double)), 0);
                for (int linhas : {1, 2, 3, 4}) {
                    std::vector<double> xb = s.phi, yb = y0;
                    solvers::gauss_seidel_x_y(xb.data(), yb.data(), s.c[0].data(), s.c[1].data(),
                                              s.c[2].data(), s.c[3].data(), s.c[4].data(), s.c[5].data(),
                                              s.c[6].data(), s.c[7].data(), s.c[8].data(), nk, ne, n, linhas);
                    ASSERT_EQ(std::memcmp(xa.data(), xb.data(), xa.size() * sizeof(double)), 0)
                        << nk << " x " << ne << ", " << n << " sweeps, " << linhas << " threads";
                    ASSERT_EQ(std::memcmp(ya.data(), yb.data(), ya.size() * sizeof(double)), 0)
                        << nk << " x " << ne << ", " << n << " sweeps, " << linhas << " threads";
                }
            }
        }
    }
}

// Faults in the sweeps, with the traps live as in a run: the report must be
// that of the first faulting operation in the plain order, x before y. Each
// case sets a later fault of one kind in that order that another order would
// meet after an earlier one of a different kind.
struct sistema_com_falhas {
    std::int32_t nk = 14, ne = 7;  // 12 interior columns, 5 interior rows
    std::vector<double> c[9], x, y;
    sistema_com_falhas() {
        const std::size_t n = static_cast<std::size_t>(nk * ne) + 1;
        for (auto& a : c)
            a.assign(n, 0.25);
        for (std::size_t v = 0; v < n; ++v)
            c[0][v] = 2.0;
        x.assign(n, 1.0);
        y.assign(n, 1.0);
    }
    std::size_t v(std::int32_t i, std::int32_t j) const { return static_cast<std::size_t>((j - 1) * nk + i); }
    [[noreturn]] void varre_e_sai(int linhas) {
        tempo_execucao::ativa_armadilhas_fp();
        solvers::gauss_seidel_x_y(x.data(), y.data(), c[0].data(), c[1].data(), c[2].data(), c[3].data(),
                                  c[4].data(), c[5].data(), c[6].data(), c[7].data(), c[8].data(), nk, ne, 1,
                                  linhas);
        std::exit(0);
    }
};

TEST(VarreduraFalhas, RelatorioDaPrimeiraFalhaNaOrdemDoLacoSimples) {
    // The child starts afresh: a forked copy of this process would inherit
    // the sweeps' helper threads, if an earlier test started them, as state
    // without the threads.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    // Within one sweep: a division by zero late in row 2, an overflow at the
    // start of row 3, which a wavefront reaches first.
    sistema_com_falhas linha;
    linha.c[0][linha.v(12, 2)] = 0.0;
    linha.c[5][linha.v(2, 3)] = 1e300;  // ane
    linha.x[linha.v(3, 4)] = 1e300;
    // x and y in one iteration: x divides by zero at its last vertex, y
    // overflows at its first, which a thread of its own would reach first.
    sistema_com_falhas xy;
    xy.c[0][xy.v(13, 6)] = 0.0;
    xy.c[8][xy.v(2, 2)] = 1e300;  // asw
    xy.y[xy.v(1, 1)] = 1e300;
    const char* const divisao = "run-time error M6103: MATH";
    for (int linhas : {1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << linhas << " threads");
        EXPECT_EXIT(linha.varre_e_sai(linhas), testing::ExitedWithCode(1), divisao);
        EXPECT_EXIT(xy.varre_e_sai(linhas), testing::ExitedWithCode(1), divisao);
    }
}

// The whole smoothing of the program, outer iterations included, with one
// sweep or the other: x and y must come out the same to the bit.
std::vector<double> suaviza(bool simples, std::int32_t nk, std::int32_t ne, std::int32_t niter_solver,
                            std::int32_t niter, double dk, double de) {
    using namespace variaveis;
    apoio::prepara_malha(nk, ne);
    malhas_segmentos::gera_malha_inicial();
    dksi = dk;
    deta = de;
    tipo_p = tipo_q = 1;
    aloca_trabalho_eliptico();
    if (simples) {
        // The test's own oracle: the outer iterations as written out, with
        // the plain sweep.
        for (std::int32_t k = 1; k <= niter; ++k) {
            metricas::calcula_metricas();
            coef::zera_fontes();
            coef::calcula_coef();
            referencia::gauss_seidel_simples(x, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta,
                                             niter_solver);
            referencia::gauss_seidel_simples(y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta,
                                             niter_solver);
        }
    } else {
        variaveis::niter = niter;
        variaveis::niter_solver = niter_solver;
        malhas_segmentos::suaviza_malha();
    }
    std::vector<double> r(x + 1, x + 1 + nvert);
    r.insert(r.end(), y + 1, y + 1 + nvert);
    reinicia();
    return r;
}

TEST(Varredura, SuavizacaoCompletaIgualAoLacoSimples) {
    struct caso {
        std::int32_t nk, ne, niter_solver, niter;
        double dk, de;
    };
    const caso casos[] = {
        {8, 4, 1, 3, 1, 1},    {9, 5, 2, 4, 1, 1},   {6, 2, 7, 5, 1, 1},     {7, 3, 7, 5, 1, 1},
        {12, 6, 0, 2, 1, 1},   {30, 12, 7, 6, 1, 2}, {21, 9, 2, 8, -1, 0.5}, {40, 20, 25, 3, 1, 1},
        {200, 3, 50, 2, 1, 1}, {5, 30, 9, 4, 2, 1},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(testing::Message() << c.nk << " x " << c.ne << ", " << c.niter_solver << " sweeps, "
                                        << c.niter << " iterations, spacings " << c.dk << ", " << c.de);
        const auto a = suaviza(true, c.nk, c.ne, c.niter_solver, c.niter, c.dk, c.de);
        const auto b = suaviza(false, c.nk, c.ne, c.niter_solver, c.niter, c.dk, c.de);
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
    }
}

}  // namespace
