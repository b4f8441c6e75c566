// The solver-grade mesh (--ortogonaliza) through whole runs: the same L as
// the program's (corners, boundary lines, numbering), square to the boundary
// and unfolded at every size and grading; --grava in the program's formats
// to the byte; the iteration limit's exit status; the options' misuse.
// Its accuracy for a solver is measured by bench/precisao_l.py with OpenFOAM.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/historico/historico.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/ortogonalizacao/aceleracao.hpp"
#include "malhas_qualidade/ortogonalizacao/grava_resultados.hpp"
#include "malhas_qualidade/ortogonalizacao/malha_alvo.hpp"
#include "malhas_qualidade/ortogonalizacao/relatorio_ortogonal.hpp"
#include "roda_qualidade.hpp"

namespace {

namespace fs = std::filesystem;
using apoio::pasta_temporaria;
using namespace malhas_qualidade;

malha_lida le_malha(const fs::path& pasta, const std::string& caso) {
    malha_lida m;
    le_relatorio((pasta / (caso + ".txt")).string(), m);
    le_volumes((pasta / (caso + "_vert.txt")).string(), m);
    return m;
}

struct caso_malha {
    int nvol_ksi, nvol_eta;
    const char* gradua;
    // The most the boundary faces away from the corners may have, and the
    // volumes at the convex corner.
    double nao_ortogonalidade, razao_canto;
};

// The smallest mesh, an odd nvol_ksi (its lower leg one spacing longer), a
// wide and a narrow one (whose algebraic cells are already 6 : 1), one whose
// legs are ten times its width (the lean cannot finish there: the first row
// is aligned instead), graded ones, and the largest of the benchmark graded
// to the power 3 (its first cells at the corner a hundred-millionth of the L:
// their centres are found in rounding's reach).
const caso_malha casos[] = {{4, 2, "1", 1.0, 3.0},    {25, 10, "1", 1.0, 3.0},   {40, 20, "1", 1.0, 3.0},
                            {40, 8, "1", 1.0, 3.0},   {16, 24, "1", 1.0, 4.0},   {50, 5, "1", 1.0, 3.0},
                            {40, 20, "2", 1.0, 3.0},  {81, 40, "1.5", 1.0, 3.0}, {80, 40, "3", 1.0, 3.0},
                            {320, 160, "3", 1.0, 3.0}};

TEST(Ortogonaliza, OMesmoLQuadradoNaFronteiraSemDobras) {
    for (const caso_malha& c : casos) {
        SCOPED_TRACE(std::to_string(c.nvol_ksi) + " x " + std::to_string(c.nvol_eta) + ", --gradua " +
                     c.gradua);
        pasta_temporaria p;
        apoio::grava_entradas(p.caminho(), "solver", c.nvol_ksi, c.nvol_eta, 1);
        const fs::path saida = p / "grade";
        const auto r = apoio::roda_qualidade(
            {"--ortogonaliza", "--gradua", c.gradua, "--grava", saida.string(), p.caminho().string()});
        ASSERT_EQ(r.status, 0) << r.saida << r.erro;
        EXPECT_NE(r.saida.find("  settled after"), std::string::npos) << r.saida;

        const malha_lida m = le_malha(saida, "solver");
        malha_lida a;
        dimensiona(a, c.nvol_ksi, c.nvol_eta);
        ortogonalizacao::gera_algebrica(a);
        ASSERT_EQ(m.nvert, a.nvert);
        const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta, h = (nk + 1) / 2;
        // Every boundary vertex on the program's line, to the bit, and the
        // six corners where the program puts them.
        for (std::int64_t i = 1; i <= nk; ++i)
            for (const std::int64_t j : {std::int64_t{1}, ne}) {
                const auto v = static_cast<std::size_t>(vertice(m, i, j));
                if (i <= h) {
                    EXPECT_EQ(m.x[v], a.x[v]) << i << ", " << j;
                }
                if (i >= h) {
                    EXPECT_EQ(m.y[v], a.y[v]) << i << ", " << j;
                }
            }
        // The end edge leans when nvol_ksi is odd: on it within rounding.
        const auto f0 = static_cast<std::size_t>(vertice(a, nk, 1));
        const auto f1 = static_cast<std::size_t>(vertice(a, nk, ne));
        for (std::int64_t j = 1; j <= ne; ++j) {
            EXPECT_EQ(m.y[static_cast<std::size_t>(vertice(m, 1, j))], 1.0);
            const auto v = static_cast<std::size_t>(vertice(m, nk, j));
            EXPECT_NEAR((m.x[v] - a.x[f0]) * (a.y[f1] - a.y[f0]) - (m.y[v] - a.y[f0]) * (a.x[f1] - a.x[f0]),
                        0.0, 1e-15);
            EXPECT_GE(m.y[v], 0.0);
            EXPECT_LE(m.y[v], 0.5);
        }
        // (as the report file's 16 digits hold them)
        for (const std::int64_t i : {std::int64_t{1}, h, nk})
            for (const std::int64_t j : {std::int64_t{1}, ne}) {
                const auto v = static_cast<std::size_t>(vertice(m, i, j));
                EXPECT_EQ(m.x[v], valor_gravado(a.x[v]));
                EXPECT_EQ(m.y[v], valor_gravado(a.y[v]));
            }

        medidas_malha med;
        calcula_medidas(m, med);
        for (std::size_t q = 1; q < med.invertido.size(); ++q)
            ASSERT_FALSE(med.invertido[q]) << "volume " << q;
        const auto f = ortogonalizacao::mede_fronteira(m, med);
        EXPECT_LE(f.maximo, c.nao_ortogonalidade) << "volume " << f.volume;
        EXPECT_LE(f.razao_canto_convexo[0], c.razao_canto);
        EXPECT_LE(f.razao_canto_convexo[1], c.razao_canto);

        // The folder --grava wrote is a case malhas_qualidade reads as any.
        const auto lido = apoio::roda_qualidade({saida.string()});
        EXPECT_EQ(lido.status, 0) << lido.erro;
    }
}

// The writer of --grava against the program's own result files: a mesh read
// from them and written again gives them back byte for byte.
TEST(Ortogonaliza, GravaNosFormatosDoPrograma) {
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "perfil_l", 24, 10, 2, apoio::texto_parametros(20, 60));
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    const malha_lida m = le_malha(p.caminho(), "perfil_l");
    const fs::path outra = p / "outra";
    const std::string caso = ortogonalizacao::grava_resultados(outra.string(), "perfil_l", m);
    for (const char* arquivo : {"perfil_l.txt", "malha.txt", "perfil_l_vert.txt"})
        EXPECT_EQ(apoio::le_arquivo(outra / arquivo), apoio::le_arquivo(p / arquivo)) << arquivo;
    EXPECT_EQ(caso, (outra / "entradas.txt").string());
    // A case file there already is the user's: never replaced.
    apoio::grava_arquivo(outra / "entradas.txt", "mine");
    EXPECT_EQ(ortogonalizacao::grava_resultados(outra.string(), "perfil_l", m), "");
    EXPECT_EQ(apoio::le_arquivo(outra / "entradas.txt"), "mine");
}

