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

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// ---------------------------------------------------------------------------
// malhas_qualidade's exports, each run with an older export in its place:
// whatever allocation is refused, the run ends with the new export whole or
// with status 1 and the older one byte for byte as it was, no hidden
// temporary left anywhere in the case, never by a signal. --openfoam in a
// case without system files also leaves those whole or none of them.
//
// Every N is refused in turn, once and from N on, where
// MALHAS_VARREDURA_COMPLETA=1; the suite takes every passo_amostra-th N
// from an offset that changes from case to case and from the one mode to
// the other, which reaches every part of a run in a few seconds.

constexpr unsigned long long passo_amostra = 6;

struct contagem_exportacao {
    int execucoes = 0, saidas_0 = 0, saidas_1 = 0, sinais = 0, temporarios = 0;
    int substituidas = 0;  // failed runs that failed after the new export was whole
    int estragadas = 0;    // neither the older export nor the whole new one
};

// The hidden temporaries the program makes, anywhere under the folder.
int temporarios_em(const std::filesystem::path& pasta) {
    int n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(pasta)) {
        const std::string nome = e.path().filename().string();
        if (nome.size() > 5 && nome[0] == '.' && nome.ends_with(".tmp")) ++n;
    }
    return n;
}

// The bytes of every file under the folder, by their path in it; the
// history table's column of the time taken left out.
std::map<std::string, std::string> conteudo(const std::filesystem::path& pasta) {
    std::map<std::string, std::string> c;
    if (!std::filesystem::exists(pasta)) return c;
    for (const auto& e : std::filesystem::recursive_directory_iterator(pasta)) {
        if (!e.is_regular_file()) continue;
        std::string bytes = le_arquivo(e.path());
        if (e.path().extension() == ".csv") {
            std::string sem_tempo;
            std::ptrdiff_t coluna = -1;
            for (std::size_t k = 0; k < bytes.size();) {
                const std::size_t fim = bytes.find('\n', k);
                std::string linha = bytes.substr(k, fim - k);
                std::vector<std::string> campos;
                for (std::size_t a = 0;;) {
                    const std::size_t b = linha.find(',', a);
                    campos.push_back(linha.substr(a, b - a));
                    if (b == std::string::npos) break;
                    a = b + 1;
                }
                if (coluna < 0) coluna = std::find(campos.begin(), campos.end(), "seconds") - campos.begin();
                if (coluna < static_cast<std::ptrdiff_t>(campos.size()))
                    campos.erase(campos.begin() + coluna);
                for (const std::string& campo : campos)
                    sem_tempo += campo + ",";
                sem_tempo += "\n";
                k = fim == std::string::npos ? bytes.size() : fim + 1;
            }
            bytes = sem_tempo;
        }
        c[std::filesystem::relative(e.path(), pasta).generic_string()] = bytes;
    }
    return c;
}

// The names whose bytes differ, for a short message.
std::string diferencas(const std::map<std::string, std::string>& a,
                       const std::map<std::string, std::string>& b) {
    std::string d;
    for (const auto& [nome, bytes] : a)
        if (b.count(nome) == 0 || b.at(nome) != bytes) d += nome + " ";
    for (const auto& e : b)
        if (a.count(e.first) == 0) d += e.first + " ";
    return d;
}

struct caso_exportacao {
    const char* nome;
    std::vector<std::string> argumentos;
    const char* saida;        // the file or folder the export replaces
    bool sistema_do_usuario;  // --openfoam: a case of the user's, with its own system files
};

const caso_exportacao casos_exportacao[] = {
    {"--svg", {"--svg", "m.svg"}, "m.svg", false},
    {"--historico .csv", {"--historico", "h.csv"}, "h.csv", false},
    {"--historico .svg", {"--historico", "h.svg"}, "h.svg", false},
    {"--openfoam, the user's case", {"--openfoam", "of"}, "of/constant/polyMesh", true},
    {"--openfoam, a new case", {"--openfoam", "of"}, "of/constant/polyMesh", false},
};

