// Failures of whole runs through the real executable: a folder that cannot
// take the results, a full disk, memory the system will not give, sizes that
// do not fit, hostile input files and hostile case names. Each must end with
// the exact report and exit status 1 (or an ordinary run, where the input
// allows one), never a crash or a hang, and must leave the disk as stated:
// input files untouched, no viewer started after a failure, nobody else's
// file overwritten.
//
// The test names start with the class of failure: FalhaAbertura, FalhaDisco,
// FalhaMemoria, FalhaTamanho, FalhaEntrada, FalhaNome.
//
// The faults are made with POSIX resource limits and the POSIX shell, so
// these tests are built on POSIX systems only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "apoio.hpp"
#include "variaveis/variaveis.hpp"

extern char** environ;

namespace {

using apoio::existe;
using apoio::le_arquivo;
using apoio::pasta_temporaria;
using apoio::relatorio;

struct limites {
    std::optional<rlim_t> tamanho_arquivo;   // RLIMIT_FSIZE, bytes
    bool erro_em_cano_fechado = false;       // standard error a pipe whose reader is gone
    std::optional<rlim_t> espaco_enderecos;  // RLIMIT_AS, bytes
    rlim_t segundos_cpu = 60;                // a hang becomes SIGXCPU instead of a stuck suite
    int segundos_parede = 100;               // and a blocked run SIGKILL
};

// Runs the real program in the folder as apoio::executa_malhas does (the
// stand-in interpreter logs every command to comandos.log), under the given
// resource limits. The limits are set in the child between fork and exec, so
// the test process itself is never limited.
apoio::resultado_execucao executa_limitado(const pasta_temporaria& p, const limites& lim,
                                           std::map<std::string, std::string> ambiente = {}) {
    if (!ambiente.count("COMSPEC")) ambiente["COMSPEC"] = MALHAS_INTERPRETADOR_FALSO;
    if (!ambiente.count("MALHAS_LOG")) ambiente["MALHAS_LOG"] = (p / "comandos.log").string();
    std::vector<std::string> textos = apoio::ambiente_com(ambiente);
    std::vector<char*> envp;
    for (auto& s : textos)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string programa = MALHAS_EXECUTAVEL;
    char* argv[] = {programa.data(), nullptr};

    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls.
    const std::string pasta = p.caminho().string();
    const std::string saida = (p / ".saida_limitada").string(), erro = (p / ".erro_limitado").string();
    const int fd_saida = ::open(saida.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int fd_erro = ::open(erro.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int fd_nulo = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd_saida < 0 || fd_erro < 0 || fd_nulo < 0) throw std::runtime_error("cannot prepare the child");
    int fd_cano = -1;
    if (lim.erro_em_cano_fechado) {
        int cano[2];
        if (::pipe2(cano, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
        ::close(cano[0]);  // nobody will ever read what the child writes there
        fd_cano = cano[1];
    }

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fd_nulo, 0);
        ::dup2(fd_saida, 1);
        ::dup2(fd_erro, 2);
        if (::chdir(pasta.c_str()) != 0) ::_exit(126);
        if (fd_cano >= 0) ::dup2(fd_cano, 2);
        if (lim.tamanho_arquivo) {
            // A full disk as the program meets it. SIGXFSZ keeps its default
            // action: the program itself must turn it into a failed write.
            const rlimit r{*lim.tamanho_arquivo, *lim.tamanho_arquivo};
            ::setrlimit(RLIMIT_FSIZE, &r);
        }
        if (lim.espaco_enderecos) {
            const rlimit r{*lim.espaco_enderecos, *lim.espaco_enderecos};
            ::setrlimit(RLIMIT_AS, &r);
        }
        const rlimit cpu{lim.segundos_cpu, lim.segundos_cpu};
        ::setrlimit(RLIMIT_CPU, &cpu);
        ::execve(programa.c_str(), argv, envp.data());
        ::_exit(127);
    }
    ::close(fd_saida);
    ::close(fd_erro);
    ::close(fd_nulo);
    if (fd_cano >= 0) ::close(fd_cano);
    if (pid < 0) throw std::runtime_error("cannot fork");
    // A run blocked in a system call uses no processor time, so the CPU limit
    // cannot end it: past the wall-clock limit it is killed and the test
    // fails on its signal instead of hanging the suite.
    int st = 0;
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(lim.segundos_parede);
    for (;;) {
        const pid_t w = ::waitpid(pid, &st, WNOHANG);
        if (w == pid || (w < 0 && errno != EINTR)) break;
        if (std::chrono::steady_clock::now() > limite) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    apoio::resultado_execucao r;
    if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
    if (WIFSIGNALED(st)) r.sinal = WTERMSIG(st);
    r.saida = le_arquivo(saida);
    r.erro = le_arquivo(erro);
    std::filesystem::remove(saida);
    std::filesystem::remove(erro);
    return r;
}

using apoio::texto_entradas;

const std::string parametros_comuns = "1\r\n1\r\n0.001\r\n1.0\r\n1.0\r\n1\r\n1\r\n";
const std::string so_editor_de_entradas = "/c|notepad entradas.txt\n";
const std::string editores_das_entradas = "/c|notepad entradas.txt\n/c|notepad entrada_eq_elipticas.txt\n";

std::string razao(int numero) {
    return std::strerror(numero);
}

// ---------------------------------------------------------------------------
// A result file that cannot be opened. Root may write anywhere, so the
// folder is made unwritable by what root respects too: a path component
// that is a regular file, a folder that does not exist, a result name that
// is a folder. The files already there are left exactly as they were.

TEST(Falha, FalhaAbertura_ResultadoQueNaoPodeSerAbertoNaoMexeNoQueExiste) {
    struct caso_abertura {
        const char* nome;
        std::string nome_caso;
        std::vector<std::string> pastas;              // made before the run
        std::map<std::string, std::string> arquivos;  // made before the run, checked after
        std::string relatorio;
    };
    const caso_abertura casos[] = {
        {"path component is a regular file",
         "'arquivo/caso'",
         {},
         {{"arquivo", "a file, not a folder\r\n"}},
         relatorio("F101", "OPEN (arquivo/caso.txt)", "cannot open the file: " + razao(ENOTDIR))},
        {"folder that does not exist",
         "'falta/caso'",
         {},
         {},
         relatorio("F101", "OPEN (falta/caso.txt)", "cannot open the file: " + razao(ENOENT))},
        {"outline file name is a folder",
         "caso",
         {"malha.txt"},
         {{"caso.txt", "old report\r\n"}, {"caso_vert.txt", "old volumes\r\n"}},
         relatorio("F101", "OPEN (malha.txt)", "cannot open the file: " + razao(EISDIR))},
        {"volume file name is a folder",
         "caso",
         {"caso_vert.txt"},
         {{"caso.txt", "old report\r\n"}},
         relatorio("F101", "OPEN (caso_vert.txt)", "cannot open the file: " + razao(EISDIR))},
        {"control characters in the name are not echoed",
         std::string("'sub\rpasta\x1b[2J/caso'"),
         {},
         {},
         relatorio("F101", "OPEN (sub?pasta?[2J/caso.txt)", "cannot open the file: " + razao(ENOENT))},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        const std::string entradas = texto_entradas(c.nome_caso, 4, 2, 1);
        apoio::grava_arquivo(p / "entradas.txt", entradas);
        for (const auto& d : c.pastas)
            std::filesystem::create_directory(p / d);
        for (const auto& [nome, bytes] : c.arquivos)
            apoio::grava_arquivo(p / nome, bytes);

        const auto r = executa_limitado(p, {});
        EXPECT_EQ(r.sinal, 0);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro, c.relatorio);
        EXPECT_EQ(le_arquivo(p / "entradas.txt"), entradas);
        for (const auto& [nome, bytes] : c.arquivos)
            EXPECT_EQ(le_arquivo(p / nome), bytes) << nome;
        EXPECT_EQ(le_arquivo(p / "comandos.log"), so_editor_de_entradas);
    }
}

// ---------------------------------------------------------------------------
// A full disk while the results are written, made with a file size limit:
// every write past it fails with EFBIG. The report names the file that could
// not be written; what reached the disk is the start of the true contents;
// no viewer is started.

TEST(Falha, FalhaDisco_CheioAoEscreverCadaArquivo) {
    struct caso_disco {
        const char* nome;
        int nvol_ksi, nvol_eta;
        rlim_t limite;
        const char* arquivo_que_falha;
    };
    // Report, outline and volume files of a 40 by 40 mesh take about 104 kB,
    // 421 kB and 83 kB; those of 300 by 300 take several MB, more than the
    // write buffer, so the failure comes in the middle of the writing and not
    // when the file is closed.
    const caso_disco casos[] = {
        {"report file, at close", 40, 40, 4096, "caso.txt"},
        {"outline file, at close", 40, 40, 200000, "malha.txt"},
        {"report file, while writing", 300, 300, 3000000, "caso.txt"},
        // Formatted in blocks by other threads while this one writes.
        {"outline file, while writing", 300, 300, 15000000, "malha.txt"},
    };
    // The complete files, for what the failed runs leave behind.
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria completo;
        apoio::grava_arquivo(completo / "entradas.txt", texto_entradas("caso", c.nvol_ksi, c.nvol_eta, 1));
        ASSERT_EQ(executa_limitado(completo, {}).status, 0);

        pasta_temporaria p;
        const std::string entradas = texto_entradas("caso", c.nvol_ksi, c.nvol_eta, 1);
        apoio::grava_arquivo(p / "entradas.txt", entradas);
        // Earlier results in the files after the failing one: each file is
        // written to the end before the next is touched, so these stay.
        const std::string antigo = "old result\r\n";
        const bool falha_no_relatorio = std::string(c.arquivo_que_falha) == "caso.txt";
        if (falha_no_relatorio) apoio::grava_arquivo(p / "malha.txt", antigo);
        apoio::grava_arquivo(p / "caso_vert.txt", antigo);
        limites lim;
        lim.tamanho_arquivo = c.limite;
        const auto r = executa_limitado(p, lim);
        EXPECT_EQ(r.sinal, 0);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro, relatorio("F301", std::string("WRITE (") + c.arquivo_que_falha + ")",
                                    "cannot write the line: " + razao(EFBIG)));
        EXPECT_EQ(le_arquivo(p / "comandos.log"), so_editor_de_entradas);
        EXPECT_EQ(le_arquivo(p / "entradas.txt"), entradas);

        const std::string parcial = le_arquivo(p / c.arquivo_que_falha);
        const std::string inteiro = le_arquivo(completo / c.arquivo_que_falha);
        EXPECT_LE(parcial.size(), c.limite);
        EXPECT_LT(parcial.size(), inteiro.size());
        EXPECT_EQ(parcial, inteiro.substr(0, parcial.size()));
        // The files written before the failure are complete, the later ones untouched.
        if (falha_no_relatorio) {
            EXPECT_EQ(le_arquivo(p / "malha.txt"), antigo);
        } else {
            EXPECT_EQ(le_arquivo(p / "caso.txt"), le_arquivo(completo / "caso.txt"));
        }
        EXPECT_EQ(le_arquivo(p / "caso_vert.txt"), antigo);
    }
}

