// The algebraic initial mesh, vertex by vertex, and the volume table.
#include <gtest/gtest.h>

#include "apoio.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "variaveis/variaveis.hpp"

namespace {

using namespace variaveis;

using apoio::prepara_malha;

struct caso_vertices {
    std::int32_t nk, ne;
    std::vector<std::pair<double, double>> pontos;  // every vertex in vertex-number order
};

TEST(MalhaInicial, VerticesExatos) {
    const caso_vertices casos[] = {
        {4,
         2,
         {{0, 1},
          {0, 0.5},
          {0, 0},
          {0.5, 0},
          {1, 0},
          {0.25, 1},
          {0.25, 0.625},
          {0.25, 0.25},
          {0.625, 0.25},
          {1, 0.25},
          {0.5, 1},
          {0.5, 0.75},
          {0.5, 0.5},
          {0.75, 0.5},
          {1, 0.5}}},
        // Odd nvol_ksi: the horizontal leg runs one spacing beyond x = 1.
        {3,
         2,
         {{0, 1},
          {0, 0},
          {1, 0},
          {2, 0},
          {0.25, 1},
          {0.25, 0.25},
          {1, 0.25},
          {1.75, 0.25},
          {0.5, 1},
          {0.5, 0.5},
          {1, 0.5},
          {1.5, 0.5}}},
        {2, 1, {{0, 1}, {0, 0}, {1, 0}, {0.5, 1}, {0.5, 0.5}, {1, 0.5}}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(testing::Message() << c.nk << " x " << c.ne);
        prepara_malha(c.nk, c.ne);
        malhas_segmentos::gera_malha_inicial();
        ASSERT_EQ(static_cast<std::size_t>(nvert), c.pontos.size());
        for (std::int32_t v = 1; v <= nvert; ++v) {
            EXPECT_EQ(x[v], c.pontos[v - 1].first) << "vertex " << v;
            EXPECT_EQ(y[v], c.pontos[v - 1].second) << "vertex " << v;
        }
    }
}

TEST(MalhaInicial, OrdemDasOperacoesDefineOsBits) {
    // nvert_eta - 1 = 6 and h - 1 = 3: thirds and sixths are inexact, so only
    // the exact order (product first, then 1.0 added; t, a, s as written)
    // reproduces these bits.
    prepara_malha(6, 6);
    malhas_segmentos::gera_malha_inicial();
    for (std::int32_t j = 1; j <= nvert_eta; ++j) {
        const double t = (j - 1.0) / (nvert_eta - 1.0);
        const double a = 0.5 * t;
        const double s = (1.0 - a) / (4 - 1.0);
        for (std::int32_t i = 1; i <= nvert_ksi; ++i) {
            const std::int32_t v = (j - 1) * nvert_ksi + i;
            const double esperado_x = i <= 4 ? a : (i - 4) * s + a;
            const double esperado_y = i <= 4 ? 1.0 + (1 - i) * s : a;
            EXPECT_EQ(x[v], esperado_x) << v;
            EXPECT_EQ(y[v], esperado_y) << v;
        }
    }
    // Mirror images across y = x for an even nvol_ksi, where the arithmetic allows.
    EXPECT_EQ(x[1], y[7]);
    EXPECT_EQ(y[1], x[7]);
}

TEST(MalhaInicial, TabelaDeVolumes) {
    prepara_malha(4, 2);
    malhas_segmentos::gera_malha_inicial();
    const std::int32_t esperado[8][4] = {{1, 2, 7, 6},   {2, 3, 8, 7},   {3, 4, 9, 8},   {4, 5, 10, 9},
                                         {6, 7, 12, 11}, {7, 8, 13, 12}, {8, 9, 14, 13}, {9, 10, 15, 14}};
    for (int p = 1; p <= 8; ++p) {
        for (int s = 1; s <= 4; ++s)
            EXPECT_EQ(vert_vol[p][s - 1], esperado[p - 1][s - 1]) << p << "," << s;
    }
    // Counter-clockwise: volume 1 has positive signed area.
    double area = 0;
    for (int s = 0; s < 4; ++s) {
        const int a = vert_vol[1][s], b = vert_vol[1][(s + 1) % 4];
        area += x[a] * y[b] - x[b] * y[a];
    }
    EXPECT_GT(area, 0);
}

TEST(MalhaInicial, ContagensNegativasNaoEscrevemNada) {
    const std::pair<std::int32_t, std::int32_t> casos[] = {{-3, 2}, {5, -3}, {-3, -3}};
    for (const auto& [nk, ne] : casos) {
        SCOPED_TRACE(testing::Message() << nk << " x " << ne);
        prepara_malha(nk, ne);
        // Marks in every allocated element: none may change.
        const std::int32_t nv = nvert > 0 ? nvert : 0, nq = nvol > 0 ? nvol : 0;
        for (std::int32_t v = 1; v <= nv; ++v)
            x[v] = y[v] = -7.0;
        for (std::int32_t p = 1; p <= nq; ++p)
            vert_vol[p][0] = -7;
        malhas_segmentos::gera_malha_inicial();
        for (std::int32_t v = 1; v <= nv; ++v)
            EXPECT_EQ(x[v], -7.0);
        for (std::int32_t p = 1; p <= nq; ++p)
            EXPECT_EQ(vert_vol[p][0], -7);
    }
}

TEST(MalhaInicial, TamanhosDerivadosEmComplementoDeDois) {
    struct caso {
        std::int32_t nk, ne, nvert_ksi, nvert_eta, nvol, nvert;
    };
    const caso casos[] = {
        {4, 2, 5, 3, 8, 15},
        {-3, -3, -2, -2, 9, 4},
        {2147483647, 0, -2147483647 - 1, 1, 0, -2147483647 - 1},
    };
    for (const auto& c : casos) {
        reinicia();
        nvol_ksi = c.nk;
        nvol_eta = c.ne;
        deriva_tamanhos();
        EXPECT_EQ(nvert_ksi, c.nvert_ksi);
        EXPECT_EQ(nvert_eta, c.nvert_eta);
        EXPECT_EQ(nvol, c.nvol);
        EXPECT_EQ(nvert, c.nvert);
    }
    reinicia();
}

}  // namespace
