// Whole runs: malhas_segmentos makes the meshes, malhas_qualidade judges them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"
#include "malhas_qualidade/principal.hpp"
#include "processamento/processamento.hpp"
#include "roda_qualidade.hpp"
#include "tempo_execucao/nucleos.hpp"

namespace {

using apoio::pasta_temporaria;
using namespace malhas_qualidade;

// The shipped case with its own sizes and the given smoothing.
void grava_caso(const pasta_temporaria& p, int niter_solver, int niter, int tipo = 2) {
    apoio::grava_arquivo(p / "entradas.txt", "'perfil_l'\r\n24\r\n10\r\n" + std::to_string(tipo) + "\r\n");
    apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", std::to_string(niter_solver) + "\r\n" +
                                                             std::to_string(niter) +
                                                             "\r\n0.001\r\n1.0\r\n1.0\r\n1\r\n1\r\n");
}

void roda_malhas(const pasta_temporaria& p) {
    const auto r = apoio::executa_malhas(p.caminho());
    ASSERT_EQ(r.status, 0) << r.erro;
}

malha_lida le_malha(const pasta_temporaria& p) {
    malha_lida m;
    le_relatorio((p / "perfil_l.txt").string(), m);
    le_volumes((p / "perfil_l_vert.txt").string(), m);
    return m;
}

residuo_malha residuo_de(const pasta_temporaria& p) {
    residuo_malha r;
    calcula_residuo(le_malha(p), le_parametros((p / "entrada_eq_elipticas.txt").string()), r);
    return r;
}

double maior(const std::vector<double>& v) {
    double m = 0.0;
    for (double x : v)
        m = std::max(m, x);
    return m;
}

TEST(QualidadeExecucao, ResiduoCaiComNiter) {
    double anterior = INFINITY;
    for (int niter : {1, 4, 16}) {
        SCOPED_TRACE(niter);
        pasta_temporaria p;
        grava_caso(p, 5, niter);
        roda_malhas(p);
        const residuo_malha r = residuo_de(p);
        const double agora = std::max(maior(r.x), maior(r.y));
        EXPECT_LT(agora, anterior);
        anterior = agora;
    }
}

// The sweep visits (2, 2) first, and its W, SW, S and SE neighbours are
// boundary vertices: one more outer iteration of one sweep moves it by
// exactly the residual of the mesh before it.
TEST(QualidadeExecucao, ResiduoEm22EOPassoDaProximaIteracao) {
    pasta_temporaria antes, depois;
    grava_caso(antes, 1, 3);
    grava_caso(depois, 1, 4);
    roda_malhas(antes);
    roda_malhas(depois);
    const malha_lida a = le_malha(antes), b = le_malha(depois);
    const residuo_malha r = residuo_de(antes);
    const auto v = static_cast<std::size_t>(vertice(a, 2, 2));
    const double passo_x = std::fabs(b.x[v] - a.x[v]), passo_y = std::fabs(b.y[v] - a.y[v]);
    ASSERT_GT(passo_x + passo_y, 1e-6);
    // The files hold 16 significant digits of coordinates near 1.
    EXPECT_NEAR(r.x[v], passo_x, 1e-15);
    EXPECT_NEAR(r.y[v], passo_y, 1e-15);
}