// ---------------------------------------------------------------------------
// Memory the system will not give, made with an address-space limit. The
// sizes fit in 32 bits, so only the system can refuse them. (Not in the
// sanitizer build: AddressSanitizer reserves terabytes of address space at
// start-up and cannot run under such a limit at all.)

TEST(Falha, FalhaMemoria_MalhaMaiorQueAMemoriaDaRelatorioDeAlocacao) {
    // 40001 x 40001 vertices: 12.8 GB for y alone, well inside 32 bits.
    pasta_temporaria p;
    const std::string entradas = texto_entradas("caso", 40000, 40000, 1);
    apoio::grava_arquivo(p / "entradas.txt", entradas);
    limites lim;
    lim.espaco_enderecos = rlim_t{1} << 30;
    const auto r = executa_limitado(p, lim);
    EXPECT_EQ(r.sinal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.erro, relatorio("F501", "ALLOCATE (y)", "insufficient memory"));
    EXPECT_FALSE(existe(p / "caso.txt"));
    EXPECT_FALSE(existe(p / "malha.txt"));
    EXPECT_FALSE(existe(p / "caso_vert.txt"));
    EXPECT_EQ(le_arquivo(p / "comandos.log"), so_editor_de_entradas);
    EXPECT_EQ(le_arquivo(p / "entradas.txt"), entradas);
}

