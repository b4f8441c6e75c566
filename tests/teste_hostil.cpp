// Hostile use of the real program, on every platform: names the interpreter
// acts on, devices, links that make two results one file, a result file that
// another run is writing, bytes an editor adds, control bytes in reports.
// Each test is named by its failure class, and checks the report, the exit
// status and what the folder holds afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "apoio.hpp"

namespace {

using apoio::existe;
using apoio::le_arquivo;
using apoio::pasta_temporaria;
using apoio::relatorio;

const std::string editor_das_entradas = "/c|notepad entradas.txt\n";

TEST(Hostil, FalhaConcorrencia_ResultadoQueOutraCorridaEscreveERecusado) {
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "caso", 4, 2, 1);
    apoio::grava_arquivo(p / "malha.txt", "the other run's lines\r\n");
    {
        apoio::arquivo_travado outra(p / "malha.txt");
        const auto r = apoio::executa_malhas(p.caminho());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro,
                  relatorio("F101", "OPEN (malha.txt)", "cannot open the file: another run is writing it"));
    }
    // No line reached any file: the report file opened before it is empty,
    // the outline file is untouched and the volume file was never opened.
    EXPECT_EQ(le_arquivo(p / "malha.txt"), "the other run's lines\r\n");
    EXPECT_EQ(le_arquivo(p / "caso.txt"), "");
    EXPECT_FALSE(existe(p / "caso_vert.txt"));
    EXPECT_EQ(le_arquivo(p / "comandos.log"), editor_das_entradas);
    // Once the other run is done, the same folder runs as ever.
    EXPECT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
}

TEST(Hostil, FalhaNome_NomesDeDispositivoSoNoWindows) {
    const std::vector<std::string> nomes = {"NUL", "con", "'Com1 '", "'lpt9.'", "Aux", "prn"};
    for (const auto& nome : nomes) {
        SCOPED_TRACE(nome);
        pasta_temporaria p;
        apoio::grava_entradas(p.caminho(), nome, 4, 2, 1);
        const auto r = apoio::executa_malhas(p.caminho());
        std::string base = nome;
        std::erase(base, '\'');
        while (base.back() == ' ')
            base.pop_back();
        if (apoio::em_windows) {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.erro, relatorio("F101", "OPEN (" + base + ".txt)",
                                        "cannot open the file: the name of a device, not of a file"));
            EXPECT_FALSE(existe(p / "malha.txt"));
            EXPECT_EQ(le_arquivo(p / "comandos.log"), editor_das_entradas);
        } else {
            EXPECT_EQ(r.status, 0) << r.erro;  // ordinary names on POSIX
            EXPECT_TRUE(existe(p / (base + ".txt")));
        }
    }
}

TEST(Hostil, FalhaNome_BarraInvertidaFicaComoEstaParaOCmd) {
    // COMSPEC names the stand-in, which is started the way cmd.exe is: the
    // backslash, a path separator there, goes into the command unquoted.
    // On Windows the name is a path: the report file ".txt" in the folder abc.
    pasta_temporaria p;
    if (apoio::em_windows) std::filesystem::create_directory(p / "abc");
    apoio::grava_entradas(p.caminho(), "abc\\", 4, 2, 1);
    const auto r = apoio::executa_malhas(p.caminho());
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(le_arquivo(p / "comandos.log"), editor_das_entradas +
                                                  "/c|notepad abc\\.txt\n/c|notepad abc\\_vert.txt\n"
                                                  "/c|wgnuplot malha.gnu\n");
}

