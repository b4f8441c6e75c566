// Whole runs of mesh kind 2 through the real executable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "apoio.hpp"

namespace {

using apoio::existe;
using apoio::le_arquivo;
using apoio::pasta_temporaria;

void grava_caso(const pasta_temporaria& p, int nk, int ne, int tipo, const std::string& parametros) {
    apoio::grava_entradas(p.caminho(), "eliptico", nk, ne, tipo, parametros);
}

using apoio::texto_parametros;

struct vertice {
    int k;
    double x, y;
};

// The vertex lines of a report file, read back as numbers.
std::vector<vertice> vertices(const std::string& relatorio) {
    std::vector<vertice> r;
    std::size_t pos = 0;
    int linha = 0;
    while (pos < relatorio.size()) {
        const auto fim = relatorio.find("\r\n", pos);
        const std::string l = relatorio.substr(pos, fim - pos);
        pos = fim + 2;
        if (++linha <= 6) continue;
        EXPECT_EQ(l.size(), 60u);
        r.push_back({std::atoi(l.substr(0, 10).c_str()), std::strtod(l.substr(10, 25).c_str(), nullptr),
                     std::strtod(l.substr(35, 25).c_str(), nullptr)});
    }
    return r;
}

std::string roda(const pasta_temporaria& p) {
    const auto r = apoio::executa_malhas(p.caminho());
    EXPECT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(r.erro, "");
    return le_arquivo(p / "eliptico.txt");
}

TEST(ExecucaoEliptica, UmaIteracaoExternaNaMalha4por2) {
    pasta_temporaria alg, eli;
    grava_caso(alg, 4, 2, 1, "");
    grava_caso(eli, 4, 2, 2, texto_parametros(1, 1));
    const auto antes = vertices(roda(alg));
    const std::string relatorio = roda(eli);
    const auto depois = vertices(relatorio);
    ASSERT_EQ(depois.size(), 15u);
    const vertice movidos[] = {
        {7, 0.25, 0.6517857143}, {8, 0.37, 0.3785714286}, {9, 0.6732142857, 0.2729591837}};
    for (const auto& m : movidos) {
        EXPECT_NEAR(depois[m.k - 1].x, m.x, 5e-11) << m.k;
        EXPECT_NEAR(depois[m.k - 1].y, m.y, 5e-11) << m.k;
    }
    // Vertex 7 keeps its x exactly; the twelve boundary vertices do not move.
    const auto linha7 = relatorio.find("\r\n         7    ");
    ASSERT_NE(linha7, std::string::npos);
    EXPECT_EQ(relatorio.substr(linha7 + 2 + 10, 25), "    2.500000000000000E-01");
    for (const auto& v : depois) {
        if (v.k >= 7 && v.k <= 9) continue;
        EXPECT_EQ(v.x, antes[v.k - 1].x) << v.k;
        EXPECT_EQ(v.y, antes[v.k - 1].y) << v.k;
    }
    // Both files were shown, the case file first.
    EXPECT_EQ(le_arquivo(eli / "comandos.log").substr(0, 60),
              "/c|notepad entradas.txt\n/c|notepad entrada_eq_elipticas.txt\n");
}

TEST(ExecucaoEliptica, CasosQueDevolvemAMalhaAlgebrica) {
    pasta_temporaria alg;
    grava_caso(alg, 6, 4, 1, "");
    const std::string algebrica = roda(alg);
    struct caso {
        const char* nome;
        std::string parametros;
    };
    const caso casos[] = {
        {"niter 0", texto_parametros(5, 0)},
        {"niter -5", texto_parametros(5, -5)},
        {"niter_solver 0", texto_parametros(0, 3)},
        {"niter_solver negative", texto_parametros(-2, 3)},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        grava_caso(p, 6, 4, 2, c.parametros);
        EXPECT_EQ(roda(p), algebrica);
    }
}

TEST(ExecucaoEliptica, EspacamentosDesiguaisENegativosFuncionam) {
    // Only the ratio dksi/deta shapes the mesh: the spacings (1, 2) and
    // (-1, -2) give the same mesh up to rounding, another than (1, 1).
    pasta_temporaria a, b, c;
    grava_caso(a, 8, 4, 2, texto_parametros(20, 10, "1.0", "2.0"));
    grava_caso(b, 8, 4, 2, texto_parametros(20, 10, "-1.0", "-2.0"));
    grava_caso(c, 8, 4, 2, texto_parametros(20, 10, "1.0", "1.0"));
    const auto va = vertices(roda(a)), vb = vertices(roda(b)), vc = vertices(roda(c));
    ASSERT_EQ(va.size(), vb.size());
    double diferenca_c = 0;
    for (std::size_t k = 0; k < va.size(); ++k) {
        EXPECT_NEAR(va[k].x, vb[k].x, 1e-12);
        EXPECT_NEAR(va[k].y, vb[k].y, 1e-12);
        diferenca_c = std::max(diferenca_c, std::abs(va[k].x - vc[k].x) + std::abs(va[k].y - vc[k].y));
    }
    EXPECT_GT(diferenca_c, 1e-3);
}

TEST(ExecucaoEliptica, FonteComTipo2ContinuaZero) {
    // The source arrays are cleared at allocation and nothing else writes
    // them, so keeping them (type 2) gives the result of clearing them.
    pasta_temporaria a, b;
    grava_caso(a, 6, 4, 2, texto_parametros(3, 4, "1.0", "1.0", 2, 2));
    grava_caso(b, 6, 4, 2, texto_parametros(3, 4, "1.0", "1.0", 1, 0));
    EXPECT_EQ(roda(a), roda(b));
}

TEST(ExecucaoEliptica, FalhasDePontoFlutuanteNaoEscrevemResultado) {
    struct caso {
        const char* nome;
        std::string parametros;
        const char* relatorio;
    };
    const caso casos[] = {
        {"dksi 0", texto_parametros(1, 1, "0.0", "1.0"),
         "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        {"deta 0", texto_parametros(1, 1, "1.0", "0"),
         "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        // The determinant underflows to zero (silently), then 1/0.
        {"vanishing determinant", texto_parametros(1, 1, "1e200", "1e200"),
         "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        {"overflow", texto_parametros(1, 1, "1e-300", "1.0"),
         "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n"},
    };
    for (tempo_execucao::nucleo k : apoio::nucleos()) {
        for (const auto& c : casos) {
            SCOPED_TRACE(testing::Message() << c.nome << ", " << tempo_execucao::nome_nucleo(k));
            pasta_temporaria p;
            grava_caso(p, 4, 2, 2, c.parametros);
            const auto r =
                apoio::executa_malhas(p.caminho(), {{"MALHAS_NUCLEO", tempo_execucao::nome_nucleo(k)}});
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.erro, c.relatorio);
            EXPECT_FALSE(existe(p / "eliptico.txt"));
            EXPECT_FALSE(existe(p / "malha.txt"));
            EXPECT_FALSE(existe(p / "eliptico_vert.txt"));
        }
    }
}

TEST(ExecucaoEliptica, ArquivoDeParametrosCurtoTerminaNoTipoQ) {
    pasta_temporaria p;
    grava_caso(p, 4, 2, 2, "1\n1\n0.001\n1.0\n1.0\n1\n");
    const auto r = apoio::executa_malhas(p.caminho());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.erro, apoio::relatorio("F201", "READ (entrada_eq_elipticas.txt)", "end of file"));
    EXPECT_FALSE(existe(p / "malha.txt"));
}

}  // namespace

