// Whole runs of the real executable in a scratch folder: the result files
// byte for byte, the commands it starts, and how each failure ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "apoio.hpp"

namespace {

using apoio::existe;
using apoio::le_arquivo;
using apoio::pasta_temporaria;
using apoio::relatorio;

const std::string crlf = "\r\n";

// Reals as E25.15 writes them, spelled out by hand for the values the 4 by 2
// mesh holds.
std::string e(double v) {
    if (v == 0.0) return "    0.000000000000000E+00";
    if (v == 1.0) return "    1.000000000000000E+00";
    if (v == 0.5) return "    5.000000000000000E-01";
    if (v == 0.25) return "    2.500000000000000E-01";
    if (v == 0.625) return "    6.250000000000000E-01";
    if (v == 0.75) return "    7.500000000000000E-01";
    ADD_FAILURE() << "no hand-written text for " << v;
    return "";
}

std::string i10(long v) {
    std::string s = std::to_string(v);
    return std::string(10 - s.size(), ' ') + s;
}

void grava_entradas(const pasta_temporaria& p, const std::string& nome, int nk, int ne, int tipo) {
    apoio::grava_entradas(p.caminho(), nome, nk, ne, tipo);
}

std::vector<std::string> linhas(const std::string& bytes) {
    std::vector<std::string> r;
    std::size_t inicio = 0;
    while (inicio < bytes.size()) {
        const auto fim = bytes.find(crlf, inicio);
        if (fim == std::string::npos) {
            r.push_back(bytes.substr(inicio) + "<no CR LF>");
            break;
        }
        r.push_back(bytes.substr(inicio, fim - inicio));
        inicio = fim + 2;
    }
    return r;
}

struct ponto {
    double x, y;
};
const ponto malha_4x2[15] = {{0, 1},    {0, 0.5},      {0, 0},       {0.5, 0},      {1, 0},
                             {0.25, 1}, {0.25, 0.625}, {0.25, 0.25}, {0.625, 0.25}, {1, 0.25},
                             {0.5, 1},  {0.5, 0.75},   {0.5, 0.5},   {0.75, 0.5},   {1, 0.5}};

std::string relatorio_4x2_esperado() {
    std::string s;
    s += "         4 = n\xFAmero de volumes na dire\xE7\xE3o ksi" + crlf;
    s += "         2 = n\xFAmero de volumes na dire\xE7\xE3o eta" + crlf;
    s += "         5 = n\xFAmero de v\xE9rtices na dire\xE7\xE3o ksi" + crlf;
    s += "         3 = n\xFAmero de v\xE9rtices na dire\xE7\xE3o eta" + crlf;
    s += crlf;
    s += "   v\xE9rtice    posi\xE7\xE3o x                posi\xE7\xE3o y" + crlf;
    for (int k = 1; k <= 15; ++k)
        s += i10(k) + e(malha_4x2[k - 1].x) + e(malha_4x2[k - 1].y) + crlf;
    return s;
}

const int cantos_4x2[8][4] = {{1, 2, 7, 6},   {2, 3, 8, 7},   {3, 4, 9, 8},   {4, 5, 10, 9},
                              {6, 7, 12, 11}, {7, 8, 13, 12}, {8, 9, 14, 13}, {9, 10, 15, 14}};

std::string contorno_4x2_esperado() {
    std::string s;
    for (const auto& c : cantos_4x2) {
        for (int k : {c[0], c[1], c[2], c[3], c[0]})
            s += e(malha_4x2[k - 1].x) + e(malha_4x2[k - 1].y) + crlf;
        s += " " + crlf;
    }
    return s;
}

std::string volumes_4x2_esperado() {
    std::string s =
        "    volume     numera\xE7\xE3o dos v\xE9rtices do quadril\xE1tero correspondente ao volume" + crlf;
    for (int p = 1; p <= 8; ++p) {
        s += i10(p);
        for (int k : cantos_4x2[p - 1])
            s += i10(k);
        s += crlf;
    }
    return s;
}

TEST(Execucao, MalhaAlgebrica4por2ByteAByte) {
    pasta_temporaria p;
    grava_entradas(p, "teste", 4, 2, 1);
    const auto r = apoio::executa_malhas(p.caminho());
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(r.erro, "");
    EXPECT_EQ(r.saida, "");

    const std::string rel = le_arquivo(p / "teste.txt");
    const std::string con = le_arquivo(p / "malha.txt");
    const std::string vol = le_arquivo(p / "teste_vert.txt");
    EXPECT_EQ(rel, relatorio_4x2_esperado());
    EXPECT_EQ(con, contorno_4x2_esperado());
    EXPECT_EQ(vol, volumes_4x2_esperado());

    // The line counts and the fixed length of each kind of line.
    const auto lr = linhas(rel), lc = linhas(con), lv = linhas(vol);
    ASSERT_EQ(lr.size(), 21u);
    ASSERT_EQ(lc.size(), 48u);
    ASSERT_EQ(lv.size(), 9u);
    const std::size_t tamanhos_rel[6] = {45, 45, 46, 46, 0, 48};
    for (std::size_t k = 0; k < lr.size(); ++k)
        EXPECT_EQ(lr[k].size(), k < 6 ? tamanhos_rel[k] : 60u) << k;
    for (std::size_t k = 0; k < lc.size(); ++k)
        EXPECT_EQ(lc[k].size(), k % 6 == 5 ? 1u : 50u) << k;
    for (std::size_t k = 0; k < lv.size(); ++k)
        EXPECT_EQ(lv[k].size(), k == 0 ? 78u : 50u) << k;

    // The editor on the case file first, then the two editors and the plot.
    EXPECT_EQ(
        le_arquivo(p / "comandos.log"),
        "/c|notepad entradas.txt\n/c|notepad teste.txt\n/c|notepad teste_vert.txt\n/c|wgnuplot malha.gnu\n");
}

TEST(Execucao, SegundaCorridaMenorNaoDeixaLinhasDaPrimeira) {
    pasta_temporaria p;
    grava_entradas(p, "teste", 6, 5, 1);
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    grava_entradas(p, "teste", 4, 2, 1);
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    EXPECT_EQ(le_arquivo(p / "teste.txt"), relatorio_4x2_esperado());
    EXPECT_EQ(le_arquivo(p / "malha.txt"), contorno_4x2_esperado());
    EXPECT_EQ(le_arquivo(p / "teste_vert.txt"), volumes_4x2_esperado());
}

TEST(Execucao, ContagensNegativasDeixamMalhaTxtComoEstava) {
    pasta_temporaria p;
    grava_entradas(p, "neg", -3, -3, 1);
    apoio::grava_arquivo(p / "malha.txt", "old outline\r\n");
    const auto r = apoio::executa_malhas(p.caminho());
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(le_arquivo(p / "malha.txt"), "old outline\r\n");
    EXPECT_EQ(le_arquivo(p / "neg.txt"),
              "        -3 = n\xFAmero de volumes na dire\xE7\xE3o ksi\r\n"
              "        -3 = n\xFAmero de volumes na dire\xE7\xE3o eta\r\n"
              "        -2 = n\xFAmero de v\xE9rtices na dire\xE7\xE3o ksi\r\n"
              "        -2 = n\xFAmero de v\xE9rtices na dire\xE7\xE3o eta\r\n"
              "\r\n"
              "   v\xE9rtice    posi\xE7\xE3o x                posi\xE7\xE3o y\r\n");
    EXPECT_EQ(
        le_arquivo(p / "neg_vert.txt"),
        "    volume     numera\xE7\xE3o dos v\xE9rtices do quadril\xE1tero correspondente ao volume\r\n");
    // A missing outline file is created empty.
    pasta_temporaria q;
    grava_entradas(q, "neg", -3, -3, 1);
    ASSERT_EQ(apoio::executa_malhas(q.caminho()).status, 0);
    EXPECT_EQ(le_arquivo(q / "malha.txt"), "");
}

TEST(Execucao, NvolKsiImparPassaUmEspacamentoAlemDeXIgualA1) {
    pasta_temporaria p;
    grava_entradas(p, "impar", 3, 2, 1);
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    const auto l = linhas(le_arquivo(p / "impar.txt"));
    ASSERT_EQ(l.size(), 6u + 12u);
    // Line j = 1: (0, 1), (0, 0), (1, 0), (2, 0); line j = 3 ends at (1.5, 0.5).
    EXPECT_EQ(l[6 + 3], i10(4) + "    2.000000000000000E+00" + e(0));
    EXPECT_EQ(l[6 + 11], i10(12) + "    1.500000000000000E+00" + e(0.5));
}

struct caso_falha {
    const char* nome;
    int nvol_ksi, nvol_eta;
    const char* relatorio;
};

TEST(Execucao, TamanhosDegeneradosTerminamComErroDePontoFlutuante) {
    const caso_falha casos[] = {
        {"nvol_eta 0 divides zero by zero", 4, 0,
         "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        {"nvol_eta 0 with nvol_ksi 1", 1, 0,
         "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        {"nvol_ksi 1 divides by zero", 1, 2,
         "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        {"nvol_ksi 0 divides by zero", 0, 3,
         "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        grava_entradas(p, "degenerado", c.nvol_ksi, c.nvol_eta, 1);
        const auto r = apoio::executa_malhas(p.caminho());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro, c.relatorio);
        EXPECT_FALSE(existe(p / "degenerado.txt"));
        EXPECT_FALSE(existe(p / "malha.txt"));
        EXPECT_FALSE(existe(p / "degenerado_vert.txt"));
    }
}

TEST(Execucao, TamanhosQueNaoCabemEm32BitsSaoRecusadosAntesDeAlocar) {
    pasta_temporaria p;
    grava_entradas(p, "enorme", 100000, 100000, 1);
    const auto r = apoio::executa_malhas(p.caminho());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.erro,
              relatorio("F502", "ALLOCATE (y)", "array size beyond the supported range (100001 x 100001)"));
    EXPECT_FALSE(existe(p / "malha.txt"));
}