TEST(Falha, FalhaMemoria_ArraysDeTrabalhoElipticoAlemDoLimite) {
    // 2001 x 2001 vertices: 128 MB for the mesh, then 32 MB for each of the
    // nineteen work arrays; under 400 MB some work array is refused, which
    // one depends on what the process already holds.
    pasta_temporaria p;
    const std::string entradas = texto_entradas("caso", 2000, 2000, 2);
    apoio::grava_arquivo(p / "entradas.txt", entradas);
    apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", parametros_comuns);
    limites lim;
    lim.espaco_enderecos = rlim_t{400} << 20;
    const auto r = executa_limitado(p, lim);
    EXPECT_EQ(r.sinal, 0);
    EXPECT_EQ(r.status, 1);
    const std::string inicio = "\r\nrun-time error F501: ALLOCATE (";
    ASSERT_EQ(r.erro.rfind(inicio, 0), 0u) << r.erro;
    const std::string array = r.erro.substr(inicio.size(), r.erro.find(')') - inicio.size());
    EXPECT_TRUE(std::any_of(std::begin(variaveis::arrays_trabalho), std::end(variaveis::arrays_trabalho),
                            [&](const variaveis::array_trabalho& a) { return array == a.nome; }))
        << array;
    EXPECT_EQ(r.erro, relatorio("F501", "ALLOCATE (" + array + ")", "insufficient memory"));
    EXPECT_FALSE(existe(p / "malha.txt"));
    EXPECT_EQ(le_arquivo(p / "comandos.log"), editores_das_entradas);
    EXPECT_EQ(le_arquivo(p / "entrada_eq_elipticas.txt"), parametros_comuns);
}