// Stopped by the limit, graded or not (the last level, the map's fixed
// point, would settle at once: it must not hide that the mesh it maps did
// not): the summary says so, the outputs are still written, exit status 4;
// two runs give the same mesh.
TEST(Ortogonaliza, LimiteDeIteracoesERepeticao) {
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "l", 40, 20, 1);
    for (const char* gradua : {"1", "2"}) {
        SCOPED_TRACE(gradua);
        const auto r = apoio::roda_qualidade({"--ortogonaliza", "--gradua", gradua, "--max-iteracoes", "1",
                                              "--svg", (p / "m.svg").string(), p.caminho().string()});
        EXPECT_EQ(r.status, status_indefinido) << r.erro;
        EXPECT_NE(r.saida.find("NOT SETTLED after 1 outer iterations"), std::string::npos) << r.saida;
        EXPECT_TRUE(apoio::existe(p / "m.svg"));
    }

    for (const char* pasta : {"a", "b"})
        ASSERT_EQ(
            apoio::roda_qualidade({"--ortogonaliza", "--grava", (p / pasta).string(), p.caminho().string()})
                .status,
            0);
    EXPECT_EQ(apoio::le_arquivo(p / "a" / "l.txt"), apoio::le_arquivo(p / "b" / "l.txt"));
}

