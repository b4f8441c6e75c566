// Every allocation of a run refused in turn, through the real programs. A
// stand-in allocator (alocador_falho.cpp), put in front of the C library with
// LD_PRELOAD, refuses the N-th allocation after main starts, or every one
// from the N-th on, for every N that a run makes, threads and library code
// included.
//
// malhas_segmentos, in a folder holding an earlier run's results, must then
// either end normally with the files of a run that was refused nothing, or
// end with the F501 report naming what was being allocated, every earlier
// result file byte for byte as it was and no file created. malhas_qualidade
// must print the summary of a normal run, or end with status 1 and a message
// of insufficient memory. Neither may die by a signal (abort included).
//
// Linux with glibc only, and not under the sanitizers, whose own allocator
// stands in front of the C library's.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "apoio.hpp"

namespace {

using apoio::le_arquivo;
using apoio::pasta_temporaria;

struct contagem {
    int execucoes = 0, saidas_0 = 0, saidas_1 = 0, sinais = 0;
};

// The environment of a run under the stand-in allocator. COMSPEC names no
// program, so no editor or viewer is started and a run takes milliseconds.
std::map<std::string, std::string> ambiente_falho(unsigned long long n, bool todas, int linhas,
                                                  const std::string& contagem_em = "") {
    return {{"LD_PRELOAD", MALHAS_ALOCADOR_FALHO},
            {"MALHAS_FALHA_ALOCACAO", std::to_string(n)},
            {"MALHAS_FALHA_ALOCACAO_TODAS", todas ? "1" : ""},
            {"MALHAS_CONTA_ALOCACOES", contagem_em},
            {"MALHAS_LINHAS_EXECUCAO", std::to_string(linhas)},
            {"COMSPEC", "/nenhum/interpretador"}};
}

// The allocations a run makes when none is refused, and its results.
unsigned long long conta_alocacoes(const std::string& programa, const pasta_temporaria& p, int linhas,
                                   apoio::resultado_execucao& r) {
    const auto arquivo = p / ".contagem";
    r = apoio::executa(programa, p.caminho(), ambiente_falho(0, false, linhas, arquivo.string()));
    const unsigned long long total = std::stoull(le_arquivo(arquivo));
    std::filesystem::remove(arquivo);
    return total;
}

std::set<std::string> nomes_na_pasta(const pasta_temporaria& p) {
    std::set<std::string> nomes;
    for (const auto& e : std::filesystem::directory_iterator(p.caminho()))
        nomes.insert(e.path().filename().string());
    return nomes;
}

void mostra(const char* titulo, const contagem& c) {
    std::printf("%s: %d runs, %d exit 0, %d exit 1, %d signals\n", titulo, c.execucoes, c.saidas_0,
                c.saidas_1, c.sinais);
}

// ---------------------------------------------------------------------------
// malhas_segmentos

struct caso_malha {
    const char* nome;
    int nvol_ksi, nvol_eta, tipo_malha;
    int linhas;  // MALHAS_LINHAS_EXECUCAO
};

// With 4 threads, 4000 volumes make two blocks of outline lines, so a
// helper formats one of them, and 17 sweeps of 3871 interior vertices are
// enough work per call to share the sweeps between the pool's helpers.
const caso_malha casos_malha[] = {
    {"kind 1, one thread", 80, 50, 1, 1},
    {"kind 1, four threads", 80, 50, 1, 4},
    {"kind 2, one thread", 80, 50, 2, 1},
    {"kind 2, four threads", 80, 50, 2, 4},
};

// Refusing every allocation from the N-th on takes the same report path for
// every N, and the same fallbacks for every N past the point where they
// start: every third N is enough there, and keeps the suite quick.
constexpr unsigned long long passo_todas = 3;

const char* const resultados[] = {"caso.txt", "malha.txt", "caso_vert.txt"};

void varre_malhas(const caso_malha& c) {
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "caso", c.nvol_ksi, c.nvol_eta, c.tipo_malha,
                          apoio::texto_parametros(17, 1, "1.0", "1.3"));
    apoio::resultado_execucao normal;
    const unsigned long long total = conta_alocacoes(MALHAS_EXECUTAVEL, p, c.linhas, normal);
    ASSERT_EQ(normal.status, 0) << normal.erro;
    std::map<std::string, std::string> esperado;
    for (const char* r : resultados)
        esperado[r] = le_arquivo(p / r);

    // The earlier run's results: short, so that any write shows.
    std::map<std::string, std::string> antigo;
    for (const char* r : resultados)
        antigo[r] = std::string("earlier ") + r + "\r\n";
    const std::string inicio = "\r\nrun-time error F501: ALLOCATE (";
    const std::string fim = ")\r\n- insufficient memory\r\n";