TEST(QualidadeExecucao, ResumoEExportacoes) {
    pasta_temporaria p;
    grava_caso(p, 20, 60);
    roda_malhas(p);
    const std::string pasta = p.caminho().string();
    const auto r = apoio::roda_qualidade({pasta, "--csv", (p / "q.csv").string(), "--vtk",
                                          (p / "q.vts").string(), "--msh", (p / "q.msh").string()});
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(r.erro, "");
    // A second run replaces the files (on Windows, renaming over a file
    // needs to be asked for).
    apoio::grava_arquivo(p / "q.msh", "old");
    EXPECT_EQ(apoio::roda_qualidade({pasta, "--msh", (p / "q.msh").string()}).status, 0);
    EXPECT_NE(apoio::le_arquivo(p / "q.msh"), "old");
    EXPECT_NE(r.saida.find("24 x 10 volumes (240)"), std::string::npos) << r.saida;
    EXPECT_NE(r.saida.find("inverted volumes:             0 of 240"), std::string::npos) << r.saida;
    EXPECT_NE(r.saida.find("settled"), std::string::npos) << r.saida;
    for (const char* nome : {"q.csv", "q.vts", "q.msh"}) {
        EXPECT_TRUE(apoio::existe(p / nome)) << nome;
        EXPECT_FALSE(apoio::existe(p / (std::string(nome) + ".tmp"))) << nome;
    }
    // One header and 240 rows.
    const std::string csv = apoio::le_arquivo(p / "q.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 241);

    // An unsmoothed mesh of kind 1: no residual, but --caso needs no case file.
    pasta_temporaria alg;
    grava_caso(alg, 1, 1, 1);
    roda_malhas(alg);
    std::filesystem::remove(alg / "entradas.txt");
    std::filesystem::remove(alg / "entrada_eq_elipticas.txt");
    const auto r2 = apoio::roda_qualidade({"--caso", "perfil_l", alg.caminho().string()});
    ASSERT_EQ(r2.status, 0) << r2.erro;
    EXPECT_NE(r2.saida.find("residual: not computed"), std::string::npos) << r2.saida;
}

struct caso_falha {
    const char* nome;
    void (*prepara)(const pasta_temporaria&);
    std::vector<std::string> argumentos;  // "@" stands for the case folder
    int status;
    std::string trecho;
};

TEST(QualidadeExecucao, FalhasNomeiamArquivoENaoDeixamSaidaParcial) {
    auto nada = [](const pasta_temporaria&) {};
    const caso_falha casos[] = {
        {"opcao desconhecida", nada, {"--rapido", "@"}, 2, "unknown option --rapido"},
        {"opcao sem valor", nada, {"@", "--vtk"}, 2, "option --vtk needs a value"},
        {"duas pastas", nada, {"@", "@"}, 2, "more than one folder"},
        {"saidas iguais",
         nada,
         {"@", "--vtk", "@/x", "--msh", "@/x"},
         2,
         "--vtk and --msh name the same file"},
        {"sem entradas.txt",
         [](const pasta_temporaria& p) { std::filesystem::remove(p / "entradas.txt"); },
         {"@", "--vtk", "@/saida.vts"},
         1,
         "entradas.txt: cannot open"},
        {"sem relatorio",
         [](const pasta_temporaria& p) { std::filesystem::remove(p / "perfil_l.txt"); },
         {"@", "--vtk", "@/saida.vts"},
         1,
         "perfil_l.txt: cannot open"},
        {"relatorio cortado",
         [](const pasta_temporaria& p) {
             const std::string r = apoio::le_arquivo(p / "perfil_l.txt");
             apoio::grava_arquivo(p / "perfil_l.txt", r.substr(0, r.size() - 100));
         },
         {"@", "--vtk", "@/saida.vts"},
         1,
         "perfil_l.txt, line 280: the file ends inside the line of vertex 274"},
        {"volumes de outro caso",
         [](const pasta_temporaria& p) {
             apoio::grava_arquivo(p / "perfil_l_vert.txt",
                                  processamento::linha_cabecalho_volumes() +
                                      "         1         1         2        28        27\r\n");
         },
         {"@", "--vtk", "@/saida.vts"},
         1,
         "perfil_l_vert.txt, line 2: volume 1 (i = 1, j = 1) has the corners"},
        {"parametros ruins",
         [](const pasta_temporaria& p) {
             apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", "20\n60\n0.001\n1.0\n");
         },
         {"@", "--vtk", "@/saida.vts"},
         1,
         "entrada_eq_elipticas.txt, line 5: reading deta"},
        {"pasta de saida inexistente",
         nada,
         {"@", "--msh", "@/nao/existe.msh"},
         1,
         "existe.msh: cannot write"},
        {"saida sobre a entrada",
         nada,
         {"@", "--csv", "@/perfil_l_vert.txt"},
         2,
         "would overwrite the case's file"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        grava_caso(p, 2, 2);
        roda_malhas(p);
        const std::string antes = "an older file that a failed run must leave alone";
        apoio::grava_arquivo(p / "saida.vts", antes);
        const std::string vert = apoio::le_arquivo(p / "perfil_l_vert.txt");
        c.prepara(p);
        std::vector<std::string> argumentos;
        for (std::string a : c.argumentos) {
            if (a[0] == '@') a = p.caminho().string() + a.substr(1);
            argumentos.push_back(a);
        }
        const auto r = apoio::roda_qualidade(argumentos);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.erro.find(c.trecho), std::string::npos) << r.erro;
        EXPECT_EQ(apoio::le_arquivo(p / "saida.vts"), antes);
        for (const auto& e : std::filesystem::directory_iterator(p.caminho()))
            EXPECT_NE(e.path().extension(), ".tmp") << "temporary file left behind";
        if (std::string(c.nome) == "saida sobre a entrada") {
            EXPECT_EQ(apoio::le_arquivo(p / "perfil_l_vert.txt"), vert);
        }
    }
}

// A mesh of odd sizes whose result files take two of the reader's blocks,
// large enough for every step to be shared by three threads.
void grava_caso_grande(const pasta_temporaria& p) {
    apoio::grava_arquivo(p / "entradas.txt", "'grande'\r\n401\r\n223\r\n2\r\n");
    apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", "3\r\n2\r\n0.001\r\n1.0\r\n1.0\r\n1\r\n1\r\n");
    roda_malhas(p);
}

apoio::resultado_execucao roda_companheiro(const pasta_temporaria& p, const char* fios, const char* nucleo,
                                           const std::vector<std::string>& argumentos) {
    return apoio::executa(MALHAS_QUALIDADE, p.caminho(),
                          {{"MALHAS_LINHAS_EXECUCAO", fios}, {"MALHAS_NUCLEO", nucleo}}, argumentos);
}

// Without the times it took: the summary up to the history's table, and the
// table without its column of seconds.
std::string sem_tempos(const std::string& saida, const std::string& csv) {
    std::string s = saida.substr(0, saida.find("history of the smoothing")) + "\n";
    std::size_t inicio = 0;
    while (inicio < csv.size()) {
        const std::size_t fim = std::min(csv.find('\n', inicio), csv.size());
        std::string linha = csv.substr(inicio, fim - inicio);
        std::size_t de = 0;
        for (int campo = 0; campo < 12 && de != std::string::npos; ++campo)
            de = linha.find(',', de) + 1;
        const std::size_t ate = linha.find(',', de);
        s += linha.erase(de, ate - de) + "\n";
        inicio = fim + 1;
    }
    return s;
}

// The summary, --verifica, an export and the history's table are the same
// bytes whatever the number of threads and the kernel.
TEST(QualidadeExecucao, CadaNucleoEUmaOuMaisLinhasDeExecucaoDaoOsMesmosBytes) {
    pasta_temporaria p;
    grava_caso_grande(p);
    std::string primeiros;
    for (tempo_execucao::nucleo k : apoio::nucleos()) {
        for (const char* fios : {"1", "2", "3"}) {
            SCOPED_TRACE(testing::Message() << tempo_execucao::nome_nucleo(k) << ", " << fios << " threads");
            const auto r = roda_companheiro(p, fios, tempo_execucao::nome_nucleo(k),
                                            {".", "--verifica", "--vtk", "q.vtu", "--historico", "h.csv"});
            ASSERT_EQ(r.status, 0) << r.erro;
            const std::string tudo =
                sem_tempos(r.saida, apoio::le_arquivo(p / "h.csv")) + apoio::le_arquivo(p / "q.vtu");
            if (primeiros.empty()) primeiros = tudo;
            EXPECT_TRUE(tudo == primeiros);
        }
    }
    EXPECT_NE(primeiros.find("checkMesh -allGeometry"), std::string::npos) << primeiros.substr(0, 4000);
    EXPECT_GT(primeiros.size(), 5000000u);
}

// A fault in a line is reported as the one-thread reader reports it, in the
// first block and in the last, whatever the threads saw after it.
TEST(QualidadeExecucao, LinhaRuimRelatadaComoComUmaLinhaDeExecucao) {
    struct caso {
        const char* nome;
        const char* arquivo;
        std::int64_t linha;  // from the end when negative
        void (*estraga)(std::string& linha);
    };
    const caso casos[] = {
        {"a letter in the last vertex line", "grande.txt", -1, [](std::string& l) { l[20] = 'x'; }},
        {"a line in the last block ending with LF alone", "grande.txt", -5000,
         [](std::string& l) { l.pop_back(); }},
        {"a vertex number out of order in the first block", "grande.txt", 700,
         [](std::string& l) { l[9] = l[9] == '9' ? '0' : '9'; }},
        {"the corners of the last but one volume", "grande_vert.txt", -2,
         [](std::string& l) { l[49] = l[49] == '1' ? '2' : '1'; }},
        {"a volume line one byte short in the first block", "grande_vert.txt", 3,
         [](std::string& l) { l.erase(0, 1); }},
    };
    pasta_temporaria p;
    grava_caso_grande(p);
    for (const caso& c : casos) {
        SCOPED_TRACE(c.nome);
        const std::string original = apoio::le_arquivo(p / c.arquivo);
        std::vector<std::string> linhas;  // each with its CR but without its LF
        for (std::size_t de = 0; de < original.size();) {
            const std::size_t fim = original.find('\n', de);
            linhas.push_back(original.substr(de, fim - de));
            de = fim + 1;
        }
        const auto n = static_cast<std::int64_t>(linhas.size());
        const std::int64_t alvo = c.linha > 0 ? c.linha : n + 1 + c.linha;
        c.estraga(linhas[static_cast<std::size_t>(alvo - 1)]);
        std::string estragado;
        for (const std::string& l : linhas)
            estragado += l + "\n";
        apoio::grava_arquivo(p / c.arquivo, estragado);
        const auto um = roda_companheiro(p, "1", "generico", {"."});
        EXPECT_EQ(um.status, 1);
        EXPECT_NE(um.erro.find(", line " + std::to_string(alvo) + ": "), std::string::npos) << um.erro;
        for (const char* fios : {"2", "3"}) {
            const auto varios = roda_companheiro(p, fios, "", {"."});
            EXPECT_EQ(varios.status, um.status) << fios;
            EXPECT_EQ(varios.erro, um.erro) << fios;
        }
        apoio::grava_arquivo(p / c.arquivo, original);
    }
}

}  // namespace