// --historico with --ortogonaliza: a row for every outer iteration of every
// level, the last one below the tolerance, as the summary says.
TEST(Ortogonaliza, HistoricoDaConvergencia) {
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "l", 40, 20, 1);
    const auto r = apoio::roda_qualidade({"--ortogonaliza", "--historico", (p / "h.csv").string(),
                                          "--historico", (p / "h.svg").string(), p.caminho().string()});
    ASSERT_EQ(r.status, 0) << r.erro;
    const std::string tabela = apoio::le_arquivo(p / "h.csv");
    std::vector<std::string> linhas;
    for (std::size_t a = 0, b; (b = tabela.find("\r\n", a)) != std::string::npos; a = b + 2)
        linhas.push_back(tabela.substr(a, b - a));
    ASSERT_GE(linhas.size(), 3u);
    EXPECT_EQ(linhas[0].rfind("level,nvol_ksi,nvol_eta,k,largest_move", 0), 0u);
    // The summary's count of iterations, coarse and fine, is the table's.
    const std::size_t em = r.saida.find("settled after ");
    ASSERT_NE(em, std::string::npos);
    long finas = 0, grossas = 0;
    ASSERT_EQ(std::sscanf(r.saida.c_str() + em, "settled after %ld outer iterations on the mesh (and %ld",
                          &finas, &grossas),
              2);
    EXPECT_EQ(static_cast<long>(linhas.size()) - 1, finas + grossas);
    const std::string& ultima = linhas.back();
    double relativo = 0.0;
    std::size_t virgula = 0;
    for (int campo = 0; campo < 6; ++campo)
        virgula = ultima.find(',', virgula) + 1;
    relativo = std::stod(ultima.substr(virgula));
    EXPECT_LT(relativo, 1e-3);
    EXPECT_NE(apoio::le_arquivo(p / "h.svg").find("how the solver-grade mesh settled"), std::string::npos);
}

// The radial map about the re-entrant corner, on the target of a mesh: the
// vertices of the corner's two lines keep the coordinate each holds, to the
// bit, and their order; nothing moves beyond the radius; a vertex in the
// power law's reach comes to R (r / R)^G from the corner within the blend's
// share; the ungraded mesh's conformal corner touches only its first four
// spacings, and nothing on a mesh of fewer than 8 volumes across.
TEST(Ortogonaliza, MapaRadialDoCantoReentrante) {
    struct caso_mapa {
        int nvol_ksi, nvol_eta;
        double gradua, raio;  // raio 0: canto_conforme
        bool muda;
    };
    const caso_mapa casos_mapa[] = {{160, 80, 2.0, 0.5, true}, {81, 40, 4.0, 0.5, true},
                                    {160, 80, 1.5, 0.5, true}, {160, 80, 1.5, 0.0, true},
                                    {40, 20, 1.5, 0.0, true},  {12, 6, 1.5, 0.0, false}};
    for (const caso_mapa& c : casos_mapa) {
        SCOPED_TRACE(std::to_string(c.nvol_ksi) + " x " + std::to_string(c.nvol_eta) + ", " +
                     std::to_string(c.gradua) + ", " + std::to_string(c.raio));
        malha_lida a;
        dimensiona(a, c.nvol_ksi, c.nvol_eta);
        ortogonalizacao::gera_alvo(a);
        malha_lida m = a;
        const double raio = c.raio > 0.0 ? c.raio : 4.0 * ortogonalizacao::maior_passo_reentrante(a);
        if (c.raio > 0.0)
            ortogonalizacao::gradua_radial(m, c.gradua, c.raio);
        else
            ortogonalizacao::canto_conforme(m);
        const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta, h = (nk + 1) / 2;
        const auto canto = static_cast<std::size_t>(vertice(m, h, ne));
        auto r = [&](const malha_lida& g, std::size_t k) {
            return std::hypot(g.x[k] - g.x[canto], g.y[k] - g.y[canto]);
        };
        bool mudou = false;
        for (std::int64_t j = 1; j <= ne; ++j)
            for (std::int64_t i = 1; i <= nk; ++i) {
                const auto k = static_cast<std::size_t>(vertice(m, i, j));
                mudou = mudou || m.x[k] != a.x[k] || m.y[k] != a.y[k];
                if (r(a, k) >= raio) {
                    EXPECT_EQ(m.x[k], a.x[k]) << i << ", " << j;
                    EXPECT_EQ(m.y[k], a.y[k]) << i << ", " << j;
                }
                if (j == ne && i <= h) {
                    EXPECT_EQ(m.x[k], a.x[k]) << i;
                }
                if (j == ne && i >= h) {
                    EXPECT_EQ(m.y[k], a.y[k]) << i;
                }
                if (j == ne && i > 1) {
                    EXPECT_EQ(r(m, k) < r(m, k - 1), r(a, k) < r(a, k - 1)) << i;
                }
                // Between the linear core and the blend, the power law: its
                // local exponent from one vertex of the line to the next.
                const double t = r(a, k) / raio, t1 = i > 1 ? r(a, k - 1) / raio : 0.0;
                if (j == ne && c.raio > 0.0 && c.gradua <= 2.0 && t > 0.08 && t < 0.15 && t1 > 0.08 &&
                    t1 < 0.15) {
                    EXPECT_NEAR(std::log(r(m, k) / r(m, k - 1)) / std::log(t / t1), c.gradua, 0.25) << i;
                }
            }
        EXPECT_EQ(mudou, c.muda);
    }
}