// ---------------------------------------------------------------------------
// Counts whose products do not fit in 32 bits are refused with their own
// report before the array is asked for: wrapped to 32 bits they would give a
// small array and loops that run far past it.

TEST(Falha, FalhaTamanho_ProdutosAlemDe32BitsRecusadosAntesDeAlocar) {
    struct caso_tamanho {
        long nvol_ksi, nvol_eta;
        const char* relatorio_;
    };
    const caso_tamanho casos[] = {
        {46340, 46341, "ALLOCATE (y)|array size beyond the supported range (46341 x 46342)"},
        {2147483647, 2147483647,
         "ALLOCATE (y)|array size beyond the supported range (-2147483648 x -2147483648)"},
        {-3, 1073741824, "ALLOCATE (y)|array size beyond the supported range (-2 x 1073741825)"},
        // The vertex counts fit, the volume counts do not.
        {-2, 1073741825, "ALLOCATE (vert_vol)|array size beyond the supported range (-2 x 1073741825)"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(std::to_string(c.nvol_ksi) + " x " + std::to_string(c.nvol_eta));
        pasta_temporaria p;
        apoio::grava_arquivo(p / "entradas.txt", texto_entradas("enorme", c.nvol_ksi, c.nvol_eta, 1));
        const std::string esperado(c.relatorio_);
        const auto barra = esperado.find('|');
        const auto r = executa_limitado(p, {});
        EXPECT_EQ(r.sinal, 0);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro, relatorio("F502", esperado.substr(0, barra), esperado.substr(barra + 1)));
        EXPECT_FALSE(existe(p / "enorme.txt"));
        EXPECT_FALSE(existe(p / "malha.txt"));
    }
}

