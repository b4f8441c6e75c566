// The program's sweep against the plain lexicographic loop: the same bits for
// every size, sweep count and coefficient set.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "apoio.hpp"
#include "coef/coef.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "metricas/metricas.hpp"
#include "solvers/solvers.hpp"
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
    auto varredura = simples ? referencia::gauss_seidel_simples : solvers::gauss_seidel;
    for (std::int32_t k = 1; k <= niter; ++k) {
        metricas::calcula_metricas();
        coef::zera_fontes();
        coef::calcula_coef();
        varredura(x, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver);
        varredura(y, ap, ae, aw, an, as, ane, anw, ase, asw, nvert_ksi, nvert_eta, niter_solver);
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