TEST(Execucao, ArquivoDeEntradaAusenteECriadoVazioEDaFimDeArquivo) {
    pasta_temporaria p;
    const auto r = apoio::executa_malhas(p.caminho());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.erro, relatorio("F201", "READ (entradas.txt)", "end of file"));
    ASSERT_TRUE(existe(p / "entradas.txt"));
    EXPECT_EQ(le_arquivo(p / "entradas.txt"), "");
    EXPECT_EQ(le_arquivo(p / "comandos.log"), "/c|notepad entradas.txt\n");
}

TEST(Execucao, TipoDeMalhaDiferenteDe2NuncaMostraNemLeOsParametros) {
    for (int tipo : {1, 0, -1, 3}) {
        SCOPED_TRACE(tipo);
        pasta_temporaria p;
        grava_entradas(p, "alg", 4, 2, tipo);
        const auto r = apoio::executa_malhas(p.caminho());
        ASSERT_EQ(r.status, 0) << r.erro;
        EXPECT_EQ(le_arquivo(p / "alg.txt"), [] {
            std::string s = relatorio_4x2_esperado();
            return s;
        }());
        EXPECT_EQ(le_arquivo(p / "comandos.log").find("entrada_eq_elipticas"), std::string::npos);
        EXPECT_FALSE(existe(p / "entrada_eq_elipticas.txt"));
    }
}

