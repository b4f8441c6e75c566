// The program's sweep against the plain lexicographic loop: the same bits for
// every kernel, size, sweep count, coefficient set and number of threads.
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

using tempo_execucao::nome_nucleo;
using tempo_execucao::nucleo;

struct sistema {
    std::vector<double> c[9];  // ap ae aw an as ane anw ase asw
    std::vector<double> phi;
    solvers::coeficientes coeficientes() const {
        return {c[0].data(), c[1].data(), c[2].data(), c[3].data(), c[4].data(),
                c[5].data(), c[6].data(), c[7].data(), c[8].data()};
    }
};

// Random coefficients, or, compacto, with the shape of those the program
// computes (ane = asw, anw = ase = -asw, ap the sum of the other four in
// order), which the sweep packs in fewer numbers.
sistema aleatorio(std::int32_t nk, std::int32_t ne, std::mt19937_64& gerador, bool compacto = false) {
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
        if (compacto) {
            for (int k = 1; k <= 4; ++k)
                s.c[k][v] = std::abs(s.c[k][v]) + 0.5;
            s.c[8][v] = s.c[5][v] = 0.1 * s.c[5][v];
            s.c[6][v] = s.c[7][v] = -s.c[5][v];
            s.c[0][v] = ((s.c[2][v] + s.c[3][v]) + s.c[1][v]) + s.c[4][v];
        }
    }
    return s;
}

void varre_simples(std::vector<double>& phi, const sistema& s, std::int32_t nk, std::int32_t ne,
                   std::int32_t n) {
    referencia::gauss_seidel_simples(phi.data(), s.c[0].data(), s.c[1].data(), s.c[2].data(), s.c[3].data(),
                                     s.c[4].data(), s.c[5].data(), s.c[6].data(), s.c[7].data(),
                                     s.c[8].data(), nk, ne, n);
}

bool iguais(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// One array on each kernel, one thread, against the plain loop. Widths
// around each kernel's lanes and the two columns a row runs behind the one
// below; heights of one and two interior rows, of whole bands of 2, 4 and 8
// rows and beyond; random coefficients and coefficients of the program's
// shape.
TEST(Varredura, MesmosBitsQueOLacoSimplesEmCadaNucleo) {
    std::mt19937_64 gerador(20261208);
    int casos = 0;
    for (std::int32_t nk : {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 17, 19, 40}) {
        for (std::int32_t ne : {3, 4, 5, 6, 7, 9, 10, 12, 18, 19}) {
            for (std::int32_t n : {0, 1, 2, 5, 9}) {
                const sistema s = aleatorio(nk, ne, gerador, (nk + ne + n) % 2 == 0);
                std::vector<double> a = s.phi;
                varre_simples(a, s, nk, ne, n);
                for (nucleo k : apoio::nucleos()) {
                    std::vector<double> b = s.phi;
                    double* const phi[1] = {b.data()};
                    solvers::varre(phi, 1, s.coeficientes(), nk, ne, n, 1, k);
                    ASSERT_TRUE(iguais(a, b))
                        << nome_nucleo(k) << ", " << nk << " x " << ne << ", " << n << " sweeps";
                }
                ++casos;
            }
        }
    }
    EXPECT_EQ(casos, 13 * 10 * 5);
}

// solvers::gauss_seidel is the program's sweep on one array.
TEST(Varredura, GaussSeidelEAVarreduraDoPrograma) {
    std::mt19937_64 gerador(5);
    const sistema s = aleatorio(23, 14, gerador, true);
    std::vector<double> a = s.phi, b = s.phi;
    varre_simples(a, s, 23, 14, 7);
    solvers::gauss_seidel(b.data(), s.c[0].data(), s.c[1].data(), s.c[2].data(), s.c[3].data(), s.c[4].data(),
                          s.c[5].data(), s.c[6].data(), s.c[7].data(), s.c[8].data(), 23, 14, 7);
    EXPECT_TRUE(iguais(a, b));
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
    std::vector<double> a = s.phi;
    varre_simples(a, s, nk, ne, 6);
    for (nucleo k : apoio::nucleos()) {
        std::vector<double> b = s.phi;
        double* const phi[1] = {b.data()};
        solvers::varre(phi, 1, s.coeficientes(), nk, ne, 6, 1, k);
        EXPECT_TRUE(iguais(a, b)) << nome_nucleo(k);
        for (std::int32_t v = 1; v <= nk * ne; ++v)
            EXPECT_FALSE(std::isnan(b[static_cast<std::size_t>(v)])) << nome_nucleo(k) << ", vertex " << v;
    }
}

// x and y swept together on each kernel, on one to four threads, against the
// plain loop run on each in turn; the in-order sweep of the fault path as
// well. Besides the small meshes (one group of sweeps, or several with 37
// sweeps), rows so long that each group is one sweep, so that the threads
// hand the mesh to each other at every sweep, with fewer and more rows than
// the threads keep between them; and the benchmark's sizes, the larger of
// which packs its coefficients group by group.
TEST(Varredura, XeYJuntasMesmosBitsQueOLacoSimples) {
    std::mt19937_64 gerador(13);
    struct tamanho {
        std::int32_t nk, ne;
        std::vector<std::int32_t> n;
        std::vector<int> fios;
    };
    std::vector<tamanho> tamanhos;
    for (std::int32_t nk : {3, 4, 7, 12, 41})
        for (std::int32_t ne : {3, 5, 8, 13, 22})
            tamanhos.push_back({nk, ne, {0, 1, 3, 6, 37}, {1, 2, 3, 4}});
    tamanhos.push_back({6001, 4, {2, 5}, {1, 2, 3, 4}});
    tamanhos.push_back({6001, 31, {3}, {1, 2, 3, 4}});
    tamanhos.push_back({401, 201, {50}, {1, 2}});
    tamanhos.push_back({2001, 1001, {10}, {1, 2}});
    bool compacto = false;
    for (const auto& [nk, ne, ns, contagens_fios] : tamanhos) {
        for (std::int32_t n : ns) {
            compacto = !compacto;
            const sistema s = aleatorio(nk, ne, gerador, compacto);
            std::vector<double> y0 = aleatorio(nk, ne, gerador).phi;
            std::vector<double> xa = s.phi, ya = y0;
            varre_simples(xa, s, nk, ne, n);
            varre_simples(ya, s, nk, ne, n);
            std::vector<double> xo = s.phi;
            solvers::gauss_seidel_em_ordem(xo.data(), s.c[0].data(), s.c[1].data(), s.c[2].data(),
                                           s.c[3].data(), s.c[4].data(), s.c[5].data(), s.c[6].data(),
                                           s.c[7].data(), s.c[8].data(), nk, ne, n);
            ASSERT_TRUE(iguais(xa, xo));
            for (nucleo k : apoio::nucleos()) {
                for (int fios : contagens_fios) {
                    std::vector<double> xb = s.phi, yb = y0;
                    solvers::gauss_seidel_x_y(xb.data(), yb.data(), s.c[0].data(), s.c[1].data(),
                                              s.c[2].data(), s.c[3].data(), s.c[4].data(), s.c[5].data(),
                                              s.c[6].data(), s.c[7].data(), s.c[8].data(), nk, ne, n, fios,
                                              k);
                    const auto onde = testing::Message() << nome_nucleo(k) << ", " << nk << " x " << ne
                                                         << ", " << n << " sweeps, " << fios << " threads";
                    ASSERT_TRUE(iguais(xa, xb)) << onde;
                    ASSERT_TRUE(iguais(ya, yb)) << onde;
                }
            }
        }
    }
}

// Faults in the sweeps, with the traps live as in a run: the report must be
// that of the first faulting operation in the plain order, x before y, on
// every kernel and number of threads. Each case sets a later fault of one
// kind in that order that another order would meet after an earlier one of
// a different kind.
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
    [[noreturn]] void varre_e_sai(int fios, nucleo k) {
        tempo_execucao::ativa_armadilhas_fp();
        solvers::gauss_seidel_x_y(x.data(), y.data(), c[0].data(), c[1].data(), c[2].data(), c[3].data(),
                                  c[4].data(), c[5].data(), c[6].data(), c[7].data(), c[8].data(), nk, ne, 1,
                                  fios, k);
        std::exit(0);
    }
};

