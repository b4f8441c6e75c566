// The history of the smoothing (--historico): its re-run is the program's
// run to the bit, its rows are what the summary finds in the report file of
// niter = k, what it recommends holds when fed back, and result files that
// do not come from the case files are named as such.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/historico/historico.hpp"
#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "malhas_qualidade/leitura/campos_lidos.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/medida_volume.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"
#include "malhas_qualidade/principal.hpp"
#include "malhas_qualidade/resumo/resumo.hpp"
#include "processamento/campos.hpp"
#include "processamento/processamento.hpp"
#include "roda_qualidade.hpp"

namespace {

using apoio::pasta_temporaria;
using namespace malhas_qualidade;

// The shipped case, with the given count of outer iterations, run by
// malhas_segmentos in the folder.
void roda_exemplo(const pasta_temporaria& p, int niter, const std::string& dksi = "1.0",
                  const std::string& deta = "1.0") {
    apoio::grava_arquivo(p / "entradas.txt",
                         apoio::le_arquivo(std::string(MALHAS_EXEMPLOS) + "/perfil_l/entradas.txt"));
    apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", apoio::texto_parametros(20, niter, dksi, deta));
    const auto r = apoio::executa_malhas(p.caminho());
    ASSERT_EQ(r.status, 0) << r.erro;
}

pedido_historico pedido_de(const pasta_temporaria& p) {
    malha_lida m;
    le_relatorio((p / "perfil_l.txt").string(), m);
    pedido_historico q;
    q.entradas = (p / "entradas.txt").string();
    q.parametros = (p / "entrada_eq_elipticas.txt").string();
    q.relatorio = (p / "perfil_l.txt").string();
    q.nvol_ksi_relatorio = m.nvol_ksi;
    q.nvol_eta_relatorio = m.nvol_eta;
    q.nome_caso = "perfil_l";
    q.tolerancia = fracao_visivel;
    return q;
}

// The conversion the history uses instead of the text: the field's text read
// back by the report's own reader, to the bit, for the values whose digits
// take each path (the exact product and to_chars, a 16-digit integer above
// and below 2^53, exponents near and beyond 10^22, denormals, signs).
TEST(Historico, ValorGravadoEOCampoLidoDeVolta) {
    std::vector<double> valores = {0.25,
                                   -1.0 / 3.0,
                                   1.0 / 7.0,
                                   1.0,
                                   1e22,
                                   1e23,
                                   1e100,
                                   1e-100,
                                   -0.0,
                                   0.0,
                                   DBL_MAX,
                                   DBL_MIN,
                                   5e-324,
                                   0.1,
                                   0.3,
                                   0.7,
                                   0.99999999999999989,
                                   9.007199254740993e15,
                                   9.999999999999999e-1,
                                   0.123456789012345678,
                                   1e-7,
                                   123456.789,
                                   2.0 / 3.0};
    std::mt19937_64 gerador(21);
    std::uniform_real_distribution<double> uniforme(0.0, 1.0);
    for (int k = 0; k < 200000; ++k) {
        valores.push_back(uniforme(gerador));
        const double bruto = std::bit_cast<double>(gerador());
        if (std::isfinite(bruto)) valores.push_back(bruto);
    }
    for (double x : valores) {
        char campo[26] = {};
        processamento::campo_e25_15(campo, x);
        std::string texto(campo);
        texto.erase(0, texto.find_first_not_of(' '));
        double lido = 0.0;
        // Rounded up past the double range, the field is one no report holds.
        if (!le_real_campo(texto, lido)) {
            ASSERT_TRUE(std::isnan(valor_gravado(x))) << texto;
            continue;
        }
        ASSERT_EQ(std::bit_cast<std::uint64_t>(valor_gravado(x)), std::bit_cast<std::uint64_t>(lido))
            << texto << " from " << x;
    }
}

// On the shipped example: the re-run's final coordinates are the report's
// digit for digit, and the last row is what the summary computes from the
// report.
TEST(Historico, ExemploReproduzidoUltimaLinhaEOResumo) {
    pasta_temporaria p;
    roda_exemplo(p, 60);
    pedido_historico q = pedido_de(p);
    q.saidas = {(p / "h.csv").string()};
    const historico h = executa_historico(q);
    ASSERT_EQ(h.resultado_prova, historico::prova::confere);
    EXPECT_EQ(h.registros, 61);
    const std::string csv = apoio::le_arquivo(p / "h.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n') + 1), cabecalho_csv_historico());
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 62);

    malha_lida m;
    le_relatorio((p / "perfil_l.txt").string(), m);
    medidas_malha med;
    calcula_medidas(m, med);
    residuo_malha r;
    calcula_residuo(m, le_parametros(q.parametros), r);
    const resumo_residuo rx = resume_residuo(m, r.x), ry = resume_residuo(m, r.y);
    const registro_historico& u = h.ultima;
    const std::pair<double, double> iguais[] = {
        {u.residuo_x_max, rx.maximo},
        {u.residuo_x_rms, rx.rms},
        {u.residuo_y_max, ry.maximo},
        {u.residuo_y_rms, ry.rms},
        {u.menor_aresta, med.menor_aresta},
        {h.aresta_final, med.menor_aresta},
        {u.distancia_final, 0.0},
        {u.movimento_relativo, std::max(rx.maximo, ry.maximo) / med.menor_aresta},
        {u.jacobiano_minimo, estatistica_de(med.jacobiano_escalado, true).minimo},
        {u.assimetria_maxima, estatistica_de(med.assimetria, false).maximo},
        {u.nao_ortogonalidade_maxima, estatistica_de(med.nao_ortogonalidade, false).maximo},
    };
    for (const auto& [historia, resumo] : iguais)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(historia), std::bit_cast<std::uint64_t>(resumo))
            << historia << " != " << resumo;
}