TEST(Execucao, NomesQueColidemComEntradasOuResultadosSaoRecusados) {
    struct caso {
        const char* nome;
        const char* arquivo;
        const char* outro;
    };
    const caso casos[] = {
        {"malha", "malha.txt", "malha.txt"},
        {"entradas", "entradas.txt", "entradas.txt"},
        {"entrada_eq_elipticas", "entrada_eq_elipticas.txt", "entrada_eq_elipticas.txt"},
        {"'./malha'", "./malha.txt", "malha.txt"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        grava_entradas(p, c.nome, 4, 2, 1);
        const std::string entradas_antes = le_arquivo(p / "entradas.txt");
        const auto r = apoio::executa_malhas(p.caminho());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro, relatorio("F102", std::string("OPEN (") + c.arquivo + ")",
                                    std::string("the result file would be the same file as ") + c.outro));
        EXPECT_EQ(le_arquivo(p / "entradas.txt"), entradas_antes);
        EXPECT_EQ(le_arquivo(p / "comandos.log"), "/c|notepad entradas.txt\n");  // no viewer started
    }
}

TEST(Execucao, NomeComBrancosENomeComEspacosIniciais) {
    pasta_temporaria p;
    grava_entradas(p, "'  duto'", 4, 2, 1);
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    EXPECT_TRUE(existe(p / "duto.txt"));
    EXPECT_TRUE(existe(p / "duto_vert.txt"));
    pasta_temporaria q;
    grava_entradas(q, "'caso 1'", 4, 2, 1);
    ASSERT_EQ(apoio::executa_malhas(q.caminho()).status, 0);
    EXPECT_TRUE(existe(q / "caso 1.txt"));
    EXPECT_EQ(le_arquivo(q / "comandos.log"),
              "/c|notepad entradas.txt\n/c|notepad caso 1.txt\n/c|notepad caso 1_vert.txt\n/c|wgnuplot "
              "malha.gnu\n");
    pasta_temporaria b;
    grava_entradas(b, "'   '", 4, 2, 1);
    ASSERT_EQ(apoio::executa_malhas(b.caminho()).status, 0);
    EXPECT_TRUE(existe(b / ".txt"));
    EXPECT_TRUE(existe(b / "_vert.txt"));
}