TEST(Hostil, FalhaEntrada_MarcaDeOrdemDeBytesEExpoenteD) {
    struct caso {
        const char* nome;
        std::string entradas, parametros;
        int status;
        std::string relatorio;
    };
    const std::string bom = "\xEF\xBB\xBF";
    const std::string parametros = "1\r\n1\r\n0.001\r\n1.0\r\n1.0\r\n1\r\n1\r\n";
    const caso casos[] = {
        {"mark at the start of the case file", bom + "caso\r\n4\r\n2\r\n1\r\n", "", 0, ""},
        {"mark at the start of the parameter file", "caso\r\n4\r\n2\r\n2\r\n", bom + parametros, 0, ""},
        {"mark anywhere else is a byte of the value", "caso\r\n" + bom + "4\r\n2\r\n1\r\n", "", 1,
         relatorio("F202", "READ (entradas.txt)", "integer value of the wrong form: '???4'")},
        {"a D exponent is not a real", "caso\r\n4\r\n2\r\n2\r\n",
         "1\r\n1\r\n0.001\r\n1.0D0\r\n1.0\r\n1\r\n1\r\n", 1,
         relatorio("F204", "READ (entrada_eq_elipticas.txt)", "real value of the wrong form: '1.0D0'")},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        apoio::grava_arquivo(p / "entradas.txt", c.entradas);
        apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", c.parametros);
        const auto r = apoio::executa_malhas(p.caminho());
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.erro, c.relatorio);
        EXPECT_EQ(existe(p / "caso.txt"), c.status == 0);  // named without the mark
    }
}

TEST(Hostil, FalhaRelatorio_ControlesC1ViramInterrogacao) {
    // 0x9B is a terminal's CSI: "\x9B[2J" would clear the screen.
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "'falta\x9B[2J\x85/caso'", 4, 2, 1);
    const auto r = apoio::executa_malhas(p.caminho());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.erro.rfind("\r\nrun-time error F101: OPEN (falta?[2J?/caso.txt)\r\n- cannot open the file: ", 0),
        0u)
        << r.erro;
}

TEST(Hostil, FalhaColisao_LigacoesQueLevamAoMesmoArquivoNaoMudamNada) {
    if (apoio::em_windows) GTEST_SKIP() << "symbolic links need a privilege on Windows";
    namespace fs = std::filesystem;
    struct caso {
        const char* nome;
        std::vector<std::pair<std::string, std::string>> ligacoes;  // name, target
        std::string relatorio;
    };
    const caso casos[] = {
        {"report and volume files dangling links to one target",
         {{"caso.txt", "alvo.txt"}, {"caso_vert.txt", "alvo.txt"}},
         relatorio("F102", "OPEN (caso.txt)", "the result file would be the same file as caso_vert.txt")},
        {"report file a link to the missing outline file",
         {{"caso.txt", "malha.txt"}},
         relatorio("F102", "OPEN (caso.txt)", "the result file would be the same file as malha.txt")},
        {"two dangling links through a folder link",
         {{"sub", "."}, {"caso_vert.txt", "sub/malha.txt"}},
         relatorio("F102", "OPEN (malha.txt)", "the result file would be the same file as caso_vert.txt")},
        {"report file a link to the parameter file, missing",
         {{"caso.txt", "entrada_eq_elipticas.txt"}},
         relatorio("F102", "OPEN (caso.txt)",
                   "the result file would be the same file as entrada_eq_elipticas.txt")},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        apoio::grava_entradas(p.caminho(), "caso", 4, 2, 1);
        for (const auto& [nome, alvo] : c.ligacoes)
            fs::create_symlink(alvo, p / nome);
        std::vector<std::string> antes;
        for (const auto& e : fs::directory_iterator(p.caminho()))
            antes.push_back(e.path().filename().string());
        const auto r = apoio::executa_malhas(p.caminho());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro, c.relatorio);
        std::vector<std::string> depois;
        for (const auto& e : fs::directory_iterator(p.caminho()))
            if (e.path().filename() != "comandos.log") depois.push_back(e.path().filename().string());
        std::sort(antes.begin(), antes.end());
        std::sort(depois.begin(), depois.end());
        EXPECT_EQ(depois, antes);  // no file created
    }
}

}  // namespace
