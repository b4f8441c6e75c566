// The two input readers, run in-process in a scratch folder with a stand-in
// interpreter in place of the editor.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "dados/dados.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/relatorio_erro.hpp"
#include "variaveis/variaveis.hpp"

namespace {

using namespace variaveis;

using ambiente = apoio::variavel_ambiente;

class DadosLeitores : public ::testing::Test {
  protected:
    void SetUp() override {
        reinicia();
        std::filesystem::current_path(pasta_.caminho());
    }
    void TearDown() override {
        std::filesystem::current_path(anterior_);
        reinicia();
    }

    // Writes the file, runs the reader and gives the error code ("" for
    // none), checking that a failure names the read and the file.
    static std::string le(const std::function<void()>& leitor, const std::string& arquivo,
                          const std::string& conteudo) {
        reinicia();
        apoio::grava_arquivo(arquivo, conteudo);
        try {
            leitor();
        } catch (const tempo_execucao::erro_execucao& e) {
            EXPECT_EQ(e.instrucao(), "READ (" + arquivo + ")");
            return e.codigo();
        }
        EXPECT_EQ(apoio::le_arquivo(arquivo), conteudo);
        return "";
    }

    std::string log() const { return apoio::le_arquivo(pasta_ / "comandos.log"); }

    apoio::pasta_temporaria pasta_;
    std::filesystem::path anterior_ = std::filesystem::current_path();
    ambiente comspec_{"COMSPEC", std::string(MALHAS_INTERPRETADOR_FALSO)};
    ambiente log_{"MALHAS_LOG", (pasta_ / "comandos.log").string()};
    ambiente saida_{"MALHAS_SAIDA", std::nullopt};
};

using apoio::nome_preenchido;

TEST_F(DadosLeitores, ArquivoDeCaso) {
    const std::string longo = std::string(70, 'n') + std::string(50, 'm');
    struct caso {
        std::string conteudo, codigo, nome_caso;
        std::int32_t nvol_ksi, nvol_eta, tipo_malha;
    };
    const std::vector<caso> casos = {
        {"teste\r\n8\r\n4\r\n2", "", "teste", 8, 4, 2},
        {"'malha L' outras palavras\n8\n4\n1\n", "", "malha L", 8, 4, 1},
        {"malha L\n8\n4\n1\n", "", "malha", 8, 4, 1},
        {longo + "\n8 volumes\n4\n1\n", "", longo.substr(0, 100), 8, 4, 1},
        {"teste\n8 4\n5\n2\n", "", "teste", 8, 5, 2},
        {"teste\n\n8\n,\n-2\n", "", "teste", 8, 0, -2},
        {"teste\n8.0\n4\n2\n", "F202", "teste", 0, 0, 0},
        {"teste\noito\n4\n2\n", "F202", "teste", 0, 0, 0},
        {"teste\n8\n4\n", "F201", "teste", 8, 4, 0},
        {",\n8\n4\n2\n", "F209", "", 0, 0, 0},
        {"3*\n8\n4\n2\n", "F209", "", 0, 0, 0},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE("file: " + c.conteudo);
        dados::entradas e;
        EXPECT_EQ(le([&] { e = dados::le_entradas(); }, "entradas.txt", c.conteudo), c.codigo);
        if (!c.codigo.empty()) continue;
        EXPECT_EQ(e.nome_caso, nome_preenchido(c.nome_caso));
        EXPECT_EQ(e.nvol_ksi, c.nvol_ksi);
        EXPECT_EQ(e.nvol_eta, c.nvol_eta);
        EXPECT_EQ(e.tipo_malha, c.tipo_malha);
    }
    std::string esperado;
    for (std::size_t k = 0; k < casos.size(); ++k)
        esperado += "/c|notepad entradas.txt\n";
    EXPECT_EQ(log(), esperado);
}

TEST_F(DadosLeitores, ArquivoDeParametros) {
    struct caso {
        std::string conteudo, codigo;
        std::int32_t niter_solver, niter;
        double dksi, deta;
        std::int32_t tipo_p, tipo_q;
    };
    const std::vector<caso> casos = {
        {"10\n20\n0.001\n0.5\n0.25\n2\n1\n", "", 10, 20, 0.5, 0.25, 2, 1},
        {"10 sweeps\r\n\r\n20\r\n,\r\n5E-1\r\n2.5e-1\r\n2\r\n2", "", 10, 20, 0.5, 0.25, 2, 2},
        {"10\n20\n0.001\n0.5\n0.25\n2\n", "F201", 10, 20, 0.5, 0.25, 2, 0},
        {"10\n20\nabc\n0.5\n0.25\n2\n1\n", "F204", 10, 20, 0.0, 0.0, 0, 0},
        {"10\n20\n0.001\n1e400\n0.25\n2\n1\n", "F205", 10, 20, 0.0, 0.0, 0, 0},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE("file: " + c.conteudo);
        dados::eq_elipticas p;
        EXPECT_EQ(le([&] { p = dados::le_entrada_eq_elipticas(); }, "entrada_eq_elipticas.txt", c.conteudo),
                  c.codigo);
        if (!c.codigo.empty()) continue;
        EXPECT_EQ(p.niter_solver, c.niter_solver);
        EXPECT_EQ(p.niter, c.niter);
        EXPECT_EQ(p.dksi, c.dksi);
        EXPECT_EQ(p.deta, c.deta);
        EXPECT_EQ(p.tipo_p, c.tipo_p);
        EXPECT_EQ(p.tipo_q, c.tipo_q);
    }
    EXPECT_EQ(log().substr(0, 37), "/c|notepad entrada_eq_elipticas.txt\n/");
}

TEST_F(DadosLeitores, ArquivoQueFaltaECriadoVazioDepoisDoEditor) {
    using leitor_arquivo = std::pair<std::function<void()>, std::string>;
    for (const auto& [leitor, arquivo] :
         {leitor_arquivo{[] { dados::le_entradas(); }, "entradas.txt"},
          leitor_arquivo{[] { dados::le_entrada_eq_elipticas(); }, "entrada_eq_elipticas.txt"}}) {
        try {
            leitor();
            ADD_FAILURE() << "no error raised";
        } catch (const tempo_execucao::erro_execucao& e) {
            EXPECT_EQ(e.codigo() + " " + e.instrucao() + " " + e.mensagem(),
                      "F201 READ (" + arquivo + ") end of file");
        }
        EXPECT_EQ(apoio::le_arquivo(arquivo), "");
    }
    EXPECT_EQ(log(), "/c|notepad entradas.txt\n/c|notepad entrada_eq_elipticas.txt\n");
}

// The file is opened only once the editor has returned, so the values read
// are those it left. The editor is a POSIX shell script; on Windows the
// launcher's wait is checked by Comando.EsperaOInterpretadorTerminar.
TEST_F(DadosLeitores, ValoresSaoOsDeixadosPeloEditor) {
    if (apoio::em_windows) GTEST_SKIP() << "the stand-in editor is a POSIX shell script";
    const auto editor = pasta_ / "editor.sh";
    apoio::grava_arquivo(editor,
                         "#!/bin/sh\n"
                         "sleep 0.2\n"
                         "printf 'editado\\r\\n3\\r\\n5\\r\\n1\\r\\n' > entradas.txt\n");
    std::filesystem::permissions(editor, std::filesystem::perms::owner_all);
    ambiente comspec("COMSPEC", editor.string());
    apoio::grava_arquivo("entradas.txt", "antigo\n1\n1\n1\n");
    const dados::entradas e = dados::le_entradas();
    EXPECT_EQ(e.nome_caso, nome_preenchido("editado"));
    EXPECT_EQ(e.nvol_eta, 5);
}

TEST_F(DadosLeitores, FalhaDoEditorEIgnoradaEPastaNaoSeAbre) {
    for (const auto& [interpretador, saida] : std::vector<std::pair<std::string, std::optional<std::string>>>{
             {MALHAS_INTERPRETADOR_FALSO, "3"}, {(pasta_ / "nao_ha").string(), std::nullopt}}) {
        ambiente comspec("COMSPEC", interpretador);
        ambiente codigo("MALHAS_SAIDA", saida);
        dados::entradas e;
        EXPECT_EQ(le([&] { e = dados::le_entradas(); }, "entradas.txt", "teste\n8\n4\n2\n"), "");
        EXPECT_EQ(e.nvol_eta, 4);
    }
    std::filesystem::remove("entradas.txt");
    std::filesystem::create_directory("entradas.txt");
    try {
        dados::le_entradas();
        ADD_FAILURE() << "no error raised";
    } catch (const tempo_execucao::erro_execucao& e) {
        EXPECT_EQ(e.codigo() + " " + e.instrucao(), "F101 OPEN (entradas.txt)");
    }
}

}  // namespace