TEST(Execucao, NomeDeResultadoQueEPastaDaErroDeAbertura) {
    // A result name that is a folder cannot be opened for writing, even by root.
    pasta_temporaria p;
    grava_entradas(p, "pasta", 4, 2, 1);
    std::filesystem::create_directory(p / "pasta.txt");
    const auto r = apoio::executa_malhas(p.caminho());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.erro.rfind("\r\nrun-time error F101: OPEN (pasta.txt)\r\n- cannot open the file: ", 0), 0u)
        << r.erro;
    EXPECT_EQ(le_arquivo(p / "comandos.log"), "/c|notepad entradas.txt\n");
}

}  // namespace

namespace {

TEST(Execucao, EntradasInvalidasTerminamComRelatorioDeLeitura) {
    struct caso {
        const char* nome;
        std::string entradas;
        std::string relatorio;
    };
    const caso casos[] = {
        {"real where an integer goes", "caso\n8.0\n4\n1\n",
         apoio::relatorio("F202", "READ (entradas.txt)", "integer value of the wrong form: '8.0'")},
        {"a word", "caso\noito\n4\n1\n",
         apoio::relatorio("F202", "READ (entradas.txt)", "integer value of the wrong form: 'oito'")},
        {"mesh kind missing", "caso\n8\n4\n", apoio::relatorio("F201", "READ (entradas.txt)", "end of file")},
        {"beyond 32 bits", "caso\n2147483648\n4\n1\n",
         apoio::relatorio("F203", "READ (entradas.txt)", "integer value out of range: '2147483648'")},
        {"null case name", ",\n8\n4\n1\n",
         apoio::relatorio("F209", "READ (entradas.txt)", "case name given as a null value")},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        apoio::grava_arquivo(p / "entradas.txt", c.entradas);
        const auto r = apoio::executa_malhas(p.caminho());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro, c.relatorio);
        EXPECT_EQ(le_arquivo(p / "entradas.txt"), c.entradas);  // the case file is never changed
        EXPECT_FALSE(existe(p / "malha.txt"));
    }
}

}  // namespace
