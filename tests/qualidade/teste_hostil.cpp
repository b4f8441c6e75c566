// malhas_qualidade used as a hostile user would, through the real executable:
// planted links, FIFOs and device nodes where it writes or reads, outputs
// over its own inputs, resource limits, closed and full output streams,
// signals, concurrent runs, and bytes that would drive a terminal. Whatever
// happens, no file is destroyed, no run hangs or dies by a signal it could
// catch, and the exit status says what happened.
//
// The faults are made with POSIX calls, so these tests are built on POSIX
// systems only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "apoio.hpp"

namespace {

namespace fs = std::filesystem;
using apoio::le_arquivo;
using apoio::pasta_temporaria;

enum class destino_saida { arquivo, cheio, cano_fechado };

struct pedido {
    std::vector<std::string> argumentos;
    destino_saida saida = destino_saida::arquivo;
    std::optional<rlim_t> limite_arquivo{};  // RLIMIT_FSIZE, bytes
    std::function<void(pid_t)> durante{};    // called once the child runs
};

struct resultado {
    int status = -1;
    int sinal = 0;
    std::string saida, erro;
    double segundos = 0.0;
};

// Runs malhas_qualidade in the folder; a run that outlasts 60 s is killed, so
// a hang fails the test instead of stalling the suite.
resultado roda(const fs::path& pasta, const pedido& p) {
    const std::string nome_saida = (pasta / ".saida_hostil").string(),
                      nome_erro = (pasta / ".erro_hostil").string();
    std::vector<std::string> textos{MALHAS_QUALIDADE};
    textos.insert(textos.end(), p.argumentos.begin(), p.argumentos.end());
    std::vector<char*> argv;
    for (auto& t : textos)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    const std::string caminho_saida = p.saida == destino_saida::cheio ? "/dev/full" : nome_saida;
    const int fd_saida = ::open(caminho_saida.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int fd_erro = ::open(nome_erro.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int cano[2] = {-1, -1};
    if (p.saida == destino_saida::cano_fechado && ::pipe2(cano, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    const std::string dir = pasta.string();
    const auto inicio = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) _exit(120);
        ::dup2(p.saida == destino_saida::cano_fechado ? cano[1] : fd_saida, 1);
        ::dup2(fd_erro, 2);
        if (p.limite_arquivo) {
            const struct rlimit l = {*p.limite_arquivo, *p.limite_arquivo};
            ::setrlimit(RLIMIT_FSIZE, &l);
        }
        ::execv(argv[0], argv.data());
        _exit(121);
    }
    ::close(fd_saida);
    ::close(fd_erro);
    // The reader is gone before the child writes a byte.
    if (cano[0] >= 0) {
        ::close(cano[0]);
        ::close(cano[1]);
    }
    if (p.durante) p.durante(pid);
    int st = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &st, WNOHANG);
        if (r == pid) break;
        if (std::chrono::steady_clock::now() - inicio > std::chrono::seconds(60)) ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    resultado res;
    res.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    if (WIFEXITED(st)) res.status = WEXITSTATUS(st);
    if (WIFSIGNALED(st)) res.sinal = WTERMSIG(st);
    if (p.saida == destino_saida::arquivo) res.saida = le_arquivo(nome_saida);
    res.erro = le_arquivo(nome_erro);
    fs::remove(nome_saida);
    fs::remove(nome_erro);
    return res;
}

// A case folder with the result files of the given mesh.
void prepara_caso(const pasta_temporaria& p, int nvol_ksi, int nvol_eta, const std::string& dksi = "1.0") {
    apoio::grava_entradas(p.caminho(), "perfil_l", nvol_ksi, nvol_eta, 2,
                          apoio::texto_parametros(5, 10, dksi));
    const auto r = apoio::executa_malhas(p.caminho());
    ASSERT_EQ(r.status, 0) << r.erro;
}

// The temporary files this program makes: hidden, ending ".tmp".
std::vector<std::string> temporarios(const fs::path& pasta) {
    std::vector<std::string> t;
    for (const auto& e : fs::directory_iterator(pasta)) {
        const std::string n = e.path().filename().string();
        if (n.size() > 5 && n[0] == '.' && n.ends_with(".tmp")) t.push_back(n);
    }
    return t;
}

// What --csv writes for the folder's case, from a clean run elsewhere.
std::string csv_de_referencia(const pasta_temporaria& p) {
    pasta_temporaria limpa;
    fs::copy(p.caminho(), limpa.caminho(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const auto r = roda(limpa.caminho(), {{"--csv", "ref.csv"}});
    EXPECT_EQ(r.status, 0) << r.erro;
    return le_arquivo(limpa / "ref.csv");
}

struct caso_saida {
    const char* nome;
    std::function<void(const pasta_temporaria&)> prepara;
    std::vector<std::string> argumentos;
    int status;
    const char* trecho;  // in the error stream; empty: none expected
    std::function<void(const pasta_temporaria&, const std::string& csv)> confere;
};

TEST(QualidadeHostil, SaidasNaoDestroemNada) {
    pasta_temporaria base;
    prepara_caso(base, 12, 6);
    const std::string csv = csv_de_referencia(base);
    const std::string relatorio = le_arquivo(base / "perfil_l.txt");
    auto nada = [](const pasta_temporaria&) {};
    auto relatorio_intacto = [&](const pasta_temporaria& p, const std::string&) {
        EXPECT_EQ(le_arquivo(p / "perfil_l.txt"), relatorio);
    };
    const caso_saida casos[] = {
        {"link plantado no nome temporario antigo",
         [](const pasta_temporaria& p) { fs::create_symlink("perfil_l.txt", p / "o.csv.tmp"); },
         {"--csv", "o.csv"},
         0,
         "",
         [&](const pasta_temporaria& p, const std::string& c) {
             EXPECT_EQ(le_arquivo(p / "o.csv"), c);
             EXPECT_TRUE(fs::is_symlink(p / "o.csv.tmp"));
             relatorio_intacto(p, c);
         }},
        {"arquivo .tmp do usuario",
         [](const pasta_temporaria& p) { apoio::grava_arquivo(p / "notes.txt.tmp", "my notes"); },
         {"--csv", "notes.txt"},
         0,
         "",
         [](const pasta_temporaria& p, const std::string& c) {
             EXPECT_EQ(le_arquivo(p / "notes.txt.tmp"), "my notes");
             EXPECT_EQ(le_arquivo(p / "notes.txt"), c);
         }},
        {"FIFO no nome temporario antigo",
         [](const pasta_temporaria& p) { ASSERT_EQ(::mkfifo((p / "o.csv.tmp").c_str(), 0644), 0); },
         {"--csv", "o.csv"},
         0,
         "",
         [](const pasta_temporaria& p, const std::string& c) { EXPECT_EQ(le_arquivo(p / "o.csv"), c); }},
        {"saida X.tmp e saida X",
         nada,
         {"--csv", "X.tmp", "--vtk", "X"},
         0,
         "",
         [](const pasta_temporaria& p, const std::string& c) {
             EXPECT_EQ(le_arquivo(p / "X.tmp"), c);
             EXPECT_EQ(le_arquivo(p / "X").rfind("<?xml", 0), 0u);
         }},
        {"link para outro arquivo: o alvo e substituido, o link fica",
         [](const pasta_temporaria& p) {
             apoio::grava_arquivo(p / "real.csv", "old");
             fs::create_symlink("real.csv", p / "l.csv");
         },
         {"--csv", "l.csv"},
         0,
         "",
         [](const pasta_temporaria& p, const std::string& c) {
             EXPECT_TRUE(fs::is_symlink(p / "l.csv"));
             EXPECT_EQ(le_arquivo(p / "real.csv"), c);
         }},
        {"link para o relatorio",
         [](const pasta_temporaria& p) { fs::create_symlink("perfil_l.txt", p / "l.csv"); },
         {"--csv", "l.csv"},
         2,
         "would overwrite the case's file",
         relatorio_intacto},
        {"link pendurado para o relatorio de outra grafia",
         [](const pasta_temporaria& p) { fs::create_symlink("./sub/../perfil_l.txt", p / "l.csv"); },
         {"--csv", "l.csv"},
         2,
         "would overwrite the case's file",
         relatorio_intacto},
        {"hard link para o relatorio",
         [](const pasta_temporaria& p) { fs::create_hard_link(p / "perfil_l.txt", p / "h.csv"); },
         {"--csv", "h.csv"},
         2,
         "would overwrite the case's file",
         relatorio_intacto},
        {"relatorio por ..",
         [](const pasta_temporaria& p) { fs::create_directory(p / "sub"); },
         {"--vtk", "sub/../perfil_l_vert.txt"},
         2,
         "would overwrite the case's file",
         relatorio_intacto},
        {"duas saidas no mesmo arquivo por link",
         [](const pasta_temporaria& p) { fs::create_symlink("a.csv", p / "b.vts"); },
         {"--csv", "a.csv", "--vtk", "b.vts"},
         2,
         "name the same file",
         relatorio_intacto},
        {"pasta como saida",
         [](const pasta_temporaria& p) { fs::create_directory(p / "d.csv"); },
         {"--csv", "d.csv"},
         1,
         "not a regular file",
         [](const pasta_temporaria& p, const std::string&) { EXPECT_TRUE(fs::is_directory(p / "d.csv")); }},
        {"FIFO como saida",
         [](const pasta_temporaria& p) { ASSERT_EQ(::mkfifo((p / "f.csv").c_str(), 0644), 0); },
         {"--csv", "f.csv"},
         1,
         "not a regular file",
         [](const pasta_temporaria& p, const std::string&) { EXPECT_TRUE(fs::is_fifo(p / "f.csv")); }},
        {"pasta de saida inexistente",
         nada,
         {"--msh", "nao/existe.msh"},
         1,
         "existe.msh: cannot write",
         relatorio_intacto},
        {"nome de 250 bytes, valido no sistema de arquivos",
         nada,
         {"--csv", std::string(246, 'n') + ".csv"},
         0,
         "",
         [](const pasta_temporaria& p, const std::string& c) {
             EXPECT_EQ(le_arquivo(p / (std::string(246, 'n') + ".csv")), c);
         }},
        {"-- termina as opcoes",
         [](const pasta_temporaria& p) {
             fs::create_directory(p / "-caso");
             for (const char* f :
                  {"entradas.txt", "entrada_eq_elipticas.txt", "perfil_l.txt", "perfil_l_vert.txt"})
                 fs::copy_file(p / f, p / "-caso" / f);
         },
         {"--csv", "o.csv", "--", "-caso"},
         0,
         "",
         [](const pasta_temporaria& p, const std::string& c) { EXPECT_EQ(le_arquivo(p / "o.csv"), c); }},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        fs::copy(base.caminho(), p.caminho(), fs::copy_options::recursive);
        c.prepara(p);
        const auto antes = temporarios(p.caminho());
        const auto r = roda(p.caminho(), {c.argumentos});
        EXPECT_EQ(r.sinal, 0);
        EXPECT_EQ(r.status, c.status) << r.erro;
        if (*c.trecho) {
            EXPECT_NE(r.erro.find(c.trecho), std::string::npos) << r.erro;
        }
        EXPECT_LT(r.segundos, 30.0);
        EXPECT_EQ(temporarios(p.caminho()), antes);
        c.confere(p, csv);
    }
}

TEST(QualidadeHostil, DispositivoComoSaidaERecusado) {
    pasta_temporaria p;
    prepara_caso(p, 8, 4);
    // The null device's numbers; making a device node needs root.
    if (::mknod((p / "dev.csv").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "mknod needs root";
    fs::create_symlink("dev.csv", p / "l.vts");
    for (const char* saida : {"dev.csv", "l.vts"}) {
        SCOPED_TRACE(saida);
        const auto r = roda(p.caminho(), {{"--csv", saida}});
        EXPECT_EQ(r.status, 1) << r.erro;
        EXPECT_NE(r.erro.find("not a regular file"), std::string::npos) << r.erro;
        EXPECT_TRUE(fs::is_character_file(p / "dev.csv"));
        EXPECT_TRUE(fs::is_symlink(p / "l.vts"));
    }
}

// Whatever stops a run, an older export stays as it was, no temporary file
// stays behind, and the status says why: 1 for a failure, 128 + the signal
// for an interruption.
TEST(QualidadeHostil, FalhasDeEscritaEInterrupcoes) {
    pasta_temporaria grande;
    prepara_caso(grande, 600, 300);
    struct caso {
        const char* nome;
        pedido execucao;
        int status;
        const char* trecho;
    };
    // Stops the run once it is writing its temporary file, or lets it end.
    auto interrompe_com = [&](int sinal) {
        return [&, sinal](pid_t pid) {
            const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (temporarios(grande.caminho()).empty() && std::chrono::steady_clock::now() < limite)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            ::kill(pid, sinal);
        };
    };
    const caso casos[] = {
        {"limite de tamanho de arquivo",
         {{"--csv", "o.csv"}, destino_saida::arquivo, 200000, {}},
         1,
         "o.csv: cannot write: File too large"},
        {"saida padrao cheia", {{}, destino_saida::cheio, {}, {}}, 1, "standard output: cannot write"},
        {"ajuda na saida padrao cheia",
         {{"--help"}, destino_saida::cheio, {}, {}},
         1,
         "standard output: cannot write"},
        {"saida padrao um cano fechado",
         {{}, destino_saida::cano_fechado, {}, {}},
         1,
         "standard output: cannot write"},
        {"SIGINT ao exportar",
         {{"--csv", "o.csv"}, destino_saida::arquivo, {}, interrompe_com(SIGINT)},
         130,
         ""},
        {"SIGTERM ao exportar",
         {{"--vtk", "o.csv"}, destino_saida::arquivo, {}, interrompe_com(SIGTERM)},
         143,
         ""},
        {"SIGHUP ao exportar",
         {{"--msh", "o.csv"}, destino_saida::arquivo, {}, interrompe_com(SIGHUP)},
         129,
         ""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        apoio::grava_arquivo(grande / "o.csv", "an older export");
        const auto r = roda(grande.caminho(), c.execucao);
        EXPECT_EQ(r.sinal, 0);
        // An interruption that came after the run ended has nothing to show.
        if (c.status >= 128 && r.status == 0) continue;
        EXPECT_EQ(r.status, c.status) << r.erro;
        if (*c.trecho) {
            EXPECT_NE(r.erro.find(c.trecho), std::string::npos) << r.erro;
        }
        EXPECT_EQ(le_arquivo(grande / "o.csv"), "an older export");
        EXPECT_TRUE(temporarios(grande.caminho()).empty());
    }
}

// Inputs that are not regular files are refused at once, never waited for;
// result files that a run of malhas_segmentos holds are named as such.
TEST(QualidadeHostil, EntradasQueNaoSaoArquivosOuEstaoSendoEscritas) {
    const char* entradas[] = {"entradas.txt", "entrada_eq_elipticas.txt", "perfil_l.txt",
                              "perfil_l_vert.txt"};
    for (const char* entrada : entradas) {
        SCOPED_TRACE(entrada);
        pasta_temporaria p;
        prepara_caso(p, 8, 4);
        fs::remove(p / entrada);
        ASSERT_EQ(::mkfifo((p / entrada).c_str(), 0644), 0);
        const auto r = roda(p.caminho(), {});
        EXPECT_EQ(r.status, 1) << r.erro;
        EXPECT_NE(r.erro.find(std::string(entrada) + ": cannot open: not a regular file"), std::string::npos)
            << r.erro;
        EXPECT_LT(r.segundos, 10.0);
    }
    for (const char* resultado : {"perfil_l.txt", "perfil_l_vert.txt"}) {
        SCOPED_TRACE(resultado);
        pasta_temporaria p;
        prepara_caso(p, 8, 4);
        const apoio::arquivo_travado escritor(p / resultado);
        const auto r = roda(p.caminho(), {});
        EXPECT_EQ(r.status, 1) << r.erro;
        EXPECT_NE(r.erro.find(std::string(resultado) + ": malhas_segmentos is writing it"), std::string::npos)
            << r.erro;
    }
}

// Two runs exporting two different meshes to one name at once: the file left
// is one run's whole output, never a mixture.
TEST(QualidadeHostil, DuasExportacoesAoMesmoNome) {
    pasta_temporaria a, b, destino;
    prepara_caso(a, 300, 150);
    prepara_caso(b, 200, 100);
    const std::string saida = (destino / "o.csv").string();
    const std::string csv_a = (roda(a.caminho(), {{"--csv", "ref.csv"}}), le_arquivo(a / "ref.csv"));
    const std::string csv_b = (roda(b.caminho(), {{"--csv", "ref.csv"}}), le_arquivo(b / "ref.csv"));
    for (int vez = 0; vez < 4; ++vez) {
        SCOPED_TRACE(vez);
        resultado rb;
        std::thread outra([&] { rb = roda(b.caminho(), {{"--csv", saida}}); });
        const auto ra = roda(a.caminho(), {{"--csv", saida}});
        outra.join();
        EXPECT_EQ(ra.status, 0) << ra.erro;
        EXPECT_EQ(rb.status, 0) << rb.erro;
        const std::string final = le_arquivo(saida);
        EXPECT_TRUE(final == csv_a || final == csv_b) << final.size() << " bytes";
        EXPECT_TRUE(temporarios(destino.caminho()).empty());
    }
}

// Numbers the summary cannot stand behind, and bytes that would drive a
// terminal, never reach the user as a verdict or as themselves.
TEST(QualidadeHostil, ResumoSemVereditoSemSustentoESemEscapes) {
    for (const char* dksi : {"0.0", "1e-300"}) {
        SCOPED_TRACE(dksi);
        pasta_temporaria p;
        prepara_caso(p, 12, 6);
        apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", apoio::texto_parametros(5, 10, dksi));
        const auto r = roda(p.caminho(), {});
        EXPECT_EQ(r.status, 4) << r.erro;
        EXPECT_NE(r.saida.find("no verdict: the residual is undefined at 55 of 55 interior vertices"),
                  std::string::npos)
            << r.saida;
        EXPECT_EQ(r.saida.find("settled"), std::string::npos) << r.saida;
        EXPECT_EQ(r.saida.find("max 0 at -"), std::string::npos) << r.saida;
    }
    pasta_temporaria p;
    const std::string nome =
        "a\x1b]0;PWNED\x07\x9b"
        "2Jb";
    apoio::grava_arquivo(p / "entradas.txt", "'" + nome + "'\r\n8\r\n4\r\n1\r\n");
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    // A folder of that name whose case file now asks for another mesh: the
    // note that says so names the folder.
    fs::create_directory(p / nome);
    for (const std::string& f : {nome + ".txt", nome + "_vert.txt"})
        fs::copy_file(p / f, p / nome / f);
    apoio::grava_arquivo(p / nome / "entradas.txt", "'" + nome + "'\r\n9\r\n4\r\n1\r\n");
    for (const pedido& q : {pedido{{}}, pedido{{"--csv", "x/" + nome}}, pedido{{nome}}}) {
        const auto r = roda(p.caminho(), q);
        for (const std::string* texto : {&r.saida, &r.erro}) {
            for (char c : std::string("\x1b\x07\x9b"))
                EXPECT_EQ(texto->find(c), std::string::npos) << *texto;
        }
        EXPECT_NE((r.saida + r.erro).find("a?]0;PWNED??2Jb"), std::string::npos) << r.saida << r.erro;
        if (q.argumentos.size() == 1) {
            EXPECT_NE(r.erro.find("a?]0;PWNED??2Jb/entradas.txt now asks for 9 x 4 volumes"),
                      std::string::npos)
                << r.erro;
        }
    }
}

// --openfoam replaces constant/polyMesh only once the new one is whole: a
// file-size limit or an interruption while it is written leaves the old one
// as it was, and neither the new folder nor any file of it behind.
TEST(QualidadeHostil, OpenfoamInterrompidoDeixaOPolyMeshAntigo) {
    pasta_temporaria grande;
    prepara_caso(grande, 600, 300);
    const fs::path constant = grande / "of" / "constant", malha = constant / "polyMesh";
    auto novos = [&] {
        std::vector<std::string> t;
        for (const auto& e : fs::directory_iterator(constant))
            if (e.path().filename() != "polyMesh") t.push_back(e.path().filename().string());
        return t;
    };
    auto interrompe_com = [&](int sinal) {
        return [&, sinal](pid_t pid) {
            const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (novos().empty() && std::chrono::steady_clock::now() < limite)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            ::kill(pid, sinal);
        };
    };
    struct caso {
        const char* nome;
        pedido execucao;
        int status;
    };
    const std::vector<std::string> opcoes{"--openfoam", "of"};
    const caso casos[] = {
        {"limite de tamanho de arquivo", {opcoes, destino_saida::arquivo, 200000, {}}, 1},
        {"SIGINT", {opcoes, destino_saida::arquivo, {}, interrompe_com(SIGINT)}, 130},
        {"SIGTERM", {opcoes, destino_saida::arquivo, {}, interrompe_com(SIGTERM)}, 143},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        fs::create_directories(malha);
        apoio::grava_arquivo(malha / "points", "the old points");
        const auto r = roda(grande.caminho(), c.execucao);
        EXPECT_EQ(r.sinal, 0);
        if (c.status >= 128 && r.status == 0) continue;  // the run had ended
        EXPECT_EQ(r.status, c.status) << r.erro;
        EXPECT_EQ(le_arquivo(malha / "points"), "the old points");
        EXPECT_TRUE(novos().empty());
        EXPECT_TRUE(temporarios(malha).empty());
    }
}

// --- --openfoam in a case the user made ---------------------------------------------

// constant/polyMesh (or constant) a link to a folder outside the case: the
// export would exchange that folder and remove what it holds. It is refused;
// the link and the folder it leads to stay as they were.
TEST(QualidadeHostil, OpenfoamNaoSubstituiPastaForaDoCasoPorLink) {
    pasta_temporaria p;
    prepara_caso(p, 8, 4);
    struct caso {
        const char* nome;
        const char* link;  // in the case folder "of"
        const char* alvo;  // relative to the link
    };
    const caso casos[] = {{"constant/polyMesh", "constant/polyMesh", "../../fora"},
                          {"constant", "constant", "../fora"}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        fs::remove_all(p / "of");
        fs::remove_all(p / "fora");
        fs::create_directories(p / "of" / "constant");
        fs::remove(p / "of" / c.link);
        fs::create_directories(p / "fora");
        apoio::grava_arquivo(p / "fora" / "thesis.tex", "my thesis");
        fs::create_directory_symlink(c.alvo, p / "of" / c.link);
        const auto r = roda(p.caminho(), {{"--openfoam", "of"}});
        EXPECT_EQ(r.status, 1) << r.erro;
        EXPECT_NE(
            r.erro.find(std::string(c.link) + ": cannot write the OpenFOAM case: it is a symbolic link"),
            std::string::npos)
            << r.erro;
        EXPECT_TRUE(fs::is_symlink(p / "of" / c.link));
        EXPECT_EQ(le_arquivo(p / "fora" / "thesis.tex"), "my thesis");
        EXPECT_EQ(std::distance(fs::directory_iterator(p / "fora"), fs::directory_iterator()), 1);
    }
}

// An interruption once the new polyMesh is in place, while the old one (here
// with a sets folder of 15,000 files) is removed: the removal ends, nothing
// hidden stays, and the status tells what was done: 0 when the mesh was all
// that was asked, 128 + the signal when an export after it was stopped.
TEST(QualidadeHostil, OpenfoamInterrompidoAoRemoverOAntigo) {
    pasta_temporaria p;
    prepara_caso(p, 8, 4);
    const fs::path constant = p / "of" / "constant";
    auto antigo_sendo_removido = [&] {
        for (const auto& e : fs::directory_iterator(constant))
            if (e.path().filename().string()[0] == '.' && fs::exists(e.path() / "sets")) return true;
        return false;
    };
    struct caso {
        const char* nome;
        std::vector<std::string> argumentos;
        int sinal, status;
    };
    const caso casos[] = {
        {"SIGINT, so --openfoam", {"--openfoam", "of"}, SIGINT, 0},
        {"SIGHUP, so --openfoam", {"--openfoam", "of"}, SIGHUP, 0},
        {"SIGTERM, --svg depois", {"--openfoam", "of", "--svg", "m.svg"}, SIGTERM, 143},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        fs::remove_all(p / "of");
        fs::create_directories(constant / "polyMesh" / "sets");
        apoio::grava_arquivo(constant / "polyMesh" / "points", "the old points");
        for (int k = 0; k < 15000; ++k)
            apoio::grava_arquivo(constant / "polyMesh" / "sets" / std::to_string(k), "");
        bool interrompido = false;
        const auto r = roda(
            p.caminho(), {c.argumentos, destino_saida::arquivo, {}, [&](pid_t pid) {
                              const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                              while (!antigo_sendo_removido() && std::chrono::steady_clock::now() < limite)
                                  std::this_thread::sleep_for(std::chrono::microseconds(100));
                              interrompido = ::kill(pid, c.sinal) == 0;
                          }});
        EXPECT_TRUE(interrompido);
        EXPECT_EQ(r.sinal, 0);
        EXPECT_EQ(r.status, c.status) << r.erro;
        std::vector<std::string> nomes;
        for (const auto& e : fs::directory_iterator(constant))
            nomes.push_back(e.path().filename().string());
        EXPECT_EQ(nomes, std::vector<std::string>{"polyMesh"});
        EXPECT_NE(le_arquivo(constant / "polyMesh" / "points"), "the old points");
        EXPECT_FALSE(fs::exists(constant / "polyMesh" / "sets"));
    }
}

// The system files of a case go as a set. Left incomplete by a run that
// failed halfway (a full disk; an earlier version wrote controlDict first),
// they are completed; a controlDict of the user's keeps them the user's.
TEST(QualidadeHostil, OpenfoamArquivosDeSistemaComoConjunto) {
    pasta_temporaria p;
    prepara_caso(p, 8, 4);
    ASSERT_EQ(roda(p.caminho(), {{"--openfoam", "ref"}}).status, 0);
    const fs::path sistema = p / "of" / "system";
    const char* const arquivos[] = {"controlDict", "fvSchemes", "fvSolution"};
    for (const bool do_usuario : {false, true}) {
        SCOPED_TRACE(do_usuario ? "controlDict do usuario" : "controlDict deste programa sozinho");
        fs::remove_all(p / "of");
        fs::create_directories(sistema);
        const std::string dict =
            do_usuario ? "the user's own" : le_arquivo(p / "ref" / "system" / "controlDict");
        apoio::grava_arquivo(sistema / "controlDict", dict);
        const auto r = roda(p.caminho(), {{"--openfoam", "of"}});
        EXPECT_EQ(r.status, 0) << r.erro;
        EXPECT_EQ(le_arquivo(sistema / "controlDict"), dict);
        for (const char* f : {arquivos[1], arquivos[2]}) {
            EXPECT_EQ(fs::exists(sistema / f), !do_usuario) << f;
            if (!do_usuario) {
                EXPECT_EQ(le_arquivo(sistema / f), le_arquivo(p / "ref" / "system" / f)) << f;
            }
        }
    }

    // A disk that fills while they are written: a small file system, with
    // room for the mesh and for one system file only.
    const fs::path montagem = p / "disco";
    fs::create_directory(montagem);
    if (::mount("tmpfs", montagem.c_str(), "tmpfs", 0, "size=24k") != 0)
        GTEST_SKIP() << "mounting a small file system needs the right to (root): " << std::strerror(errno);
    const auto r = roda(p.caminho(), {{"--openfoam", (montagem / "of").string()}});
    const bool cheio = r.status == 1 && r.erro.find("No space left on device") != std::string::npos;
    std::vector<std::string> escritos;
    for (const char* f : arquivos)
        if (fs::exists(montagem / "of" / "system" / f)) escritos.push_back(f);
    ::mount("tmpfs", montagem.c_str(), "tmpfs", MS_REMOUNT, "size=1m");
    const auto depois = roda(p.caminho(), {{"--openfoam", (montagem / "of").string()}});
    std::vector<std::string> completos;
    for (const char* f : arquivos)
        if (fs::exists(montagem / "of" / "system" / f) &&
            le_arquivo(montagem / "of" / "system" / f) == le_arquivo(p / "ref" / "system" / f))
            completos.push_back(f);
    ::umount(montagem.c_str());
    EXPECT_TRUE(cheio) << r.status << " " << r.erro;
    EXPECT_TRUE(escritos.empty()) << escritos.size();
    EXPECT_EQ(depois.status, 0) << depois.erro;
    EXPECT_EQ(completos.size(), 3u);
}

// A folder on a read-only file system: the reason is the system's for the
// folder's making.
TEST(QualidadeHostil, PastaEmSistemaDeArquivosSoDeLeitura) {
    pasta_temporaria p;
    prepara_caso(p, 8, 4);
    const fs::path montagem = p / "ro";
    fs::create_directory(montagem);
    if (::mount("tmpfs", montagem.c_str(), "tmpfs", MS_RDONLY, "size=16k") != 0)
        GTEST_SKIP() << "mounting a file system needs the right to (root): " << std::strerror(errno);
    const auto r = roda(p.caminho(), {{"--openfoam", (montagem / "of").string()}});
    ::umount(montagem.c_str());
    EXPECT_EQ(r.status, 1) << r.erro;
    EXPECT_NE(r.erro.find("of: cannot make the folder: " + std::string(std::strerror(EROFS))),
              std::string::npos)
        << r.erro;
}

// --- Result files changed by a byte ---------------------------------------------------

// The shipped example's result files, each with one byte changed where the
// value still parses as some number: refused, naming the file and the line,
// never read as the mesh they no longer hold.
TEST(QualidadeHostil, ArquivoDeResultadoComUmByteMudadoERecusado) {
    pasta_temporaria p;
    for (const char* f : {"entradas.txt", "entrada_eq_elipticas.txt"})
        fs::copy_file(fs::path(MALHAS_EXEMPLOS) / "perfil_l" / f, p / f);
    ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
    const std::string relatorio = le_arquivo(p / "perfil_l.txt"),
                      volumes = le_arquivo(p / "perfil_l_vert.txt");
    struct caso {
        const char* arquivo;
        const char* antes;
        const char* depois;
        const char* trecho;  // file and line
    };
    const caso casos[] = {
        {"perfil_l.txt", "6.931203450476553E-01", "60931203450476553E-01", "perfil_l.txt, line 249"},
        {"perfil_l.txt", "6.931203450476553E-01", "6.931203450476553e-01", "perfil_l.txt, line 249"},
        {"perfil_l.txt", "    0.000000000000000E+00", "    -.000000000000000E+00", "perfil_l.txt, line 7"},
        {"perfil_l.txt", "    0.000000000000000E+00", "   +0.000000000000000E+00", "perfil_l.txt, line 7"},
        {"perfil_l_vert.txt", "        32", "       032", "perfil_l_vert.txt, line 7"},
        {"perfil_l_vert.txt", "         2", "        +2", "perfil_l_vert.txt, line 2"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(std::string(c.arquivo) + ": " + c.depois);
        std::string texto = std::string(c.arquivo) == "perfil_l.txt" ? relatorio : volumes;
        const auto k = texto.find(c.antes);
        ASSERT_NE(k, std::string::npos);
        texto.replace(k, std::strlen(c.antes), c.depois);
        apoio::grava_arquivo(p / c.arquivo, texto);
        const auto r = roda(p.caminho(), {});
        apoio::grava_arquivo(p / "perfil_l.txt", relatorio);
        apoio::grava_arquivo(p / "perfil_l_vert.txt", volumes);
        EXPECT_EQ(r.status, 1) << r.erro;
        EXPECT_NE(r.erro.find(c.trecho), std::string::npos) << r.erro;
        EXPECT_NE(r.erro.find("in the form malhas_segmentos writes"), std::string::npos) << r.erro;
    }
    EXPECT_EQ(roda(p.caminho(), {}).status, 0);
}

// Cells all larger than checkMesh's GREAT: the smallest volume is the one
// checkMesh prints, 1e+15.
TEST(QualidadeHostil, VolumeMinimoComoOCheckMeshOImprime) {
    pasta_temporaria p;
    prepara_caso(p, 8, 4);
    const auto r = roda(p.caminho(), {{"--espessura", "1e20"}});
    EXPECT_EQ(r.status, 0) << r.erro;
    EXPECT_NE(r.saida.find("cell_volume: min 1e+15, max "), std::string::npos) << r.saida;
}

}  // namespace