// "niter = k would do" holds when fed back: the report file of a run with
// niter = k is within the tolerance of the full run's, to the bit the
// distance of row k, and that of k - 1 is not. With deta 100 the algebraic
// mesh's residual is already below the tolerance, yet the mesh is 2 % of an
// edge from the smoothed one: a move bounds nothing.
TEST(Historico, RecomendacaoValeQuandoRodada) {
    struct caso {
        const char* deta;
        std::int64_t k;
    };
    for (const caso& c : {caso{"1.0", 8}, caso{"100.0", 2}}) {
        SCOPED_TRACE(c.deta);
        pasta_temporaria p;
        roda_exemplo(p, 30, "1.0", c.deta);
        const auto r = apoio::roda_qualidade({p.caminho().string(), "--historico", (p / "h.csv").string()});
        ASSERT_EQ(r.status, 0) << r.erro;
        EXPECT_NE(r.saida.find("niter = " + std::to_string(c.k) + " would do"), std::string::npos) << r.saida;
        const historico h = executa_historico(pedido_de(p));
        ASSERT_EQ(h.recomendado, c.k);
        malha_lida final;
        le_relatorio((p / "perfil_l.txt").string(), final);
        for (const std::int64_t niter : {c.k, c.k - 1}) {
            SCOPED_TRACE(niter);
            pasta_temporaria d;
            roda_exemplo(d, static_cast<int>(niter), "1.0", c.deta);
            malha_lida m;
            le_relatorio((d / "perfil_l.txt").string(), m);
            double d2 = 0.0;
            for (std::size_t v = 1; v < m.x.size(); ++v) {
                const double dx = m.x[v] - final.x[v], dy = m.y[v] - final.y[v];
                d2 = std::max(d2, dx * dx + dy * dy);
            }
            const double distancia = std::sqrt(d2) / h.aresta_final;
            EXPECT_EQ(distancia < fracao_visivel, niter == c.k) << distancia;
            EXPECT_EQ(
                std::bit_cast<std::uint64_t>(distancia),
                std::bit_cast<std::uint64_t>(h.grafico[static_cast<std::size_t>(niter)].distancia_final));
        }
    }
}

// Too few outer iterations: the history says how many more, from the rate
// at which the displacements fall, and a count that is enough says where
// the smoothing goes instead.
TEST(Historico, MaisIteracoesQuandoPoucas) {
    const std::pair<int, const char*> casos[] = {
        {5,
         "recommendation: more outer iterations are needed, about 4 (niter = 9): the largest displacement"},
        {60, "where the smoothing goes: the final mesh is there"},
        {2, "where the smoothing goes: not known"},
    };
    for (const auto& [niter, trecho] : casos) {
        SCOPED_TRACE(niter);
        pasta_temporaria p;
        roda_exemplo(p, niter);
        const auto r = apoio::roda_qualidade({p.caminho().string(), "--historico", (p / "h.svg").string()});
        ASSERT_EQ(r.status, 0) << r.erro;
        EXPECT_NE(r.saida.find(trecho), std::string::npos) << r.saida;
    }
}

