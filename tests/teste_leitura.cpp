// The free-format reading: values, null values, repeats, enclosed texts,
// line handling, the reports, and the same results whether the bytes come
// from memory or from a file read a block at a time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "dados/conversoes.hpp"
#include "dados/leitura.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/relatorio_erro.hpp"

namespace {

using namespace std::string_literals;

constexpr std::size_t largura = 100;
constexpr std::int32_t mantido = 7777;  // the item before the read; a null value must leave it so

tempo_execucao::erro_execucao erro_de(const std::function<void()>& f) {
    try {
        f();
    } catch (const tempo_execucao::erro_execucao& e) {
        return e;
    }
    return tempo_execucao::erro_execucao("", "", "");
}

std::string nome(const std::string& s) {
    return s + std::string(largura - s.size(), ' ');
}

// Every read of the string tipos ('i', 'r', 't') in turn, as one trace text
// ending with the report of the read that failed.
std::string rastro(dados::arquivo_entrada& arq, const std::string& tipos) {
    std::string r;
    const auto e = erro_de([&] {
        for (const char t : tipos) {
            std::int32_t i = mantido;
            double x = mantido;
            std::string s(largura, '#');
            if (t == 'i') {
                const bool a = dados::le_inteiro(arq, i);
                r += std::to_string(i) + (a ? ";" : "=;");
            } else if (t == 'r') {
                const bool a = dados::le_real(arq, x);
                r += std::to_string(x) + (a ? ";" : "=;");
            } else {
                const bool a = dados::le_texto(arq, s, largura);
                r += s + (a ? ";" : "=;");
            }
        }
    });
    return r + e.codigo() + (e.codigo().empty() ? "" : " " + e.instrucao() + " " + e.mensagem());
}

std::string le(const std::string& bytes, const std::string& tipos,
               const std::string& arquivo = "entradas.txt") {
    dados::arquivo_entrada arq;
    dados::abre_entrada_memoria(arq, arquivo, bytes);
    return rastro(arq, tipos);
}

std::string erro(const std::string& codigo, const std::string& mensagem = "") {
    return codigo + " READ (entradas.txt) " + mensagem;
}

struct caso {
    std::string entrada, esperado;  // esperado: the trace prefix, or a code for a failure
};

void confere(const std::vector<caso>& casos, const std::string& tipos) {
    for (const auto& c : casos) {
        const std::string r = le(c.entrada, tipos);
        EXPECT_EQ(r.substr(0, c.esperado.size()), c.esperado) << "input: " << c.entrada << "\ntrace: " << r;
    }
}

TEST(LeituraInteiro, ValoresFormasEErros) {
    confere({{"8\r\n", "8;"},
             {"  \t8 4\n", "8;"},
             {"8,4", "8;"},
             {"8/4", "8;"},
             {"\n \n\t\r\n8", "8;"},
             {"-2147483648", "-2147483648;"},
             {"+2147483647", "2147483647;"},
             {"2147483648", "F203"},
             {"4294967304", "F203"},
             {"18446744073709551624", "F203"},
             {"#ff", "255;"},
             {"36#Zz", "1295;"},
             {"-2#101", "-5;"},
             {"-#80000000", "-2147483648;"},
             {"#80000000", "F203"},
             {"8#8", "F202"},
             {"1#0", "F202"},
             {"37#1", "F202"},
             {"#", "F202"},
             {"16#-1", "F202"},
             {"8.0", "F202"},
             {"1e3", "F202"},
             {"+", "F202"},
             {"8\rx", "F202"},
             {"8\0"s, "F202"},
             {",5", "7777=;"},
             {"/ 5", "7777=;"},
             {"3*7", "7;"},
             {"3* 7", "7777=;"},
             {"0*7", "F206"},
             {"2*3*4", "F202"},
             {"", "F201"},
             {"\n  \n", "F201"},
             {std::string(259, '0') + "1", "1;"},
             {std::string(261, '0'), "F207"}},
            "i");
}

TEST(LeituraReal, ValoresFormasEErros) {
    confere({{"0.5", "0.500000;"},     {"5.0E-1", "0.500000;"}, {"5e-1", "0.500000;"},   {"5D-1", "F204"},
             {"5d-1", "F204"},         {"2", "2.000000;"},      {".5", "0.500000;"},     {"5.", "5.000000;"},
             {"-.5e+1", "-5.000000;"}, {"3*2.5", "2.500000;"},  {"1e-400", "0.000000;"}, {"1e400", "F205"},
             {"-1e400", "F205"},       {"1e", "F204"},          {"e5", "F204"},          {".", "F204"},
             {"1.2.3", "F204"},        {"inf", "F204"},         {"nan", "F204"},         {"0x1p3", "F204"},
             {"#FF", "F204"},          {",", "7777.000000=;"},  {"0*1.5", "F206"}},
            "r");
    dados::arquivo_entrada arq;
    dados::abre_entrada_memoria(arq, "x", "4.9e-324");
    double r = 0.0;
    EXPECT_TRUE(dados::le_real(arq, r));
    EXPECT_EQ(r, std::numeric_limits<double>::denorm_min());  // an underflow is taken, not refused
}

TEST(LeituraTexto, FormasSimplesEDelimitadas) {
    const std::string longo = std::string(60, 'a') + std::string(60, 'b');
    confere({{"teste\n", nome("teste") + ";"},
             {"'malha L' mais palavras\n", nome("malha L") + ";"},
             {"malha L\n", nome("malha") + ";"},
             {longo, longo.substr(0, largura) + ";"},
             {"\"" + std::string(5000, 'z') + "\"", std::string(largura, 'z') + ";"},
             {std::string(261, 'k'), "F207"},
             {"'it''s'", nome("it's") + ";"},
             {"\"diz \"\"oi\"\"\"", nome("diz \"oi\"") + ";"},
             {"'a, b/c'", nome("a, b/c") + ";"},
             {"''", nome("") + ";"},
             {"2*'malha L'", nome("malha L") + ";"},
             {"2*ab'c", nome("ab'c") + ";"},
             {"0*'abc'", "F206"},
             {"3*", std::string(largura, '#') + "=;"},
             {",teste", std::string(largura, '#') + "=;"},
             {"'abc", erro("F208", "enclosed text without its closing mark on its line")},
             {"'abc\r\n'", "F208"},
             {"'it''", "F208"}},
            "t");
}

TEST(LeituraSequencia, CadaLeituraComecaNaLinhaSeguinte) {
    confere({{"8 4\n5\n", "8;5;F201"},
             {"8\n\n  \n4", "8;4;F201"},
             {"1\r\n2\r\n3", "1;2;3;F201"},
             {",7\n9\n", "7777=;9;F201"},
             {"/ 3\n7", "7777=;7;F201"},
             {"1\n\n\n", "1;F201"}},
            "iiii");
    EXPECT_EQ(le("'caso 1', x\r\n\r\n10 sweeps\r\n2*0.5E0\r\n#1F", "tirii"),
              nome("caso 1") + ";10;0.500000;31;" + erro("F201", "end of file"));
}

TEST(LeituraRelatorio, CitacaoCurtaESemCaracteresDeControle) {
    EXPECT_EQ(le("8.0", "i"), erro("F202", "integer value of the wrong form: '8.0'"));
    EXPECT_EQ(le("3000000000", "i"), erro("F203", "integer value out of range: '3000000000'"));
    EXPECT_EQ(le("1e999", "r"), erro("F205", "real value out of range: '1e999'"));
    EXPECT_EQ(le(std::string(300, 'x'), "t"),
              erro("F207", "value longer than 260 characters: '" + std::string(40, 'x') + "...'"));
    EXPECT_EQ(le("1\x01\x1b[2J\xc3\xa9\0"s, "i"),
              erro("F202", "integer value of the wrong form: '1" + std::string(2, '?') + "[2J" +
                               std::string(3, '?') + "'"));
}

TEST(LeituraArquivo, MesmoResultadoQueNaMemoriaAtravesDosBlocos) {
    apoio::pasta_temporaria pasta;
    const std::string caminho = (pasta / "entradas.txt").string();
    // The interesting bytes are moved across the end of the first block: a
    // CR LF cut in two, a lone CR, a value, a doubled mark.
    const std::vector<std::vector<std::string>> formas = {
        {"1", "\r\n2\r\n", "ii", "1;2;F201"},
        {"1", "\rx\n5\n", "ii", "F202"},
        {"'a", "\rb'\n7\n", "ti", "a\rb"},
        {"'ab", "''cd' x\r\n7\n", "ti", "ab'cd"},
        {"12", "34\n-5e-1\n", "ir", "1234;-0.500000;F201"},
    };
    for (const auto& f : formas) {
        for (std::size_t desvio = 0; desvio < 5; ++desvio) {
            const std::size_t primeira = dados::tamanho_bloco_entrada - f[0].size() + desvio - 2;
            const std::string bytes = "9" + std::string(primeira - 2, ' ') + "\n" + f[0] + f[1];
            apoio::grava_arquivo(caminho, bytes);
            dados::arquivo_entrada arq;
            dados::abre_entrada(arq, caminho);
            const std::string r = rastro(arq, "i" + f[2] + "i");
            EXPECT_EQ(r.substr(0, 2 + f[3].size()), "9;" + f[3]) << f[0] << f[1] << " shifted " << desvio;
            EXPECT_EQ(r, le(bytes, "i" + f[2] + "i", caminho));
        }
    }
}

TEST(LeituraArquivo, LinhaDeUmMegabyteDeBytesQuaisquer) {
    std::string lixo(1 << 20, 'q');
    std::mt19937 gerador(12345);
    for (char& c : lixo)
        c = static_cast<char>(gerador() % 256);
    for (char& c : lixo)
        c = (c == '\n' || c == '\r' || c == '\'') ? 'q' : c;
    apoio::pasta_temporaria pasta;
    apoio::grava_arquivo(pasta / "e.txt", "8 " + lixo + "\n'" + lixo + "'\n-1");
    dados::arquivo_entrada arq;
    dados::abre_entrada(arq, (pasta / "e.txt").string());
    EXPECT_EQ(rastro(arq, "iti").substr(0, 2), "8;");
    dados::abre_entrada(arq, (pasta / "e.txt").string());
    std::string s;
    std::int32_t i = 0;
    dados::le_inteiro(arq, i);
    dados::le_texto(arq, s, largura);
    EXPECT_EQ(s, lixo.substr(0, largura));
    EXPECT_TRUE(dados::le_inteiro(arq, i));
    EXPECT_EQ(i, -1);
}

TEST(LeituraArquivo, AberturaCriaOQueFaltaAceitaSomenteLeituraERecusaPasta) {
    apoio::pasta_temporaria pasta;
    const std::string faltando = (pasta / "novo.txt").string(), protegido = (pasta / "p.txt").string();
    dados::arquivo_entrada arq;
    dados::abre_entrada(arq, faltando);
    EXPECT_EQ(rastro(arq, "i"), "F201 READ (" + faltando + ") end of file");
    EXPECT_EQ(apoio::le_arquivo(faltando), "");

    apoio::grava_arquivo(protegido, "42\n");
    ASSERT_EQ(::chmod(protegido.c_str(), 0444), 0);
    dados::abre_entrada(arq, protegido);
    EXPECT_EQ(rastro(arq, "ii"), "42;F201 READ (" + protegido + ") end of file");
    dados::fecha_entrada(arq);
    EXPECT_EQ(apoio::le_arquivo(protegido), "42\n");

    for (const auto& p : {pasta.caminho(), pasta / "nao_ha" / "e.txt"}) {
        const auto e = erro_de([&] { dados::abre_entrada(arq, p.string()); });
        EXPECT_EQ(e.codigo() + " " + e.instrucao(), "F101 OPEN (" + p.string() + ")");
    }
}

// With the run's traps live, a real beyond the double range must come out as
// a read report, not as a floating-point fault; an underflow passes.
TEST(LeituraRealDeathTest, ConversaoNaoDisparaAsArmadilhas) {
    EXPECT_EXIT(
        {
            tempo_execucao::ativa_armadilhas_fp();
            const bool certo =
                le("1e400\n", "r").rfind("F205", 0) == 0 &&
                le("1e-400\n4.9e-324\n-0.1\n", "rrrr").rfind("0.000000;0.000000;-0.100000;F201", 0) == 0;
            std::_Exit(certo ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

namespace {

// The conversions alone, with the doubles given by their bit patterns so that
// the expectation does not come from the library the conversion itself uses.
TEST(LeituraConversao, TextosParaNumeros) {
    using dados::conversao;
    struct caso_real {
        const char* texto;
        conversao esperada;
        std::uint64_t bits;
    };
    const caso_real reais[] = {
        {"0.1", conversao::certa, 0x3FB999999999999Aull},
        {"5E-1", conversao::certa, 0x3FE0000000000000ull},
        {"-.5e+0", conversao::certa, 0xBFE0000000000000ull},
        {"2", conversao::certa, 0x4000000000000000ull},
        {"1.7976931348623157e308", conversao::certa, 0x7FEFFFFFFFFFFFFFull},
        {"4.9e-324", conversao::certa, 0x0000000000000001ull},
        {"1e-400", conversao::certa, 0x0000000000000000ull},  // underflow is taken as it comes
        {"1.8e308", conversao::fora_do_intervalo, 0},
        {"0x10", conversao::forma_errada, 0},
        {"inf", conversao::forma_errada, 0},
        {"nan", conversao::forma_errada, 0},
        {"1.2.3", conversao::forma_errada, 0},
        {"1e", conversao::forma_errada, 0},
        {".", conversao::forma_errada, 0},
    };
    for (const auto& c : reais) {
        SCOPED_TRACE(c.texto);
        double r = -1.0;
        ASSERT_EQ(dados::converte_real(c.texto, r), c.esperada);
        if (c.esperada == conversao::certa) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(r), c.bits);
        }
    }
    struct caso_inteiro {
        const char* texto;
        conversao esperada;
        std::int32_t valor;
    };
    const caso_inteiro inteiros[] = {
        {"-2147483648", conversao::certa, INT32_MIN},
        {"2#1111111111111111111111111111111", conversao::certa, INT32_MAX},
        {"Z#1", conversao::forma_errada, 0},
        {"36#zik0zk", conversao::fora_do_intervalo, 0},
        {"00012", conversao::certa, 12},
        {"", conversao::forma_errada, 0},
    };
    for (const auto& c : inteiros) {
        SCOPED_TRACE(c.texto);
        std::int32_t r = -1;
        ASSERT_EQ(dados::converte_inteiro(c.texto, r), c.esperada);
        if (c.esperada == conversao::certa) {
            EXPECT_EQ(r, c.valor);
        }
    }
}

}  // namespace
