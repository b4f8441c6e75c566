// The editor and the viewers as a user on Linux meets them: stand-in
// `notepad` and `wgnuplot` programs first on PATH, and the platform's shell.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "apoio.hpp"

namespace {

using apoio::existe;
using apoio::le_arquivo;
using apoio::pasta_temporaria;

// Installs executable scripts in <pasta>/bin and returns the run environment:
// that folder first on PATH and no COMSPEC, so the platform's shell runs the
// commands.
std::map<std::string, std::string> instala(const pasta_temporaria& p, const std::string& notepad,
                                           const std::string& wgnuplot) {
    std::filesystem::create_directory(p / "bin");
    apoio::grava_arquivo(p / "bin" / "notepad", "#!/bin/sh\n" + notepad);
    apoio::grava_arquivo(p / "bin" / "wgnuplot", "#!/bin/sh\n" + wgnuplot);
    ::chmod((p / "bin" / "notepad").c_str(), 0755);
    ::chmod((p / "bin" / "wgnuplot").c_str(), 0755);
    const char* path = std::getenv("PATH");
    return {{"PATH", (p / "bin").string() + ":" + (path ? path : "/usr/bin:/bin")}, {"COMSPEC", ""}};
}

TEST(Editores, OEditorRodaAntesDaLeituraEOValorEditadoVale) {
    pasta_temporaria p;
    apoio::grava_arquivo(p / "entradas.txt", "caso\r\n6\r\n5\r\n1\r\n");
    // The "user" changes the case to 4 by 2 in the editor.
    const auto amb = instala(
        p,
        "echo \"notepad $*\" >> log.txt\n"
        "if [ \"$1\" = entradas.txt ]; then printf 'caso\\r\\n4\\r\\n2\\r\\n1\\r\\n' > entradas.txt; fi\n",
        "echo \"wgnuplot $*\" >> log.txt\n");
    const auto r = apoio::executa(MALHAS_EXECUTAVEL, p.caminho(), amb);
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(le_arquivo(p / "caso.txt").substr(0, 10), "         4");
    EXPECT_EQ(le_arquivo(p / "log.txt"),
              "notepad entradas.txt\nnotepad caso.txt\nnotepad caso_vert.txt\nwgnuplot malha.gnu\n");
}

TEST(Editores, ParametrosSoSaoMostradosParaTipo2) {
    pasta_temporaria p;
    apoio::grava_arquivo(p / "entradas.txt", "eli\n4\n2\n2\n");
    apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", "1\n1\n0.001\n1.0\n1.0\n1\n1\n");
    const auto amb = instala(p, "echo \"notepad $*\" >> log.txt\n", "echo \"wgnuplot $*\" >> log.txt\n");
    const auto r = apoio::executa(MALHAS_EXECUTAVEL, p.caminho(), amb);
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(le_arquivo(p / "log.txt"),
              "notepad entradas.txt\nnotepad entrada_eq_elipticas.txt\nnotepad eli.txt\n"
              "notepad eli_vert.txt\nwgnuplot malha.gnu\n");
}

TEST(Editores, VisualizadoresVeemArquivosCompletos) {
    // Each viewer copies what it is shown; the copies must equal the final files.
    pasta_temporaria p;
    apoio::grava_arquivo(p / "entradas.txt", "caso\n5\n3\n1\n");
    const auto amb =
        instala(p, "cp \"$1\" \"visto_$1\" 2>/dev/null; true\n", "cp malha.txt visto_malha.txt\n");
    const auto r = apoio::executa(MALHAS_EXECUTAVEL, p.caminho(), amb);
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(le_arquivo(p / "visto_caso.txt"), le_arquivo(p / "caso.txt"));
    EXPECT_EQ(le_arquivo(p / "visto_caso_vert.txt"), le_arquivo(p / "caso_vert.txt"));
    EXPECT_EQ(le_arquivo(p / "visto_malha.txt"), le_arquivo(p / "malha.txt"));
}

TEST(Editores, UmEditorAusenteNaoInterrompeACorrida) {
    pasta_temporaria p;
    apoio::grava_arquivo(p / "entradas.txt", "caso\n4\n2\n1\n");
    // An empty bin folder first on PATH and no COMSPEC: "notepad" is just not found.
    std::filesystem::create_directory(p / "bin");
    const auto r =
        apoio::executa(MALHAS_EXECUTAVEL, p.caminho(), {{"PATH", (p / "bin").string()}, {"COMSPEC", ""}});
    EXPECT_EQ(r.status, 0) << r.erro;
    EXPECT_TRUE(existe(p / "caso_vert.txt"));
}

TEST(Editores, NomesComCaracteresDoInterpretadorNaoRodamOutroComando) {
    const char* nomes[] = {
        "'a&touch canary'",          "'a;touch canary'", "'a|touch canary'",
        "'$(touch canary)'",         "'`touch canary`'", "'a\"b;touch canary'",
        "'x'' ; touch canary ; '''", "'a>canary'",       "'a<canary'",
    };
    for (const char* nome : nomes) {
        SCOPED_TRACE(nome);
        pasta_temporaria p;
        apoio::grava_arquivo(p / "entradas.txt", std::string(nome) + "\n4\n2\n1\n");
        const auto amb = instala(p, "for a in \"$@\"; do echo \"notepad <$a>\" >> log.txt; done\n",
                                 "echo \"wgnuplot $*\" >> log.txt\n");
        const auto r = apoio::executa(MALHAS_EXECUTAVEL, p.caminho(), amb);
        ASSERT_EQ(r.status, 0) << r.erro;
        EXPECT_FALSE(existe(p / "canary"));
        const std::string log = le_arquivo(p / "log.txt");
        // Exactly one argument per editor start, the whole file name.
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
        EXPECT_NE(log.find(".txt>\nnotepad <"), std::string::npos) << log;
    }
}

// The shipped stand-in editor, on a terminal (script gives it one). It runs
// $EDITOR as the shell reads the words of a command: a quoted path with a
// blank names one program, and no pattern in it is matched against the
// files of the folder. A case name that looks like an editor option reaches
// the editor as a file name.
TEST(Editores, OEditorSubstitutoNaoTomaNomesPorOpcoes) {
    // script needs a pseudo-terminal (/dev/pts), which a bare chroot lacks.
    if (std::system("script -qec true /dev/null </dev/null >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "script (util-linux) cannot make a terminal here";
    pasta_temporaria p;
    std::filesystem::create_directory(p / "meu editor");
    const std::string editor = (p / "meu editor" / "ed").string();
    apoio::grava_arquivo(editor, "#!/bin/sh\nprintf '%s|' \"$@\" > \"" + (p / "log").string() + "\"\n");
    std::filesystem::permissions(editor, std::filesystem::perms::owner_all);
    // Files that a pattern in the variable would match.
    apoio::grava_arquivo(p / "a.txt", "");
    apoio::grava_arquivo(p / "b.txt", "");
    const std::string sem_branco = (p / "meu\\ editor" / "ed").string();  // the blank escaped
    struct caso {
        const char* nome;
        std::string variavel;  // EDITOR
        std::string esperado;  // the arguments the editor received
    };
    const caso casos[] = {
        {"an option-like case name", sem_branco, "--|+!touch canary|"},
        {"a path with a blank, in apostrophes", "'" + editor + "' -w", "-w|--|+!touch canary|"},
        {"a path with a blank, in quotation marks", "\"" + editor + "\"", "--|+!touch canary|"},
        {"no filename expansion", sem_branco + " * ?.txt [ab].txt", "*|?.txt|[ab].txt|--|+!touch canary|"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        std::filesystem::remove(p / "log");
        apoio::variavel_ambiente visual("VISUAL", std::nullopt);
        apoio::variavel_ambiente editor_("EDITOR", c.variavel);
        const std::string comando = "cd '" + p.caminho().string() +
                                    "' && script -qec \"'" MALHAS_EXEMPLOS
                                    "/bin/notepad' '+!touch canary'\" /dev/null </dev/null >/dev/null 2>&1";
        ASSERT_EQ(std::system(comando.c_str()), 0);
        EXPECT_EQ(le_arquivo(p / "log"), c.esperado);
        EXPECT_FALSE(existe(p / "canary"));
    }
}

// The shipped stand-in plotter in a case folder of the user's: without a
// malha.gnu of its own it draws with the example's, and says so; with one,
// it keeps it. gnuplot is a stand-in that logs its arguments.
TEST(Editores, OVisualizadorSubstitutoUsaOMalhaGnuDoExemploQuandoFalta) {
    const std::string exemplo =
        std::filesystem::canonical(std::filesystem::path(MALHAS_EXEMPLOS) / "perfil_l" / "malha.gnu")
            .string();
    for (const bool proprio : {false, true}) {
        SCOPED_TRACE(proprio ? "the folder's own malha.gnu" : "no malha.gnu in the folder");
        pasta_temporaria p;
        apoio::grava_arquivo(p / "entradas.txt", "caso\n4\n2\n1\n");
        if (proprio) apoio::grava_arquivo(p / "malha.gnu", "# the user's\n");
        std::filesystem::create_directory(p / "bin");
        apoio::grava_arquivo(p / "bin" / "gnuplot", "#!/bin/sh\nprintf '%s\\n' \"$@\" > gnuplot.log\n");
        ::chmod((p / "bin" / "gnuplot").c_str(), 0755);
        const std::string path = (p / "bin").string() + ":" MALHAS_EXEMPLOS "/bin:/usr/bin:/bin";
        const auto r = apoio::executa(MALHAS_EXECUTAVEL, p.caminho(), {{"PATH", path}, {"COMSPEC", ""}});
        ASSERT_EQ(r.status, 0) << r.erro;
        EXPECT_EQ(le_arquivo(p / "gnuplot.log"),
                  "-e\narquivo_png='malha.png'\n" + (proprio ? std::string("malha.gnu") : exemplo) + "\n");
        EXPECT_EQ(r.erro.find("no malha.gnu in this folder: drawing with the example's, " + exemplo) !=
                      std::string::npos,
                  !proprio)
            << r.erro;
    }
}

}  // namespace