// Any row, not only the last: row k of the table is, to the bit, what the
// summary computes from the result files of a run with niter = k.
TEST(Historico, LinhaKEOResumoDeNiterK) {
    pasta_temporaria p;
    roda_exemplo(p, 5);
    const auto r = apoio::roda_qualidade({p.caminho().string(), "--historico", (p / "h.csv").string()});
    ASSERT_EQ(r.status, 0) << r.erro;
    const std::string csv = apoio::le_arquivo(p / "h.csv");
    std::vector<std::string> linhas;
    for (std::size_t de = 0, ate; (ate = csv.find("\r\n", de)) != std::string::npos; de = ate + 2)
        linhas.push_back(csv.substr(de, ate - de));
    ASSERT_EQ(linhas.size(), 7u);
    for (const int k : {0, 3}) {
        SCOPED_TRACE(k);
        pasta_temporaria d;
        roda_exemplo(d, k);
        malha_lida m;
        le_relatorio((d / "perfil_l.txt").string(), m);
        medidas_malha med;
        calcula_medidas(m, med);
        residuo_malha res;
        calcula_residuo(m, le_parametros((d / "entrada_eq_elipticas.txt").string()), res);
        const resumo_residuo rx = resume_residuo(m, res.x), ry = resume_residuo(m, res.y);
        const double esperados[] = {static_cast<double>(k),
                                    rx.maximo,
                                    rx.rms,
                                    ry.maximo,
                                    ry.rms,
                                    std::max(rx.maximo, ry.maximo),
                                    std::max(rx.maximo, ry.maximo) / med.menor_aresta};
        std::string linha = linhas[static_cast<std::size_t>(k) + 1];
        for (const double e : esperados) {
            const std::size_t virgula = linha.find(',');
            EXPECT_EQ(std::stod(linha.substr(0, virgula)), e) << linha;
            linha.erase(0, virgula + 1);
        }
    }
}

// An iteration that moves nothing (no sweep asked for) is the last the
// re-run makes: every later one would repeat it to the bit.
TEST(Historico, IteracaoQueNaoMoveNadaEncerraAReexecucao) {
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "perfil_l", 24, 10, 2, apoio::texto_parametros(0, 1000));
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    pedido_historico q = pedido_de(p);
    const historico h = executa_historico(q);
    EXPECT_EQ(h.resultado_prova, historico::prova::confere);
    EXPECT_EQ(h.ponto_fixo, 1);
    EXPECT_EQ(h.registros, 2);
    int status = 0;
    const std::string texto = texto_historico(h, q, status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(texto.find("iteration 1 left every coordinate exactly as it found it"), std::string::npos)
        << texto;
}

// Every measure --medida offers gives one value per volume and a picture
// with its worst volume outlined; those of the residual want the residual.
TEST(Historico, TodaMedidaDaTabelaDesenha) {
    pasta_temporaria p;
    roda_exemplo(p, 3);
    for (const medida_volume& m : medidas_volume()) {
        SCOPED_TRACE(m.nome);
        const std::string svg = (p / (std::string(m.nome) + ".svg")).string();
        const auto r = apoio::roda_qualidade({p.caminho().string(), "--svg", svg, "--medida", m.nome});
        ASSERT_EQ(r.status, 0) << r.erro;
        const std::string texto = apoio::le_arquivo(svg);
        EXPECT_NE(texto.find("of the 240 volumes (24 x 10; 25 x 11 vertices)"), std::string::npos);
        EXPECT_NE(texto.find("id=\"pior\""), std::string::npos);
        EXPECT_EQ(texto.rfind("</svg>\n"), texto.size() - 7);
        const auto s =
            apoio::roda_qualidade({p.caminho().string(), "--sem-residuo", "--svg", svg, "--medida", m.nome});
        EXPECT_EQ(s.status, m.precisa_residuo ? 2 : 0) << s.erro;
    }
}

// The re-run is bit-identical whatever threads either program takes: a mesh
// big enough for the sweeps, metric terms and coefficients to share their
// work, made by malhas_segmentos on one thread and on three.
TEST(Historico, ReexecucaoIgualComOutrasLinhasDeExecucao) {
    for (const char* linhas : {"1", "3"}) {
        SCOPED_TRACE(linhas);
        pasta_temporaria p;
        apoio::grava_entradas(p.caminho(), "perfil_l", 300, 240, 2, apoio::texto_parametros(6, 3));
        const auto r = apoio::executa_malhas(p.caminho(), {{"MALHAS_LINHAS_EXECUCAO", linhas}});
        ASSERT_EQ(r.status, 0) << r.erro;
        const historico h = executa_historico(pedido_de(p));
        EXPECT_EQ(h.resultado_prova, historico::prova::confere);
        EXPECT_EQ(h.registros, 4);
    }
}

