// Metric terms, stencil coefficients and the point-iterative sweep, in
// isolation and together on the 4 by 2 initial mesh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "apoio.hpp"
#include "coef/coef.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "metricas/metricas.hpp"
#include "solvers/solvers.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "variaveis/variaveis.hpp"
#include "varredura_simples.hpp"

namespace {

using namespace variaveis;

void prepara(std::int32_t nk, std::int32_t ne, double dk = 1.0, double de = 1.0) {
    apoio::prepara_malha(nk, ne);
    dksi = dk;
    deta = de;
    tipo_p = tipo_q = 1;
    aloca_trabalho_eliptico();
}

void malha_retangular(double a, double b, double cisalhamento = 0.0) {
    for (std::int32_t j = 1; j <= nvert_eta; ++j) {
        for (std::int32_t i = 1; i <= nvert_ksi; ++i) {
            const std::int32_t v = (j - 1) * nvert_ksi + i;
            x[v] = (i - 1) * a + (j - 1) * cisalhamento;
            y[v] = (j - 1) * b;
        }
    }
}

struct metricas_esperadas {
    std::int32_t v;
    double x_ksi, y_ksi, x_eta, y_eta, alfa, beta, gama, jac;
};

TEST(Eliptico, MetricasNaMalhaInicial4por2) {
    prepara(4, 2);
    malhas_segmentos::gera_malha_inicial();
    metricas::calcula_metricas();
    const metricas_esperadas casos[] = {
        {7, 0, -0.375, 0.25, 0.125, 0.078125, -0.046875, 0.140625, 1 / 0.09375},
        {8, 0.1875, -0.1875, 0.25, 0.25, 0.125, 0, 0.0703125, 1 / 0.09375},
        {9, 0.375, 0, 0.125, 0.25, 0.078125, 0.046875, 0.140625, 1 / 0.09375},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(x_ksi[c.v], c.x_ksi);
        EXPECT_EQ(y_ksi[c.v], c.y_ksi);
        EXPECT_EQ(x_eta[c.v], c.x_eta);
        EXPECT_EQ(y_eta[c.v], c.y_eta);
        EXPECT_EQ(alfa[c.v], c.alfa);
        EXPECT_EQ(beta[c.v], c.beta);
        EXPECT_EQ(gama[c.v], c.gama);
        EXPECT_DOUBLE_EQ(jac[c.v], c.jac);
    }
    // Boundary entries are never written.
    for (std::int32_t v : {1, 6, 10, 11, 15})
        EXPECT_EQ(alfa[v], 0.0);
}

TEST(Eliptico, MetricasDeMalhasUniformeECisalhada) {
    struct caso {
        const char* nome;
        double a, b, cis, dk, de;
        double x_ksi, y_ksi, x_eta, y_eta, alfa, beta, gama, jac;
    };
    const caso casos[] = {
        {"uniform", 0.5, 0.25, 0, 1, 1, 0.5, 0, 0, 0.25, 0.0625, 0, 0.25, 8},
        {"dksi 2", 0.5, 0.25, 0, 2, 1, 0.25, 0, 0, 0.25, 0.0625, 0, 0.0625, 16},
        {"sheared", 1, 1, 0.5, 1, 1, 1, 0, 0.5, 1, 1.25, 0.5, 1, 1},
        {"negative spacing", 0.5, 0.25, 0, -1, 1, -0.5, 0, 0, 0.25, 0.0625, 0, 0.25, -8},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        prepara(5, 4, c.dk, c.de);
        malha_retangular(c.a, c.b, c.cis);
        metricas::calcula_metricas();
        for (std::int32_t j = 2; j < nvert_eta; ++j) {
            for (std::int32_t i = 2; i < nvert_ksi; ++i) {
                const std::int32_t v = (j - 1) * nvert_ksi + i;
                EXPECT_EQ(x_ksi[v], c.x_ksi);
                EXPECT_EQ(y_ksi[v], c.y_ksi);
                EXPECT_EQ(x_eta[v], c.x_eta);
                EXPECT_EQ(y_eta[v], c.y_eta);
                EXPECT_EQ(alfa[v], c.alfa);
                EXPECT_EQ(beta[v], c.beta);
                EXPECT_EQ(gama[v], c.gama);
                EXPECT_EQ(jac[v], c.jac);
            }
        }
    }
}

TEST(Eliptico, FatorEMultiplicadoNaoDividido) {
    // 0.5/3 times a difference rounds differently from the difference over 6
    // for some values; the factor must be the one used.
    prepara(2, 2, 3.0, 3.0);
    for (std::int32_t v = 1; v <= nvert; ++v)
        x[v] = y[v] = 0;
    x[6] = 2.1;  // east neighbour of the one interior vertex 5
    y[8] = 2.1;  // north neighbour
    x[4] = 0.0;
    metricas::calcula_metricas();
    EXPECT_EQ(metricas::fator_ksi, 0.5 / 3.0);
    EXPECT_EQ(x_ksi[5], (2.1 - 0.0) * (0.5 / 3.0));
    EXPECT_NE((2.1 - 0.0) * (0.5 / 3.0), 2.1 / 6.0);
}

TEST(Eliptico, CoeficientesNaMalhaInicial4por2) {
    prepara(4, 2);
    malhas_segmentos::gera_malha_inicial();
    metricas::calcula_metricas();
    coef::zera_fontes();
    coef::calcula_coef();
    struct caso {
        std::int32_t v;
        double ae, aw, an, as, ane, anw, ase, asw, ap;
    };
    const caso casos[] = {
        {7, 0.078125, 0.078125, 0.140625, 0.140625, 0.0234375, -0.0234375, -0.0234375, 0.0234375, 0.4375},
        {8, 0.125, 0.125, 0.0703125, 0.0703125, 0, 0, 0, 0, 0.390625},
        {9, 0.078125, 0.078125, 0.140625, 0.140625, -0.0234375, 0.0234375, 0.0234375, -0.0234375, 0.4375},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(ae[c.v], c.ae);
        EXPECT_EQ(aw[c.v], c.aw);
        EXPECT_EQ(an[c.v], c.an);
        EXPECT_EQ(as[c.v], c.as);
        EXPECT_EQ(ane[c.v], c.ane);
        EXPECT_EQ(anw[c.v], c.anw);
        EXPECT_EQ(ase[c.v], c.ase);
        EXPECT_EQ(asw[c.v], c.asw);
        EXPECT_EQ(ap[c.v], c.ap);
    }
}

TEST(Eliptico, FontesZeradasOuMantidasConformeOTipo) {
    struct caso {
        std::int32_t tp, tq;
        bool p_mantida, q_mantida;
    };
    const caso casos[] = {{1, 1, false, false},
                          {2, 0, true, false},
                          {-2, 2, false, true},
                          {2, 2, true, true},
                          {3, 7, false, false}};
    for (const auto& c : casos) {
        SCOPED_TRACE(testing::Message() << c.tp << "," << c.tq);
        prepara(4, 3);
        malha_retangular(0.5, 0.25);
        tipo_p = c.tp;
        tipo_q = c.tq;
        for (std::int32_t v = 1; v <= nvert; ++v)
            p_fonte[v] = q_fonte[v] = 3.0;
        coef::zera_fontes();
        for (std::int32_t v = 1; v <= nvert; ++v) {
            EXPECT_EQ(p_fonte[v], c.p_mantida ? 3.0 : 0.0);
            EXPECT_EQ(q_fonte[v], c.q_mantida ? 3.0 : 0.0);
        }
        metricas::calcula_metricas();
        coef::calcula_coef();
        const std::int32_t v = nvert_ksi + 2;  // vertex (2, 2)
        // a = 0.5, b = 0.25: f = (a b)^2 = 1/64.
        EXPECT_EQ(ae[v], 0.0625 + (c.p_mantida ? 0.5 * 3.0 / 64 : 0.0));
        EXPECT_EQ(aw[v], 0.0625 - (c.p_mantida ? 0.5 * 3.0 / 64 : 0.0));
        EXPECT_EQ(an[v], 0.25 + (c.q_mantida ? 0.5 * 3.0 / 64 : 0.0));
        EXPECT_EQ(as[v], 0.25 - (c.q_mantida ? 0.5 * 3.0 / 64 : 0.0));
        EXPECT_EQ(ap[v], 2 * 0.0625 + 2 * 0.25);
    }
}

// The metric terms and the coefficients on each kernel against the plain
// loops, to the bit in all seventeen arrays: a perturbed mesh whose rows hold
// a whole number of no kernel's lanes, unequal spacings, kept control
// functions of either sign.
TEST(Eliptico, MetricasECoeficientesMesmosBitsEmCadaNucleo) {
    prepara(23, 9, 0.7, 1.3);
    malhas_segmentos::gera_malha_inicial();
    tipo_p = tipo_q = 2;
    std::mt19937_64 gerador(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (std::int32_t v = 1; v <= nvert; ++v) {
        x[v] += 0.01 * u(gerador);
        y[v] += 0.01 * u(gerador);
        p_fonte[v] = u(gerador);
        q_fonte[v] = u(gerador);
    }
    referencia::metricas_e_coeficientes_simples();
    std::vector<std::vector<double>> esperados;
    for (const array_trabalho& a : arrays_trabalho)
        esperados.emplace_back(*a.local, *a.local + nvert + 1);
    for (tempo_execucao::nucleo k : apoio::nucleos()) {
        for (const array_trabalho& a : arrays_trabalho)
            if (*a.local != p_fonte && *a.local != q_fonte) std::fill(*a.local, *a.local + nvert + 1, 0.0);
        metricas::calcula_metricas(k);
        coef::zera_fontes();
        coef::calcula_coef(k);
        for (std::size_t m = 0; m < esperados.size(); ++m) {
            EXPECT_EQ(std::memcmp(esperados[m].data(), *arrays_trabalho[m].local,
                                  esperados[m].size() * sizeof(double)),
                      0)
                << tempo_execucao::nome_nucleo(k) << ": " << arrays_trabalho[m].nome;
        }
    }
}

TEST(Eliptico, VarreduraNoLugar) {
    // nvert_ksi = 4, nvert_eta = 3: interior vertices 6 and 7.
    std::vector<double> phi(13, 0.0), um(13, 1.0), zero(13, 0.0), quatro(13, 4.0);
    phi[5] = 4;
    solvers::gauss_seidel(phi.data(), quatro.data(), um.data(), um.data(), um.data(), um.data(), zero.data(),
                          zero.data(), zero.data(), zero.data(), 4, 3, 1);
    EXPECT_EQ(phi[6], 1.0);
    EXPECT_EQ(phi[7], 0.25);
    solvers::gauss_seidel(phi.data(), quatro.data(), um.data(), um.data(), um.data(), um.data(), zero.data(),
                          zero.data(), zero.data(), zero.data(), 4, 3, 1);
    EXPECT_EQ(phi[6], 1.0625);
    EXPECT_EQ(phi[7], 0.265625);
    for (int v : {1, 2, 3, 4, 5, 8, 9, 10, 11, 12})
        EXPECT_EQ(phi[v], v == 5 ? 4.0 : 0.0);

    // Two sweeps in one call are the same as one sweep twice.
    std::vector<double> outro(13, 0.0);
    outro[5] = 4;
    solvers::gauss_seidel(outro.data(), quatro.data(), um.data(), um.data(), um.data(), um.data(),
                          zero.data(), zero.data(), zero.data(), zero.data(), 4, 3, 2);
    EXPECT_EQ(outro, phi);
}

TEST(Eliptico, VarreduraSemEfeito) {
    struct caso {
        const char* nome;
        std::int32_t nk, ne, iter;
    };
    const caso casos[] = {
        {"no sweeps", 5, 4, 0}, {"negative count", 5, 4, -3}, {"one column", 2, 4, 3}, {"one row", 5, 2, 3}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        const std::size_t n = static_cast<std::size_t>(c.nk * c.ne) + 1;
        std::vector<double> phi(n), um(n, 1.0), nan_(n, std::nan(""));
        for (std::size_t k = 0; k < n; ++k)
            phi[k] = static_cast<double>(k) * 0.1;
        const auto antes = phi;
        // Non-finite coefficients would fault if any entry were used.
        solvers::gauss_seidel(phi.data(), nan_.data(), nan_.data(), nan_.data(), nan_.data(), nan_.data(),
                              nan_.data(), nan_.data(), nan_.data(), nan_.data(), c.nk, c.ne, c.iter);
        EXPECT_EQ(phi, antes);
    }
}

TEST(Eliptico, MalhaRetangularEPontoFixo) {
    prepara(6, 5);
    malha_retangular(0.5, 0.25);
    const std::vector<double> x0(x, x + nvert + 1), y0(y, y + nvert + 1);
    apoio::suaviza_malha(1, 5);
    for (std::int32_t v = 1; v <= nvert; ++v) {
        EXPECT_NEAR(x[v], x0[v], 1e-14);
        EXPECT_NEAR(y[v], y0[v], 1e-14);
    }
}

TEST(Eliptico, UmaIteracaoExternaNaMalha4por2) {
    prepara(4, 2);
    malhas_segmentos::gera_malha_inicial();
    const std::vector<double> x0(x, x + nvert + 1), y0(y, y + nvert + 1);
    apoio::suaviza_malha(1, 1);
    EXPECT_EQ(x[7], 0.25);  // its neighbours balance exactly
    EXPECT_NEAR(y[7], 0.6517857143, 5e-11);
    EXPECT_NEAR(x[8], 0.37, 5e-11);
    EXPECT_NEAR(y[8], 0.3785714286, 5e-11);
    EXPECT_NEAR(x[9], 0.6732142857, 5e-11);
    EXPECT_NEAR(y[9], 0.2729591837, 5e-11);
    for (std::int32_t v = 1; v <= nvert; ++v) {
        if (v >= 7 && v <= 9) continue;
        EXPECT_EQ(x[v], x0[v]);
        EXPECT_EQ(y[v], y0[v]);
    }
}

// Faults in the metric terms and in the coefficients of a mesh large enough
// for its rows to be split between three threads, with the traps live as in a
// run: on every kernel, with one thread or more, the report is that of the
// first faulting operation in row order. The first two cases have a division
// by zero in row 3 and an overflow in the last interior row, which another
// thread meets on its own; the other two a fault at one vertex and one of
// another kind at the next, which the lanes compute first.
std::int32_t w(std::int32_t i, std::int32_t j) {
    return (j - 1) * nvert_ksi + i;
}

// (10, 3): its neighbours east and west meet, and so do north and south; the
// jacobian is 1/0.
void determinante_nulo_em_10_3() {
    x[w(11, 3)] = x[w(9, 3)];
    y[w(11, 3)] = y[w(9, 3)];
    x[w(10, 4)] = x[w(10, 2)];
    y[w(10, 4)] = y[w(10, 2)];
}

TEST(ElipticoFalhas, RelatorioDaPrimeiraFalhaEmOrdemDeLinhas) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    struct caso {
        const char* nome;
        void (*prepara_e_calcula)();
        const char* relatorio;
    };
    const char* const divisao = "run-time error M6103: MATH";
    const caso casos[] = {
        {"metric terms",
         [] {
             determinante_nulo_em_10_3();
             x[w(10, nvert_eta)] = 1e300;  // alfa of (10, nvert_eta - 1) overflows
             metricas::calcula_metricas();
         },
         divisao},
        {"coefficients",
         [] {
             metricas::calcula_metricas();
             jac[w(10, 3)] = 0.0;  // f = 1/0
             jac[w(10, nvert_eta - 1)] = 1.0;
             alfa[w(10, nvert_eta - 1)] = 1.7e308;
             p_fonte[w(10, nvert_eta - 1)] = 1e308;  // ae overflows
             coef::calcula_coef();
         },
         divisao},
        {"metric terms, next vertex",
         [] {
             determinante_nulo_em_10_3();
             deta = 0.25;
             x[w(11, 4)] = 1e308;  // x_eta of (11, 3), its first term, overflows
             metricas::calcula_metricas();
         },
         divisao},
        {"coefficients, next vertex",
         [] {
             metricas::calcula_metricas();
             jac[w(10, 3)] = 1.0;
             alfa[w(10, 3)] = 1.7e308;
             p_fonte[w(10, 3)] = 1e308;  // ae of (10, 3) overflows
             jac[w(11, 3)] = 0.0;        // f of (11, 3), its first term, is 1/0
             coef::calcula_coef();
         },
         "run-time error M6104: MATH"},
    };
    for (tempo_execucao::nucleo k : apoio::nucleos()) {
        apoio::variavel_ambiente nucleo("MALHAS_NUCLEO", std::string(tempo_execucao::nome_nucleo(k)));
        for (const char* linhas : {"1", "3"}) {
            apoio::variavel_ambiente ambiente("MALHAS_LINHAS_EXECUCAO", std::string(linhas));
            for (const caso& c : casos) {
                SCOPED_TRACE(testing::Message() << c.nome << ", " << tempo_execucao::nome_nucleo(k) << ", "
                                                << linhas << " threads");
                EXPECT_EXIT(
                    {
                        prepara(500, 300);  // rows enough for three threads
                        malhas_segmentos::gera_malha_inicial();
                        tempo_execucao::ativa_armadilhas_fp();
                        c.prepara_e_calcula();
                        std::exit(0);
                    },
                    testing::ExitedWithCode(1), c.relatorio);
            }
        }
    }
}

}  // namespace