// ---------------------------------------------------------------------------
// Hostile and broken input files. Each ends with a report or is an ordinary
// run; the program is never killed by a signal and never changes an input
// file.

struct caso_entrada {
    const char* nome;
    std::string entradas;
    std::optional<std::string> parametros;  // the parameter file, when there is one
    std::string relatorio;                  // empty: an ordinary run
    const char* resultado = "caso.txt";     // for an ordinary run, a result file that must exist
};

std::string repete(char c, std::size_t n) {
    return std::string(n, c);
}

std::vector<caso_entrada> casos_de_entrada() {
    const std::string megabyte_de_uns = repete('1', std::size_t{1} << 20);
    const std::string cem_mil_as = repete('a', 100000);
    std::string lixo(4096, '\0');
    std::mt19937 g(20240601);
    for (char& c : lixo)
        c = static_cast<char>(g());
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20);
    const auto leitura = [](const std::string& codigo, const std::string& mensagem,
                            const char* arquivo = "entradas.txt") {
        return relatorio(codigo, std::string("READ (") + arquivo + ")", mensagem);
    };
    return {
        {"empty case file", "", {}, leitura("F201", "end of file")},
        {"empty parameter file", texto_entradas("caso", 4, 2, 2), "",
         leitura("F201", "end of file", "entrada_eq_elipticas.txt")},
        {"ends before the mesh kind", "caso\n8\n4", {}, leitura("F201", "end of file")},
        {"ends inside an enclosed name",
         "'caso",
         {},
         leitura("F208", "enclosed text without its closing mark on its line")},
        {"ends after a sign", "caso\n8\n-", {}, leitura("F202", "integer value of the wrong form: '-'")},
        {"ends inside an exponent", texto_entradas("caso", 4, 2, 2), std::string("1\n1\n0.001\n1.0E"),
         leitura("F204", "real value of the wrong form: '1.0E'", "entrada_eq_elipticas.txt")},
        {"last value without a line end", "caso\n4\n2\n1", {}, ""},
        {"binary junk: a PNG header", png, {}, leitura("F202", "integer value of the wrong form: '?'")},
        {"binary junk: random bytes", lixo, {}, "any report"},
        {"NUL bytes in a count",
         std::string("caso\n\0\0\0\n4\n1\n", 14),
         {},
         leitura("F202", "integer value of the wrong form: '" + repete('?', 3) + "'")},
        {"NUL byte in the case name",
         std::string("ca\0so\n4\n2\n1\n", 12),
         {},
         relatorio("F101", "OPEN (ca?so.txt)", "cannot open the file: invalid file name")},
        {"1 MB value",
         "caso\n" + megabyte_de_uns + "\n4\n1\n",
         {},
         leitura("F207", "value longer than 260 characters: '" + repete('1', 40) + "...'")},
        {"1 MB of blanks before the name", repete(' ', std::size_t{1} << 20) + "caso\n4\n2\n1\n", {}, ""},
        {"1 MB of words after a count", "caso\n4 " + megabyte_de_uns + "\n2\n1\n", {}, ""},
        {"plain name of 100 000 characters",
         cem_mil_as + "\n4\n2\n1\n",
         {},
         leitura("F207", "value longer than 260 characters: '" + repete('a', 40) + "...'")},
        {"enclosed name of 100 000 characters",
         "'" + cem_mil_as + "'\n4\n2\n1\n",
         {},
         "",
         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
         "aaaa.txt"},
        {"CR alone makes one line", "caso\r4\r2\r1\r", {}, leitura("F201", "end of file")},
        {"CR alone inside a count",
         "caso\n4\r2\n1\n",
         {},
         leitura("F202", "integer value of the wrong form: '4?2'")},
        {"nvol_ksi 2147483647, nvol_eta 1",
         texto_entradas("caso", 2147483647, 1, 1),
         {},
         relatorio("F502", "ALLOCATE (y)", "array size beyond the supported range (-2147483648 x 2)")},
        {"nvol_ksi 2147483647, nvol_eta -1", texto_entradas("caso", 2147483647, -1, 1), {}, ""},
        {"nvol_ksi 2147483647, nvol_eta -1, elliptic", texto_entradas("caso", 2147483647, -1, 2),
         parametros_comuns, ""},
    };
}