TEST(VarreduraFalhas, RelatorioDaPrimeiraFalhaNaOrdemDoLacoSimples) {
    // The child starts afresh: a forked copy of this process would inherit
    // the sweeps' helper threads, if an earlier test started them, as state
    // without the threads.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    struct caso {
        const char* nome;
        sistema_com_falhas s;
        const char* relatorio;
    };
    const char* const divisao = "run-time error M6103: MATH";
    const char* const overflow = "run-time error M6104: MATH";
    std::vector<caso> casos;
    {
        // A division by zero late in row 2, an overflow at the start of row
        // 3, which the lanes reach first.
        sistema_com_falhas s;
        s.c[0][s.v(12, 2)] = 0.0;
        s.c[5][s.v(2, 3)] = 1e300;  // ane
        s.x[s.v(3, 4)] = 1e300;
        casos.push_back({"within a sweep", s, divisao});
    }
    {
        // x divides by zero at its first vertex, and overflows later.
        sistema_com_falhas s;
        s.c[0][s.v(2, 2)] = 0.0;
        s.c[8][s.v(5, 4)] = 1e300;  // asw
        s.x[s.v(4, 3)] = 1e300;
        casos.push_back({"first vertex of x", s, divisao});
    }
    {
        // x divides by zero at its last vertex, y overflows at its first,
        // which a thread or a lane of its own would reach first.
        sistema_com_falhas s;
        s.c[0][s.v(13, 6)] = 0.0;
        s.c[8][s.v(2, 2)] = 1e300;  // asw
        s.y[s.v(1, 1)] = 1e300;
        casos.push_back({"last vertex of x", s, divisao});
    }
    {
        // Only y overflows.
        sistema_com_falhas s;
        s.c[1][s.v(9, 5)] = 1e300;  // ae
        s.y[s.v(10, 5)] = 1e300;
        casos.push_back({"overflow in y", s, overflow});
    }
    for (nucleo k : apoio::nucleos()) {
        for (int fios : {1, 2, 3}) {
            for (caso& c : casos) {
                SCOPED_TRACE(testing::Message()
                             << c.nome << ", " << nome_nucleo(k) << ", " << fios << " threads");
                EXPECT_EXIT(c.s.varre_e_sai(fios, k), testing::ExitedWithCode(1), c.relatorio);
            }
        }
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