// The acceleration on a slow fixed-point map, a Jacobi sweep of -u'' = 1 on
// 20 points (its error shrinks by 0.989 a step): it reaches the solution in
// a small share of the plain iteration's steps, and a forgotten history
// starts again from the plain step.
TEST(Ortogonaliza, AceleracaoDeAnderson) {
    constexpr std::size_t n = 20;
    auto g = [](const std::vector<double>& x) {
        std::vector<double> y(n);
        for (std::size_t i = 0; i < n; ++i)
            y[i] = 0.5 * ((i > 0 ? x[i - 1] : 0.0) + (i + 1 < n ? x[i + 1] : 0.0) + 1.0);
        return y;
    };
    ortogonalizacao::anderson acelera(n, 5);
    std::vector<double> x(n, 0.0);
    int passos = 0;
    for (double maior = 1.0; maior > 1e-12 && passos < 2000; ++passos) {
        const std::vector<double> gx = g(x);
        maior = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            maior = std::max(maior, std::abs(gx[i] - x[i]));
        if (passos == 50) acelera.esquece();
        std::vector<double> proximo = x;
        acelera.proximo(proximo, gx);
        if (passos == 50) {
            EXPECT_EQ(proximo, gx);
        }
        x = proximo;
    }
    EXPECT_LT(passos, 400);  // the plain iteration needs some 2500
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i + 1);  // u = s (n + 1 - s) / 2
        EXPECT_NEAR(x[i], 0.5 * s * (static_cast<double>(n + 1) - s), 1e-8) << i;
    }
}

TEST(Ortogonaliza, UsoErradoEMalhaPequena) {
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "l", 2, 2, 1);
    const std::string pasta = p.caminho().string();
    struct caso_uso {
        std::vector<std::string> argumentos;
        int status;
        const char* mensagem;
    };
    const caso_uso usos[] = {
        {{"--gradua", "2", pasta}, 2, "--gradua is an option of --ortogonaliza"},
        {{"--grava", "x", pasta}, 2, "--grava is an option of --ortogonaliza"},
        {{"--max-iteracoes", "5", pasta}, 2, "--max-iteracoes is an option of --ortogonaliza"},
        {{"--ortogonaliza", "--gradua", "0.5", pasta}, 2, "--gradua needs a power from 1"},
        {{"--ortogonaliza", "--gradua", "nan", pasta}, 2, "--gradua needs a power from 1"},
        {{"--ortogonaliza", "--max-iteracoes", "0", pasta},
         2,
         "--max-iteracoes needs a positive whole number"},
        {{"--ortogonaliza", "--grava", pasta, pasta}, 2, "is the case's own folder"},
        {{"--ortogonaliza", pasta}, 1, "the solver-grade mesh needs at least 4 x 2 volumes"},
    };
    for (const caso_uso& u : usos) {
        const auto r = apoio::roda_qualidade(u.argumentos);
        EXPECT_EQ(r.status, u.status) << u.mensagem;
        EXPECT_NE(r.erro.find(u.mensagem), std::string::npos) << r.erro;
    }
}

}  // namespace
