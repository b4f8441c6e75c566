// Unit tests of malhas_qualidade's modules, in process.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "alvo_qualidade.hpp"
#include "coef/coef.hpp"
#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/historico/medidas_pistas.hpp"
#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "malhas_qualidade/leitura/campos_lidos.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"
#include "metricas/metricas.hpp"
#include "processamento/nomes_resultado.hpp"
#include "processamento/processamento.hpp"
#include "tempo_execucao/nucleos.hpp"
#include "tempo_execucao/sistema.hpp"
#include "variaveis/variaveis.hpp"

namespace {

using namespace malhas_qualidade;

// --- Quadrilateral measures -----------------------------------------------------
// Values worked out by hand; the comparison with VTK itself is the Python test.

struct caso_quadrilatero {
    const char* nome;
    double px[4], py[4];
    double area, razao, assimetria, jacobiano, angulo_min, angulo_max;
    bool invertido;  // against a counter-clockwise mesh
};

const double s60 = std::sqrt(3.0) / 2.0;

const caso_quadrilatero quadrilateros[] = {
    {"quadrado", {0, 1, 1, 0}, {0, 0, 1, 1}, 1.0, 1.0, 0.0, 1.0, 90.0, 90.0, false},
    {"retangulo 2x1", {0, 2, 2, 0}, {0, 0, 1, 1}, 2.0, 1.5, 0.0, 1.0, 90.0, 90.0, false},
    // Sides of 1 at 60 degrees: the principal axes are the two edge directions.
    {"losango", {0, 1, 1.5, 0.5}, {0, 0, s60, s60}, s60, 1.0 / s60, 0.5, s60, 60.0, 120.0, false},
    // The same corners clockwise: VTK measures it like its mirror image.
    {"quadrado horario", {0, 0, 1, 1}, {0, 1, 1, 0}, 1.0, 1.0, 0.0, 1.0, 90.0, 90.0, true},
    // Bases 2 and 1, height 1: principal axes (3, 0) and (0, 2), corners atan(2) and its supplement.
    {"trapezio",
     {0, 2, 1.5, 0.5},
     {0, 0, 1, 1},
     1.5,
     2.0 * (2 + 1 + 2 * std::sqrt(1.25)) / 6.0,
     0.0,
     1.0 / std::sqrt(1.25),
     std::atan(2.0) * 180.0 / 3.14159265358979323846,
     180.0 - std::atan(2.0) * 180.0 / 3.14159265358979323846,
     false},
    // A collapsed edge: Verdict's conventions.
    {"aresta nula", {0, 1, 1, 1}, {0, 0, 1, 1}, 0.5, 0.0, 1.0 / std::sqrt(5.0), 0.0, 360.0, 0.0, false},
};

TEST(QualidadeMedidas, QuadrilaterosFeitosAMao) {
    for (const auto& c : quadrilateros) {
        SCOPED_TRACE(c.nome);
        const medidas_quadrilatero q = mede_quadrilatero(c.px, c.py);
        EXPECT_NEAR(q.area, c.area, 1e-14);
        if (std::string(c.nome) != "aresta nula") {
            EXPECT_NEAR(q.razao_aspecto, c.razao, 1e-14);
        }
        EXPECT_NEAR(q.assimetria, c.assimetria, 1e-14);
        EXPECT_NEAR(q.jacobiano_escalado, c.jacobiano, 1e-14);
        EXPECT_NEAR(q.angulo_minimo, c.angulo_min, 1e-12);
        EXPECT_NEAR(q.angulo_maximo, c.angulo_max, 1e-12);
        EXPECT_EQ(invertido(q, 1), c.invertido);
        EXPECT_EQ(invertido(q, -1), !c.invertido);
    }
}

TEST(QualidadeMedidas, NaoOrtogonalidadeECrescimento) {
    // E, W, N, S neighbours of a vertex at the origin.
    EXPECT_DOUBLE_EQ(nao_ortogonalidade(1, 0, -1, 0, 0, 1, 0, -1), 0.0);
    EXPECT_NEAR(nao_ortogonalidade(1, 0, -1, 0, 1, 1, -1, -1), 45.0, 1e-13);  // eta along the diagonal
    EXPECT_NEAR(nao_ortogonalidade(1, 0, -1, 0, -1, 1, 1, -1), 45.0, 1e-13);  // leaning the other way
    EXPECT_DOUBLE_EQ(razao_crescimento(1.0, 2.0), 2.0);
    EXPECT_DOUBLE_EQ(razao_crescimento(2.0, 1.0), 2.0);
    EXPECT_DOUBLE_EQ(razao_crescimento(0.0, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(razao_crescimento(0.0, 1.0), valor_enorme);
}

bool mesmos_bits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

// The history's volumes and moves on every kernel the machine runs are the
// plain measure's and move's, to the bit: ordinary quadrilaterals, collapsed
// edges, collinear corners, coordinates whose products overflow or
// underflow to 0, not a number; coefficients with ap zero, infinite or huge; rows
// of 22 volumes, not a multiple of any lane count.
TEST(QualidadeMedidas, HistoricoEmCadaNucleoDaOsBitsDoLacoSimples) {
    constexpr std::int64_t nk = 23, ne = 9, nv = nk * ne;
    std::mt19937_64 g(28);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> x(nv + 1), y(nv + 1);
    for (std::int64_t v = 1; v <= nv; ++v) {
        const auto [i, j] = variaveis::indices_vertice(v, nk);
        x[v] = static_cast<double>(i) + 0.3 * u(g);
        y[v] = static_cast<double>(j) + 0.3 * u(g);
    }
    const double especiais[] = {1e300, -1e300, 1e-200, 0.0, -0.0, NAN, INFINITY};
    for (std::int64_t v = 2 * nk + 1; v <= 6 * nk; v += 3) {
        x[v] = especiais[v % 7];
        y[v] = (v % 2) != 0 ? x[v] : y[v];
    }
    for (std::int64_t v = 6 * nk + 1; v < 7 * nk; ++v) {  // collapsed edges, collinear corners
        x[v + 1] = (v % 2) != 0 ? x[v] : 2.0 * x[v];
        y[v + 1] = (v % 2) != 0 ? y[v] : 2.0 * y[v];
    }
    // Volumes 3 and 10 of row 1 twisted: opposite edges equal as vectors (one
    // of the principal axes 0); exact in binary.
    const double torcidos[2][4][2] = {{{3, 1}, {4, 1}, {4.5, 2}, {2.5, 0}},
                                      {{10, 1}, {11, 1}, {10.5, 2}, {11.5, 2}}};
    for (int t = 0; t < 2; ++t) {
        const std::int64_t b = t == 0 ? 3 : 10, canto[4] = {b, b + 1, b + 1 + nk, b + nk};
        for (int k = 0; k < 4; ++k) {
            x[canto[k]] = torcidos[t][k][0];
            y[canto[k]] = torcidos[t][k][1];
        }
    }
    for (std::int64_t v = 7 * nk + 1; v <= nv; ++v) {  // edge products that underflow to 0
        x[v] *= 1e-170;
        y[v] *= 1e-170;
    }
    std::vector<double> a[9];
    for (auto& c : a) {
        c.resize(nv + 1);
        for (double& d : c)
            d = u(g);
    }
    for (std::int64_t v = nk + 1; v <= nv; v += 5)
        a[0][v] = especiais[v % 7];  // ap
    const solvers::coeficientes c{a[0].data(), a[1].data(), a[2].data(), a[3].data(), a[4].data(),
                                  a[5].data(), a[6].data(), a[7].data(), a[8].data()};
    malha_lida m;
    dimensiona(m, nk - 1, ne - 1);
    for (tempo_execucao::nucleo n : tempo_execucao::nucleos) {
        if (!tempo_execucao::nucleo_disponivel(n)) continue;
        SCOPED_TRACE(tempo_execucao::nome_nucleo(n));
        std::vector<double> rx(nv + 1), ry(nv + 1);
        for (std::int64_t j = 1; j < ne; ++j) {
            double jac[nk], as[nk], ar[nk];
            historico_interno::mede_volumes_com(n, x.data(), y.data(), vertice(m, 1, j), nk, nk - 1, jac, as,
                                                ar);
            for (std::int64_t i = 1; i < nk; ++i) {
                const auto v = cantos(m, vertice(m, i, j));
                const double px[4] = {x[v[0]], x[v[1]], x[v[2]], x[v[3]]};
                const double py[4] = {y[v[0]], y[v[1]], y[v[2]], y[v[3]]};
                const medidas_quadrilatero q = mede_quadrilatero(px, py, false);
                EXPECT_TRUE(mesmos_bits(jac[i - 1], q.jacobiano_escalado)) << i << ", " << j;
                EXPECT_TRUE(mesmos_bits(as[i - 1], q.assimetria)) << i << ", " << j;
                EXPECT_TRUE(mesmos_bits(ar[i - 1], q.menor_aresta)) << i << ", " << j;
            }
            if (j == 1) continue;
            historico_interno::movimentos_com(n, x.data(), y.data(), c, vertice(m, 2, j), nk, nk - 2,
                                              rx.data(), ry.data());
            for (std::int64_t i = 2; i < nk; ++i) {
                const std::int64_t e = vertice(m, i, j);
                double mx = 0.0, my = 0.0;
                const bool definido =
                    movimentos_vertice(x.data(), y.data(), c, e, nk, mx, my) == causa_indefinida::nenhuma;
                EXPECT_TRUE(mesmos_bits(rx[e], definido ? mx : NAN)) << i << ", " << j;
                EXPECT_TRUE(mesmos_bits(ry[e], definido ? my : NAN)) << i << ", " << j;
            }
        }
    }
}

TEST(QualidadeNomes, BrancosIniciaisEFinaisSaem) {
    const std::string nome = "  caso 1" + std::string(92, ' ');
    EXPECT_EQ(processamento::nome_relatorio(nome), "caso 1.txt");
    EXPECT_EQ(processamento::nome_volumes(nome), "caso 1_vert.txt");
    EXPECT_EQ(processamento::nome_relatorio(std::string(100, ' ')), ".txt");
}

// --- Names -------------------------------------------------------------------------

TEST(QualidadeNomes, FormaGenericaPastaENome) {
    if (sistema::separador_nativo() != '/') GTEST_SKIP() << "POSIX names";
    const std::pair<const char*, const char*> normais[] = {
        {"a/./b/../c", "a/c"}, {"/../x", "/x"}, {"../a/..", ".."}, {"", "."},
        {"a//b/", "a/b"},      {"./", "."},     {"/", "/"},        {"a/b/../../..", ".."}};
    for (const auto& [nome, esperado] : normais)
        EXPECT_EQ(caminhos::normal(nome), esperado) << nome;
    EXPECT_EQ(caminhos::pasta_de("/a/b"), "/a");
    EXPECT_EQ(caminhos::nome_de("/a/b"), "b");
    EXPECT_EQ(caminhos::pasta_de("/b"), "/");
    EXPECT_EQ(caminhos::pasta_de("b"), "");
    EXPECT_EQ(caminhos::nome_de("/"), "");
    EXPECT_EQ(caminhos::junta("a/", "b"), "a/b");
    EXPECT_EQ(caminhos::junta("", "b"), "b");
    EXPECT_EQ(caminhos::junta("a", "b"), "a/b");
}

// --- Result-file parsers ----------------------------------------------------------

// The files of the 2 x 1 mesh of the unit rectangle [0, 2] x [0, 1], as the
// program writes them.
std::string relatorio_2x1() {
    std::string s = processamento::linhas_iniciais_relatorio(2, 1, 3, 2);
    char linha[128];
    for (int v = 1; v <= 6; ++v) {
        std::snprintf(linha, sizeof linha, "%10d%25.15E%25.15E\r\n", v, static_cast<double>((v - 1) % 3),
                      static_cast<double>((v - 1) / 3));
        s += linha;
    }
    return s;
}

std::string volumes_2x1() {
    return processamento::linha_cabecalho_volumes() +
           "         1         1         2         5         4\r\n"
           "         2         2         3         6         5\r\n";
}

TEST(QualidadeLeitura, ArquivosDoPrograma) {
    malha_lida m;
    le_relatorio_memoria("r.txt", relatorio_2x1(), m);
    le_volumes_memoria("v.txt", volumes_2x1(), m);
    EXPECT_EQ(m.nvert, 6);
    EXPECT_EQ(m.nvol, 2);
    EXPECT_EQ(m.x[6], 2.0);
    EXPECT_EQ(m.y[6], 1.0);
}

TEST(QualidadeLeitura, ExpoenteDeTresAlgarismosSemALetraE) {
    std::string r = relatorio_2x1();
    const std::string antigo = "2.000000000000000E+00", novo = "2.000000000000000-100";
    r.replace(r.rfind(antigo), antigo.size(), novo);  // x of vertex 6
    malha_lida m;
    le_relatorio_memoria("r.txt", r, m);
    EXPECT_EQ(m.x[6], 2.0e-100);
}

// A field reads back as the one correctly rounded double. Each of these is
// D x 10^q with D below 2^53 and |q| at most 22, so one product or quotient
// of two exact doubles gives it; the first one read one unit in the last
// place off in the 32-bit x86 builds, whose libstdc++ computes in x87.
TEST(QualidadeLeitura, CampoLidoArredondadoUmaVez) {
    const struct {
        const char* campo;
        double digitos;
        int q;
    } casos[] = {{"3.301188987276953E+29", 3301188987276953.0, 14},
                 {"-3.301188987276953E+29", -3301188987276953.0, 14},
                 {"1.234567890123457E-07", 1234567890123457.0, -22},
                 {"8.999999999999999E+06", 8999999999999999.0, -9},
                 {"6.103515625000000E-05", 6103515625000000.0, -20}};
    for (const auto& c : casos) {
        double potencia = 1.0;
        for (int k = 0; k < std::abs(c.q); ++k)
            potencia *= 10.0;
        const double esperado = c.q < 0 ? c.digitos / potencia : c.digitos * potencia;
        double lido = 0.0;
        ASSERT_TRUE(le_real_campo(c.campo, lido)) << c.campo;
        EXPECT_EQ(lido, esperado) << c.campo;
    }
}

struct caso_ruim {
    const char* nome;
    std::string relatorio, volumes;
    std::string arquivo;
    std::int64_t linha;
    const char* trecho;
};

std::string troca(std::string s, const std::string& antigo, const std::string& novo) {
    s.replace(s.find(antigo), antigo.size(), novo);
    return s;
}

TEST(QualidadeLeitura, EntradasRuinsNomeiamArquivoELinha) {
    const std::string r = relatorio_2x1(), v = volumes_2x1();
    const caso_ruim casos[] = {
        {"cortado", r.substr(0, r.size() - 40), v, "r.txt", 12, "the file ends inside the line of vertex 6"},
        {"sem a ultima linha", r.substr(0, r.size() - 62), v, "r.txt", 11,
         "ends after 5 of the 6 vertex lines"},
        {"vazio", "", v, "r.txt", 0, "ends before the size line of nvol_ksi"},
        {"campo nao numerico", troca(r, "1.000000000000000E+00\r\n", "1.0000000000000x0E+00\r\n"), v, "r.txt",
         10, "y coordinate is not a finite number"},
        {"nao finito", troca(r, "1.000000000000000E+00\r\n", "                  nan\r\n"), v, "r.txt", 10,
         "y coordinate is not a finite number"},
        // Cut inside the last number: "5.000000000000000E-0" must not read as 5.
        {"cortado no ultimo numero", r.substr(0, r.size() - 3), v, "r.txt", 12,
         "the file ends inside the line of vertex 6"},
        {"sem o ultimo CR LF", r.substr(0, r.size() - 2), v, "r.txt", 12,
         "the file ends inside the line of vertex 6"},
        {"LF sozinho", troca(r, "E+00\r\n         6", "E+00\n         6"), v, "r.txt", 11, "LF alone"},
        {"linha curta", troca(r, "         6", "        6"), v, "r.txt", 12, "has 59 characters"},
        {"rotulo mudado", troca(r, "ksi", "KSI"), v, "r.txt", 1, "not as malhas_segmentos writes it"},
        {"cabecalho mudado", r, troca(v, "volume ", "Volume "), "v.txt", 1, "expected the heading line"},
        {"volume cortado", r, v.substr(0, v.size() - 1), "v.txt", 3, "ends inside the line of volume 2"},
        {"tamanhos incoerentes", troca(r, "         3 =", "         4 ="), v, "r.txt", 3,
         "is not nvol_ksi + 1"},
        {"sem volumes",
         troca(troca(r, "         1 = n", "         0 = n"),
               "         2 = n\xFAmero de v\xE9rtices na dire\xE7\xE3o eta",
               "         1 = n\xFAmero de v\xE9rtices na dire\xE7\xE3o eta"),
         v, "r.txt", 2, "no volume"},
        {"vertice fora de ordem", troca(r, "         2    ", "         3    "), v, "r.txt", 8,
         "vertex number 3 where vertex 2 was due"},
        {"linha a mais", r + "         7" + r.substr(r.size() - 52), v, "r.txt", 13,
         "more lines than the 6 vertex lines"},
        {"volumes a menos", r, v.substr(0, v.size() - 52), "v.txt", 2, "ends after 1 of the 2 volume lines"},
        {"volumes a mais", r, v + "         3         2         3         6         5\r\n", "v.txt", 4,
         "more lines than the 2 volume lines"},
        {"tabela nao estruturada", r, troca(v, "6         5", "5         6"), "v.txt", 3, "must be 2 3 6 5"},
        {"volume fora de ordem", r, troca(v, "         2         2", "         7         2"), "v.txt", 3,
         "volume number 7 where volume 2 was due"},
        {"campo nao inteiro", r, troca(v, "         4\r\n", "       4.0\r\n"), "v.txt", 2,
         "field 5 is not an integer in the form malhas_segmentos writes (I10: the digits right-justified in "
         "10 "
         "columns, no leading zero): '4.0'"},
        // Numbers a reader would take, in forms the program never writes.
        {"zero a esquerda", r, troca(v, "         5\r\n", "        05\r\n"), "v.txt", 3, "'05'"},
        {"menos zero", r, troca(v, "         1         1", "         1        -0"), "v.txt", 2, "'-0'"},
        {"e minusculo", troca(r, "2.000000000000000E+00    1", "2.000000000000000e+00    1"), v, "r.txt", 12,
         "x coordinate is not a finite number in the form"},
        {"expoente -00", troca(r, "2.000000000000000E+00    1", "2.000000000000000E-00    1"), v, "r.txt", 12,
         "x coordinate"},
        {"tres algarismos abaixo de 100",
         troca(r, "2.000000000000000E+00    1", "2.000000000000000+000    1"), v, "r.txt", 12,
         "x coordinate"},
        {"16 algarismos", troca(r, "    2.000000000000000E+00    1", "   2.0000000000000000E+00    1"), v,
         "r.txt", 12, "x coordinate"},
        {"zero com sinal", troca(r, "    0.000000000000000E+00    1", "   -0.000000000000000E+00    1"), v,
         "r.txt", 10, "x coordinate"},
        {"primeiro algarismo 0", troca(r, "    1.000000000000000E+00\r\n", "    0.100000000000000E+01\r\n"),
         v, "r.txt", 10, "y coordinate"},
        {"fora do alinhamento", troca(r, "    2.000000000000000E+00    1", "   2.000000000000000E+00     1"),
         v, "r.txt", 12, "x coordinate"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        try {
            malha_lida m;
            le_relatorio_memoria("r.txt", c.relatorio, m);
            le_volumes_memoria("v.txt", c.volumes, m);
            ADD_FAILURE() << "no failure";
        } catch (const falha_qualidade& f) {
            EXPECT_EQ(f.arquivo, c.arquivo);
            EXPECT_EQ(f.linha, c.linha) << f.texto;
            EXPECT_NE(f.mensagem.find(c.trecho), std::string::npos) << f.texto;
        }
    }
}

TEST(QualidadeLeitura, ArquivosDoCasoComLinhaDoErro) {
    const caso c = le_caso_memoria("entradas.txt", "'perfil l' nome\n24\n\n10\n2\n");
    EXPECT_EQ(processamento::base_do_nome(c.nome_caso), "perfil l");
    EXPECT_EQ(c.nvol_eta, 10);
    EXPECT_EQ(c.tipo_malha, 2);
    try {
        le_parametros_memoria("p.txt", "20\n60\n0.001\n1.0\nx\n1\n1\n");
        ADD_FAILURE() << "no failure";
    } catch (const falha_qualidade& f) {
        EXPECT_EQ(f.arquivo, "p.txt");
        EXPECT_EQ(f.linha, 5) << f.texto;
        EXPECT_NE(f.mensagem.find("deta"), std::string::npos) << f.texto;
    }
    try {
        le_caso_memoria("entradas.txt", "caso\n24\n10\n");
        ADD_FAILURE() << "no failure";
    } catch (const falha_qualidade& f) {
        EXPECT_NE(f.mensagem.find("tipo_malha"), std::string::npos) << f.texto;
    }
}

// --- Residual ---------------------------------------------------------------------

malha_lida malha_de(int nk, int ne, double (*fx)(int, int), double (*fy)(int, int)) {
    malha_lida m;
    dimensiona(m, nk, ne);
    for (int j = 1; j <= ne + 1; ++j)
        for (int i = 1; i <= nk + 1; ++i) {
            m.x[static_cast<std::size_t>(vertice(m, i, j))] = fx(i, j);
            m.y[static_cast<std::size_t>(vertice(m, i, j))] = fy(i, j);
        }
    return m;
}

TEST(QualidadeResiduo, ZeroNaMalhaRetangularUniforme) {
    const malha_lida m = malha_de(
        7, 5, [](int i, int) { return (i - 1) * 0.3; }, [](int, int j) { return (j - 1) * 0.7; });
    parametros par;
    par.dksi = par.deta = 1.0;
    par.tipo_p = par.tipo_q = 1;
    residuo_malha r;
    calcula_residuo(m, par, r);
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        EXPECT_LT(r.x[static_cast<std::size_t>(v)], 1e-15);
        EXPECT_LT(r.y[static_cast<std::size_t>(v)], 1e-15);
    }
}

// The residual is computed a strip of rows at a time; it must be the value
// of the smoothing's routines run on the whole mesh at once, to the bit.
TEST(QualidadeResiduo, FaixasDaoOsBitsDaMalhaInteira) {
    const malha_lida m = malha_de(
        9, 150, [](int i, int j) { return (i - 1) * 0.1 + std::sin(0.37 * i * j) * 0.01; },
        [](int i, int j) { return (j - 1) * 0.05 + std::cos(0.11 * i + j) * 0.004; });
    parametros par;
    par.dksi = 0.8;
    par.deta = 1.3;
    par.tipo_p = par.tipo_q = 1;
    residuo_malha r;
    calcula_residuo(m, par, r);

    namespace v = variaveis;
    v::reinicia();
    v::nvol_ksi = m.nvol_ksi;
    v::nvol_eta = m.nvol_eta;
    v::deriva_tamanhos();
    v::aloca_malha();
    v::aloca_trabalho_eliptico();
    std::copy(m.x.begin(), m.x.end(), v::x);
    std::copy(m.y.begin(), m.y.end(), v::y);
    v::dksi = par.dksi;
    v::deta = par.deta;
    v::tipo_p = v::tipo_q = 1;
    metricas::calcula_metricas();
    coef::zera_fontes();
    coef::calcula_coef();
    const std::int64_t nk = v::nvert_ksi;
    for (std::int64_t j = 2; j < v::nvert_eta; ++j) {
        for (std::int64_t i = 2; i < nk; ++i) {
            const std::int64_t e = (j - 1) * nk + i, n = e + nk, s = e - nk;
            for (int c = 0; c < 2; ++c) {
                const double* phi = c == 0 ? v::x : v::y;
                const double soma = v::asw[e] * phi[s - 1] + v::as[e] * phi[s] + v::an[e] * phi[n] +
                                    v::anw[e] * phi[n - 1] + v::aw[e] * phi[e - 1] + v::ae[e] * phi[e + 1] +
                                    v::ase[e] * phi[s + 1] + v::ane[e] * phi[n + 1];
                const double esperado = std::fabs(soma / v::ap[e] - phi[e]);
                EXPECT_EQ((c == 0 ? r.x : r.y)[static_cast<std::size_t>(e)], esperado) << "vertex " << e;
            }
        }
    }
    v::reinicia();
}

// The fuzz target's seeds go through its checks in every build, the
// sanitizer build included.
TEST(QualidadeFuzz, SementesPassamPelasVerificacoesDoAlvo) {
    int lidos = 0;
    for (const auto& e : std::filesystem::directory_iterator(MALHAS_FUZZ_DIR "/corpus_qualidade")) {
        std::FILE* f = std::fopen(e.path().string().c_str(), "rb");
        ASSERT_NE(f, nullptr);
        std::string bytes;
        char b[4096];
        std::size_t n;
        while ((n = std::fread(b, 1, sizeof b, f)) > 0)
            bytes.append(b, n);
        std::fclose(f);
        EXPECT_EQ(alvo_qualidade::le(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
            << e.path();
        ++lidos;
    }
    EXPECT_GE(lidos, 4);
}

}  // namespace