// Result files that do not come from the case files as they stand: the
// mismatch said with its first vertex and both texts, or the sizes, or the
// fault that would end the program's run; exit status 3, the history still
// written (it is that of the case files).
TEST(Historico, ArquivosQueNaoVemDaSuavizacaoSaoNomeados) {
    struct caso {
        const char* nome;
        void (*muda)(const pasta_temporaria&);
        std::vector<std::string> trechos;
    };
    const caso casos[] = {
        {"a digit of the report edited",
         [](const pasta_temporaria& p) {
             std::string r = apoio::le_arquivo(p / "perfil_l.txt");
             // Vertex 130 is (5, 6); its x field's 12th digit.
             const std::size_t k =
                 processamento::linhas_iniciais_relatorio(24, 10, 25, 11).size() + 129 * 62 + 10 + 16;
             r[k] = r[k] == '9' ? '0' : static_cast<char>(r[k] + 1);
             apoio::grava_arquivo(p / "perfil_l.txt", r);
         },
         {"MISMATCH: the re-run does not give", "at vertex 130 (5, 6) the re-run's x is"}},
        {"niter changed after the run",
         [](const pasta_temporaria& p) {
             apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", apoio::texto_parametros(20, 7));
         },
         {"MISMATCH: the re-run does not give", "at vertex 27 (2, 2)"}},
        {"the case file asks for other sizes",
         [](const pasta_temporaria& p) { apoio::grava_arquivo(p / "entradas.txt", "perfil_l\n24\n12\n2\n"); },
         {"MISMATCH: the case files make a 24 x 12 mesh", "holds 24 x 10 volumes"}},
        {"dksi 0: the program's run ends at a fault",
         [](const pasta_temporaria& p) {
             apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", apoio::texto_parametros(20, 8, "0.0"));
         },
         {"ends at outer iteration 1, in the metric terms' factors",
          "\"run-time error M6103: MATH\" (floating-point error: divide by zero)"}},
        {"a tiny dksi: an overflow at a vertex",
         [](const pasta_temporaria& p) {
             apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", apoio::texto_parametros(20, 8, "1e-160"));
         },
         {"of vertex 27 (2, 2), with the report \"run-time error M6104: MATH\""}},
    };
    for (const caso& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        roda_exemplo(p, 8);
        c.muda(p);
        const auto r = apoio::roda_qualidade(
            {p.caminho().string(), "--sem-residuo", "--historico", (p / "h.csv").string()});
        EXPECT_EQ(r.status, status_nao_reproduz) << r.erro;
        for (const std::string& t : c.trechos)
            EXPECT_NE(r.saida.find(t), std::string::npos) << t << "\n" << r.saida;
        EXPECT_TRUE(apoio::existe(p / "h.csv"));
    }
}

// What the option refuses before anything is read.
TEST(Historico, UsoDasOpcoes) {
    pasta_temporaria p;
    roda_exemplo(p, 2);
    const std::string pasta = p.caminho().string();
    const std::pair<std::vector<std::string>, const char*> casos[] = {
        {{pasta, "--historico", "h.txt"}, "ending in .csv (the table) or .svg (the plot)"},
        {{pasta, "--tolerancia", "0.01"}, "--tolerancia is the tolerance of --historico"},
        {{pasta, "--historico", "h.csv", "--tolerancia", "-1"}, "--tolerancia needs a positive number"},
        {{pasta, "--historico", "h.csv", "--tolerancia", "1e-3x"}, "--tolerancia needs a positive number"},
        {{pasta, "--svg", "m.svg", "--medida", "beleza"}, "no measure beleza; the measures are skew, area"},
        {{pasta, "--medida", "area"}, "--medida names the measure of --svg"},
        {{pasta, "--historico", pasta + "/h.csv", "--csv", pasta + "/h.csv"}, "name the same file"},
    };
    for (const auto& [argumentos, trecho] : casos) {
        SCOPED_TRACE(argumentos.back());
        const auto r = apoio::roda_qualidade(argumentos);
        EXPECT_EQ(r.status, 2) << r.erro;
        EXPECT_NE(r.erro.find(trecho), std::string::npos) << r.erro;
    }
}

}  // namespace