void varre_exportacao(const caso_exportacao& c, unsigned long long deslocamento) {
    namespace fs = std::filesystem;
    pasta_temporaria p;
    apoio::grava_entradas(p.caminho(), "caso", 8, 6, 2, apoio::texto_parametros(5, 3));
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    const fs::path saida = p / c.saida, sistema = p / "of" / "system";
    const bool openfoam = std::string(c.saida).starts_with("of/");
    // What a run may change: the case of --openfoam, else the whole folder.
    const fs::path raiz = openfoam ? p / "of" : p.caminho();
    // The older export (and the user's system files) put back before each run.
    auto prepara = [&] {
        if (openfoam) {
            fs::remove_all(p / "of");
            fs::create_directories(saida / "sets");
            apoio::grava_arquivo(saida / "points", "the older points");
            apoio::grava_arquivo(saida / "sets" / "a", "an older set");
            if (c.sistema_do_usuario) {
                fs::create_directories(sistema);
                apoio::grava_arquivo(sistema / "controlDict", "the user's own");
            }
        } else {
            apoio::grava_arquivo(saida, "an older export");
        }
    };
    // The normal run, with its count, and what it leaves.
    prepara();
    const auto arquivo_contagem = p / ".contagem";
    const auto r0 = apoio::executa(MALHAS_QUALIDADE_EXECUTAVEL, p.caminho(),
                                   ambiente_falho(0, false, 1, arquivo_contagem.string()), c.argumentos);
    ASSERT_EQ(r0.status, 0) << r0.erro;
    const unsigned long long alocacoes = std::stoull(le_arquivo(arquivo_contagem));
    fs::remove(arquivo_contagem);
    const auto novo = conteudo(raiz);
    prepara();
    const auto antigo = conteudo(raiz);
    // The system files of a new case go as a set: all of them or none.
    auto sem_sistema = [&](std::map<std::string, std::string> m) {
        if (!c.sistema_do_usuario)
            std::erase_if(m, [](const auto& e) { return e.first.starts_with("system/"); });
        return m;
    };

    const bool completa = std::getenv("MALHAS_VARREDURA_COMPLETA") != nullptr;
    contagem_exportacao n;
    for (const bool todas : {false, true}) {
        const unsigned long long passo = completa ? 1 : passo_amostra;
        const unsigned long long inicio = completa ? 1 : 1 + (deslocamento + (todas ? 2 : 0)) % passo;
        for (unsigned long long k = inicio; k <= alocacoes + 1; k += passo) {
            SCOPED_TRACE(testing::Message()
                         << c.nome << (todas ? ", every allocation from " : ", allocation ") << k << " of "
                         << alocacoes);
            prepara();
            const auto r = apoio::executa(MALHAS_QUALIDADE_EXECUTAVEL, p.caminho(),
                                          ambiente_falho(k, todas, 1), c.argumentos);
            ++n.execucoes;
            if (r.sinal != 0) ++n.sinais;
            const int temporarios = temporarios_em(p.caminho());
            n.temporarios += temporarios;
            EXPECT_EQ(r.sinal, 0);
            EXPECT_EQ(temporarios, 0);
            const auto depois = conteudo(raiz);
            if (!c.sistema_do_usuario && openfoam) {
                int sistema_escritos = 0;
                for (const char* f : {"system/controlDict", "system/fvSchemes", "system/fvSolution"})
                    if (depois.count(f) != 0) {
                        ++sistema_escritos;
                        EXPECT_EQ(depois.at(f), novo.at(f)) << f;
                    }
                EXPECT_TRUE(sistema_escritos == 0 || sistema_escritos == 3) << sistema_escritos;
            }
            if (r.status == 0) {
                ++n.saidas_0;
                EXPECT_EQ(diferencas(depois, novo), "");
                continue;
            }
            ++n.saidas_1;
            EXPECT_EQ(r.status, 1) << r.erro;
            EXPECT_TRUE(r.erro.find("insufficient memory") != std::string::npos ||
                        r.erro.find(std::strerror(ENOMEM)) != std::string::npos)
                << r.erro;
            // The older export as it was, or, when the run failed after it
            // was done, the whole new one; never a part of either.
            if (sem_sistema(depois) == sem_sistema(antigo)) continue;
            if (sem_sistema(depois) == sem_sistema(novo)) {
                ++n.substituidas;
                continue;
            }
            ++n.estragadas;
            ADD_FAILURE() << "changed: " << diferencas(depois, antigo) << r.erro;
        }
    }
    std::printf(
        "%s: %d runs (%llu allocations, %s): %d exit 0, %d exit 1, %d signals, %d temporaries left; "
        "the older export changed in %d, replaced whole by %d that failed later\n",
        c.nome, n.execucoes, alocacoes, completa ? "every N" : "a sample of N", n.saidas_0, n.saidas_1,
        n.sinais, n.temporarios, n.estragadas, n.substituidas);
    EXPECT_GT(n.saidas_1, 0);
}

TEST(AlocacaoExportacoes, Svg) {
    varre_exportacao(casos_exportacao[0], 0);
}
TEST(AlocacaoExportacoes, HistoricoCsv) {
    varre_exportacao(casos_exportacao[1], 1);
}
TEST(AlocacaoExportacoes, HistoricoSvg) {
    varre_exportacao(casos_exportacao[2], 2);
}
TEST(AlocacaoExportacoes, OpenfoamCasoDoUsuario) {
    varre_exportacao(casos_exportacao[3], 3);
}
TEST(AlocacaoExportacoes, OpenfoamCasoNovo) {
    varre_exportacao(casos_exportacao[4], 4);
}

}  // namespace