TEST(Falha, FalhaEntrada_ArquivosHostisDaoRelatorioOuCorridaNormal) {
    for (const auto& c : casos_de_entrada()) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        apoio::grava_arquivo(p / "entradas.txt", c.entradas);
        if (c.parametros) apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", *c.parametros);
        const auto r = executa_limitado(p, {});
        EXPECT_EQ(r.sinal, 0);
        if (c.relatorio.empty()) {
            EXPECT_EQ(r.status, 0) << r.erro;
            EXPECT_EQ(r.erro, "");
            EXPECT_TRUE(existe(p / c.resultado));
        } else {
            EXPECT_EQ(r.status, 1);
            if (c.relatorio == "any report") {
                EXPECT_EQ(r.erro.rfind("\r\nrun-time error F", 0), 0u) << r.erro;
            } else {
                EXPECT_EQ(r.erro, c.relatorio);
            }
            EXPECT_FALSE(existe(p / "malha.txt"));
        }
        EXPECT_EQ(le_arquivo(p / "entradas.txt"), c.entradas);
        if (c.parametros) {
            EXPECT_EQ(le_arquivo(p / "entrada_eq_elipticas.txt"), *c.parametros);
        }
    }
}

// ---------------------------------------------------------------------------
// Case names made to run a command of their own. The real shell runs the
// commands and stand-in editors log what they receive; a command smuggled in
// through the name would create the canary file.

std::map<std::string, std::string> editores_que_registram(const pasta_temporaria& p) {
    std::filesystem::create_directory(p / "bin");
    apoio::grava_arquivo(p / "bin" / "notepad",
                         "#!/bin/sh\nfor a in \"$@\"; do printf 'notepad <%s>\\n' \"$a\" >> log.txt; done\n");
    apoio::grava_arquivo(p / "bin" / "wgnuplot", "#!/bin/sh\necho \"wgnuplot $*\" >> log.txt\n");
    ::chmod((p / "bin" / "notepad").c_str(), 0755);
    ::chmod((p / "bin" / "wgnuplot").c_str(), 0755);
    const char* path = std::getenv("PATH");
    return {{"PATH", (p / "bin").string() + ":" + (path ? path : "/usr/bin:/bin")}, {"COMSPEC", ""}};
}

