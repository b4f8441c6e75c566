// The command launcher, seen by a stand-in interpreter and by stand-in
// programs on PATH; and the quoting of file names in viewer commands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "dados/executa_comando.hpp"

namespace {

using apoio::le_arquivo;
using apoio::pasta_temporaria;

using variavel = apoio::variavel_ambiente;

std::int32_t executa(const std::string& texto) {
    return dados::executa_comando(texto.data(), static_cast<std::int32_t>(texto.size()));
}

TEST(Comando, InterpretadorDeComspecRecebeBarraCEOComando) {
    pasta_temporaria p;
    const std::string log = (p / "log").string();
    variavel comspec("COMSPEC", MALHAS_INTERPRETADOR_FALSO), registro("MALHAS_LOG", log),
        saida("MALHAS_SAIDA", "0");
    struct caso {
        std::string texto;
        std::int32_t comprimento;
        std::string registrado;  // empty: nothing may run
        std::int32_t resultado;
    };
    const std::string longo(1024, 'a'), longo_demais(1025, 'a');
    const caso casos[] = {
        {"notepad entradas.txt", 20, "/c|notepad entradas.txt\n", 0},
        {"notepad duto.txt" + std::string(112, ' '), 128, "/c|notepad duto.txt\n", 0},
        {"notepad caso 1.txt   ", 21, "/c|notepad caso 1.txt\n", 0},
        {"wgnuplot malha.gnu and more", 18, "/c|wgnuplot malha.gnu\n", 0},
        {longo + "   ", 1027, "/c|" + longo + "\n", 0},
        {longo_demais, 1025, "", -1},
    };
    for (const auto& c : casos) {
        std::remove(log.c_str());
        EXPECT_EQ(dados::executa_comando(c.texto.data(), c.comprimento), c.resultado);
        if (c.registrado.empty())
            EXPECT_FALSE(apoio::existe(log));
        else
            EXPECT_EQ(le_arquivo(log), c.registrado);
    }
}

TEST(Comando, CodigoDeSaidaDoInterpretadorVolta) {
    pasta_temporaria p;
    variavel comspec("COMSPEC", MALHAS_INTERPRETADOR_FALSO), registro("MALHAS_LOG", (p / "log").string());
    // A Windows exit code is 32 bits wide and comes back whole (0xC0000005
    // is what a crashed program leaves); a POSIX parent sees 8 bits only.
    std::vector<std::int32_t> codigos = {0, 1, 3, 77};
    if (apoio::em_windows)
        codigos.insert(codigos.end(), {300, 70000, static_cast<std::int32_t>(0xC0000005u)});
    for (std::int32_t codigo : codigos) {
        variavel saida("MALHAS_SAIDA", std::to_string(codigo));
        EXPECT_EQ(executa("notepad x.txt"), codigo);
    }
}

TEST(Comando, EsperaOInterpretadorTerminar) {
    // The stand-in sleeps before it logs: a launcher that returned before the
    // command ended would find no log yet.
    pasta_temporaria p;
    const std::string log = (p / "log").string();
    variavel comspec("COMSPEC", MALHAS_INTERPRETADOR_FALSO), registro("MALHAS_LOG", log),
        espera("MALHAS_ESPERA_MS", "300"), saida("MALHAS_SAIDA", "4");
    EXPECT_EQ(executa("notepad entradas.txt"), 4);
    EXPECT_EQ(le_arquivo(log), "/c|notepad entradas.txt\n");
}

TEST(Comando, NadaRodaQuandoOInterpretadorNaoPodeSerIniciado) {
    pasta_temporaria p;
    {
        variavel comspec("COMSPEC", (p / "no-such-interpreter").string());
        EXPECT_EQ(executa("notepad entradas.txt"), -1);
    }
    {
        // COMSPEC longer than 260 characters: nothing runs, even a program that exists.
        const std::string caminho = (p / std::string(255, 'c')).string();
        ASSERT_GT(caminho.size(), 260u);
        variavel comspec("COMSPEC", caminho);
        EXPECT_EQ(executa("notepad entradas.txt"), -1);
    }
}

TEST(Comando, SemComspecRodaOInterpretadorDaPlataforma) {
    if (apoio::em_windows) {
        // cmd.exe itself, on a command that starts no program: "exit n" ends
        // the interpreter with code n.
        variavel sem("COMSPEC", std::nullopt);
        EXPECT_EQ(executa("exit 7"), 7);
        variavel vazio("COMSPEC", "");  // empty counts as unset
        EXPECT_EQ(executa("exit 300   "), 300);
        return;
    }
    // The POSIX shell, on a stand-in editor that records its arguments and
    // fails with code 5.
    pasta_temporaria p;
    std::filesystem::create_directory(p / "bin");
    apoio::grava_arquivo(p / "bin" / "notepad", "#!/bin/sh\nprintf '%s|' \"$@\" >> \"" +
                                                    (p / "log").string() + "\"\necho >> \"" +
                                                    (p / "log").string() + "\"\nexit 5\n");
    std::filesystem::permissions(p / "bin" / "notepad", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    variavel caminho("PATH", (p / "bin").string() + ":" + (path ? path : "/usr/bin:/bin"));
    {
        variavel sem("COMSPEC", std::nullopt);
        EXPECT_EQ(executa("notepad caso 1.txt"), 5);
    }
    {
        variavel vazio("COMSPEC", "");  // empty counts as unset
        EXPECT_EQ(executa("notepad entradas.txt"), 5);
    }
    EXPECT_EQ(le_arquivo(p / "log"), "caso|1.txt|\nentradas.txt|\n");
}

TEST(Comando, NomesComunsFicamComoEstaoOsOutrosSaoCitados) {
    struct caso {
        std::string nome;
        std::string para_sh;
        std::string para_cmd;
    };
    const caso casos[] = {
        {"caso 1.txt", "caso 1.txt", "caso 1.txt"},
        {"casos/duto-2_b.txt", "casos/duto-2_b.txt", "casos/duto-2_b.txt"},
        {"C:\\casos\\malha_\xE7\xE3o.txt", "'C:\\casos\\malha_\xE7\xE3o.txt'",
         "C:\\casos\\malha_\xE7\xE3o.txt"},
        {"abc\\.txt", "'abc\\.txt'", "abc\\.txt"},
        {"a&b.txt", "'a&b.txt'", "\"a&b.txt\""},
        {"a;rm x.txt", "'a;rm x.txt'", "\"a;rm x.txt\""},
        {"it's.txt", "'it'\\''s.txt'", "\"it's.txt\""},
        {"$(touch x).txt", "'$(touch x).txt'", "\"$(touch x).txt\""},
        {"%PATH%.txt", "'%PATH%.txt'", "\"\"^%\"PATH\"^%\".txt\""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        {
            variavel comspec("COMSPEC", "cmd.exe");
            EXPECT_EQ(dados::nome_para_comando(c.nome), c.para_cmd);
        }
        // Without COMSPEC Windows still runs cmd.exe.
        variavel sem("COMSPEC", std::nullopt);
        EXPECT_EQ(dados::nome_para_comando(c.nome), apoio::em_windows ? c.para_cmd : c.para_sh);
    }
}

}  // namespace