    contagem n;
    for (const bool todas : {false, true}) {
        for (unsigned long long k = 1; k <= total + 1; k += todas ? passo_todas : 1) {
            SCOPED_TRACE(testing::Message()
                         << c.nome << (todas ? ", every allocation from " : ", allocation ") << k << " of "
                         << total);
            for (const char* r : resultados)
                apoio::grava_arquivo(p / r, antigo[r]);
            const std::set<std::string> antes = nomes_na_pasta(p);
            const auto r = apoio::executa(MALHAS_EXECUTAVEL, p.caminho(), ambiente_falho(k, todas, c.linhas));
            ++n.execucoes;
            if (r.sinal != 0) ++n.sinais;
            ASSERT_EQ(r.sinal, 0);
            ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status;
            EXPECT_EQ(nomes_na_pasta(p), antes);
            if (r.status == 0) {
                ++n.saidas_0;
                EXPECT_EQ(r.erro, "");
                for (const char* a : resultados)
                    ASSERT_EQ(le_arquivo(p / a), esperado[a]) << a;
                continue;
            }
            ++n.saidas_1;
            // Named: an array or a part of the writing, never the fallback
            // of an allocation that no code named.
            const bool forma = r.erro.size() > inicio.size() + fim.size() && r.erro.rfind(inicio, 0) == 0 &&
                               r.erro.compare(r.erro.size() - fim.size(), fim.size(), fim) == 0;
            ASSERT_TRUE(forma) << r.erro;
            const std::string nome = r.erro.substr(inicio.size(), r.erro.size() - inicio.size() - fim.size());
            EXPECT_NE(nome, "working memory");
            for (const char* a : resultados)
                ASSERT_EQ(le_arquivo(p / a), antigo[a]) << a;
        }
    }
    mostra(c.nome, n);
    EXPECT_GT(n.saidas_1, 0);
}

TEST(Alocacao, MalhasSegmentosTipo1UmaLinha) {
    varre_malhas(casos_malha[0]);
}
TEST(Alocacao, MalhasSegmentosTipo1QuatroLinhas) {
    varre_malhas(casos_malha[1]);
}
TEST(Alocacao, MalhasSegmentosTipo2UmaLinha) {
    varre_malhas(casos_malha[2]);
}
TEST(Alocacao, MalhasSegmentosTipo2QuatroLinhas) {
    varre_malhas(casos_malha[3]);
}

// ---------------------------------------------------------------------------
// malhas_qualidade, on the results of a small smoothed mesh (the residual
// is computed too). It writes nothing but its summary here.

TEST(Alocacao, MalhasQualidade) {
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "caso", 8, 6, 2, apoio::texto_parametros(5, 2));
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    apoio::resultado_execucao normal;
    const unsigned long long total = conta_alocacoes(MALHAS_QUALIDADE_EXECUTAVEL, p, 1, normal);
    ASSERT_EQ(normal.status, 0) << normal.erro;
    const std::set<std::string> arquivos = nomes_na_pasta(p);

    const std::string sem_memoria = "insufficient memory", recusa_do_sistema = std::strerror(ENOMEM);
    contagem n;
    for (const bool todas : {false, true}) {
        for (unsigned long long k = 1; k <= total + 1; ++k) {
            SCOPED_TRACE(testing::Message()
                         << (todas ? "every allocation from " : "allocation ") << k << " of " << total);
            const auto r =
                apoio::executa(MALHAS_QUALIDADE_EXECUTAVEL, p.caminho(), ambiente_falho(k, todas, 1));
            ++n.execucoes;
            if (r.sinal != 0) ++n.sinais;
            ASSERT_EQ(r.sinal, 0);
            EXPECT_EQ(nomes_na_pasta(p), arquivos);
            if (r.status == 0) {
                ++n.saidas_0;
                EXPECT_EQ(r.saida, normal.saida);
                continue;
            }
            ++n.saidas_1;
            ASSERT_EQ(r.status, 1);
            // The program's own message, or the system's reason for a file
            // it could not open for want of memory.
            EXPECT_EQ(r.erro.rfind("malhas_qualidade: ", 0), 0u) << r.erro;
            EXPECT_TRUE(r.erro.find(sem_memoria) != std::string::npos ||
                        r.erro.find(recusa_do_sistema) != std::string::npos)
                << r.erro;
        }
    }
    mostra("malhas_qualidade", n);
    EXPECT_GT(n.saidas_1, 0);
}

}  // namespace