TEST(Falha, FalhaNome_NomesHostisNaoRodamOutroComando) {
    struct caso_nome {
        const char* nome;
        std::string linha;  // the first line of the case file
        std::string base;   // the name the files get; empty: the read is refused
    };
    const caso_nome casos[] = {
        {"newline inside an enclosed name", "'a\ntouch canary'", ""},
        {"CR inside an enclosed name", "'a\rtouch canary'", "a\rtouch canary"},
        {"quotation marks around an apostrophe", "\"it's;touch canary\"", "it's;touch canary"},
        {"doubled quotation marks", "\"a\"\"b;touch canary\"", "a\"b;touch canary"},
        {"backslash before an apostrophe", "'a\\'';touch canary'", "a\\';touch canary"},
        {"backquotes and $()", "'`touch canary`$(touch canary)'", "`touch canary`$(touch canary)"},
        {"ampersand, bar and variables", "'a&&touch canary|${IFS}%PATH%'", "a&&touch canary|${IFS}%PATH%"},
        {"tab and leading dash", "'-a\ttouch canary'", "-a\ttouch canary"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        const std::string entradas = c.linha + "\n4\n2\n1\n";
        apoio::grava_arquivo(p / "entradas.txt", entradas);
        const auto r = executa_limitado(p, {}, editores_que_registram(p));
        EXPECT_EQ(r.sinal, 0);
        EXPECT_FALSE(existe(p / "canary"));
        EXPECT_EQ(le_arquivo(p / "entradas.txt"), entradas);
        if (c.base.empty()) {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.erro, relatorio("F208", "READ (entradas.txt)",
                                        "enclosed text without its closing mark on its line"));
            EXPECT_EQ(le_arquivo(p / "log.txt"), "notepad <entradas.txt>\n");
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.erro;
        EXPECT_TRUE(existe(p / (c.base + ".txt")));
        // Each editor received the whole file name as one argument, and the
        // plot program ran last: nothing else was started.
        EXPECT_EQ(le_arquivo(p / "log.txt"), "notepad <entradas.txt>\nnotepad <" + c.base +
                                                 ".txt>\nnotepad <" + c.base +
                                                 "_vert.txt>\nwgnuplot malha.gnu\n");
    }
}

// A result name that leads to a FIFO, a socket or a device: refused before
// any result file is created or changed, and without blocking (a FIFO with no
// reader would hold an open for writing for ever).
TEST(Falha, FalhaAbertura_ResultadoQueNaoEArquivoComumERecusadoSemBloquear) {
    struct caso {
        const char* nome;
        std::function<void(const pasta_temporaria&)> prepara;
        std::string arquivo;
    };
    const caso casos[] = {
        {"outline file a FIFO", [](const pasta_temporaria& p) { ::mkfifo((p / "malha.txt").c_str(), 0644); },
         "malha.txt"},
        {"volume file a link to /dev/null",
         [](const pasta_temporaria& p) { std::filesystem::create_symlink("/dev/null", p / "caso_vert.txt"); },
         "caso_vert.txt"},
        {"report file a link to /dev/full",
         [](const pasta_temporaria& p) { std::filesystem::create_symlink("/dev/full", p / "caso.txt"); },
         "caso.txt"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        apoio::grava_entradas(p.caminho(), "caso", 4, 2, 1);
        c.prepara(p);
        limites lim;
        lim.segundos_cpu = 5;
        lim.segundos_parede = 10;
        const auto r = executa_limitado(p, lim);
        EXPECT_EQ(r.sinal, 0);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro,
                  relatorio("F101", "OPEN (" + c.arquivo + ")", "cannot open the file: not a regular file"));
        for (const char* resultado : {"caso.txt", "malha.txt", "caso_vert.txt"}) {
            if (resultado != c.arquivo) {
                EXPECT_FALSE(existe(p / resultado)) << resultado;
            }
        }
        EXPECT_EQ(le_arquivo(p / "comandos.log"), so_editor_de_entradas);
    }
}

// Signals that would end the process without a report: a file-size limit
// (SIGXFSZ) and a standard error stream nobody reads (SIGPIPE). Either way
// the run must end with status 1.
TEST(Falha, FalhaSinal_LimiteDeTamanhoECanoFechadoTerminamComStatus1) {
    {
        pasta_temporaria p;
        apoio::grava_entradas(p.caminho(), "caso", 100, 100, 1);
        limites lim;
        lim.tamanho_arquivo = 200 * 1024;
        const auto r = executa_limitado(p, lim);
        EXPECT_EQ(r.sinal, 0);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.erro, relatorio("F301", "WRITE (caso.txt)", "cannot write the line: " + razao(EFBIG)));
        EXPECT_EQ(le_arquivo(p / "caso_vert.txt"), "");  // opened, never written
    }
    {
        pasta_temporaria p;
        apoio::grava_entradas(p.caminho(), "caso", 0, 3, 1);  // fails with M6103 after the editor
        limites lim;
        lim.erro_em_cano_fechado = true;
        const auto r = executa_limitado(p, lim);
        EXPECT_EQ(r.sinal, 0);
        EXPECT_EQ(r.status, 1);
        apoio::grava_arquivo(p / "entradas.txt", "caso\n4\n2\n4.5\n");  // a READ report, from the entry
        const auto r2 = executa_limitado(p, lim);
        EXPECT_EQ(r2.sinal, 0);
        EXPECT_EQ(r2.status, 1);
    }
}

}  // namespace