namespace {

// Whole runs on every kernel with one thread, two and three give the same
// bytes in the three files; the mesh is large enough for the metric terms,
// the coefficients and the sweeps to take more than one thread and for the
// result files to be formatted in several blocks.
TEST(ExecucaoEliptica, CadaNucleoEUmaOuMaisLinhasDeExecucaoDaoOsMesmosBytes) {
    std::string primeiros;
    for (tempo_execucao::nucleo k : apoio::nucleos()) {
        for (const char* linhas : {"1", "2", "3"}) {
            SCOPED_TRACE(testing::Message()
                         << tempo_execucao::nome_nucleo(k) << ", " << linhas << " threads");
            pasta_temporaria p;
            grava_caso(p, 300, 220, 2, texto_parametros(9, 3, "1.0", "0.7"));
            const auto r = apoio::executa_malhas(
                p.caminho(),
                {{"MALHAS_LINHAS_EXECUCAO", linhas}, {"MALHAS_NUCLEO", tempo_execucao::nome_nucleo(k)}});
            EXPECT_EQ(r.status, 0) << r.erro;
            const std::string arquivos = le_arquivo(p / "eliptico.txt") + le_arquivo(p / "malha.txt") +
                                         le_arquivo(p / "eliptico_vert.txt");
            if (primeiros.empty()) primeiros = arquivos;
            EXPECT_TRUE(arquivos == primeiros);
        }
    }
    EXPECT_GT(primeiros.size(), 5000000u);
}

// Sweeps that can change nothing: the largest iteration count ends at once,
// with the files of a single iteration.
TEST(ExecucaoEliptica, IteracoesSemEfeitoTerminamLogo) {
    struct caso {
        int nk, ne, niter_solver;
    };
    for (const caso c : {caso{6, 1, 5}, caso{5, 4, 0}, caso{7, 3, -2}}) {
        SCOPED_TRACE(testing::Message() << c.nk << " x " << c.ne << ", " << c.niter_solver << " sweeps");
        pasta_temporaria uma, todas;
        grava_caso(uma, c.nk, c.ne, 2, texto_parametros(c.niter_solver, 1));
        grava_caso(todas, c.nk, c.ne, 2, texto_parametros(c.niter_solver, 2147483647));
        EXPECT_EQ(roda(uma), roda(todas));
    }
}

}  // namespace
