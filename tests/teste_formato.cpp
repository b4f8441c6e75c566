// Result lines byte for byte: the integer and real fields against an
// independent decimal reference, and the format interpreter on the layouts
// the result files use.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "processamento/arquivo_saida.hpp"
#include "processamento/campos.hpp"
#include "processamento/formato.hpp"
#include "processamento/produto_128.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/relatorio_erro.hpp"

namespace {

using processamento::valor;

std::string linhas_de(const std::string& texto_formato, const std::vector<valor>& valores) {
    const processamento::formato f = processamento::compila_formato(texto_formato);
    std::string s;
    processamento::formata(s, f, valores);
    return s;
}

std::string e25_15(double v) {
    char b[26] = {};
    EXPECT_EQ(processamento::campo_e25_15(b, v), b + 25);
    return std::string(b, 25);
}

std::string i10(std::int32_t v) {
    char b[11] = {};
    EXPECT_EQ(processamento::campo_i10(b, v), b + 10);
    return std::string(b, 10);
}

// ---------------------------------------------------------------------------
// Decimal reference for E25.15 under 1P, built from the exact expansion that
// printf gives (800 digits hold every digit of any double).

struct expansao {
    std::string digitos;  // first significant digit, then the rest
    int expoente = 0;     // value = d.ddd... × 10^expoente
};

expansao expande(double v) {
    char b[900];
    std::snprintf(b, sizeof b, "%.800e", std::fabs(v));
    expansao e;
    e.digitos = std::string(1, b[0]) + std::string(b + 2, 800);
    e.expoente = std::atoi(std::strchr(b, 'e') + 1);
    return e;
}

void incrementa(std::string& d, int& expoente) {
    int i = static_cast<int>(d.size()) - 1;
    while (i >= 0 && d[static_cast<std::size_t>(i)] == '9')
        d[static_cast<std::size_t>(i--)] = '0';
    if (i < 0) {
        d[0] = '1';
        ++expoente;
    } else {
        ++d[static_cast<std::size_t>(i)];
    }
}

// The 17 significant digits, exact value rounded half away from zero.
std::string dezessete_digitos(const expansao& e, int& p) {
    p = e.expoente;
    std::string d17 = e.digitos.substr(0, 17);
    if (e.digitos[17] >= '5') incrementa(d17, p);  // exact digits: 5 and beyond is at least half
    return d17;
}

std::string referencia_e25_15(double v) {
    if (v == 0.0) return "    0.000000000000000E+00";
    int p = 0;
    const std::string d17 = dezessete_digitos(expande(v), p);
    std::string d16 = d17.substr(0, 16);
    if (d17[16] >= '5') incrementa(d16, p);
    std::string texto = std::signbit(v) ? "-" : "";
    texto += d16.substr(0, 1) + "." + d16.substr(1);
    char ex[16];
    if (p >= -99 && p <= 99) {
        std::snprintf(ex, sizeof ex, "E%c%02d", p < 0 ? '-' : '+', std::abs(p));
    } else {
        std::snprintf(ex, sizeof ex, "%c%03d", p < 0 ? '-' : '+', std::abs(p));
    }
    texto += ex;
    return std::string(25 - texto.size(), ' ') + texto;
}

// Doubles whose exact expansion has an exact tie at the 18th significant
// digit: m·2^-k with m·5^k of exactly 18 digits, for every bit length of m.
std::vector<double> doubles_com_empate() {
    std::mt19937_64 g(20240611);
    std::vector<double> r;
    for (int k = 1; k <= 60; ++k) {
        for (int bits = 1; bits <= 53; ++bits) {
            for (int n = 0; n < 12; ++n) {
                const std::uint64_t alto = std::uint64_t{1} << (bits - 1);
                const std::uint64_t m = (alto | (g() & (alto - 1))) | 1;
                r.push_back(std::ldexp(static_cast<double>(m), -k));
            }
        }
    }
    return r;
}

// Values where the two roundings, the exponent form or the carries are easy
// to get wrong.
std::vector<double> valores_dificeis() {
    std::vector<double> v = {0.25,
                             1.0 / 3.0,
                             1.0 / 7.0,
                             0.625,
                             1.0,
                             0.1,
                             0.5,
                             2.0 / 3.0,
                             1e22,
                             1e23,
                             1e100,
                             1e-100,
                             9007199254740991.0,
                             9007199254740992.0,
                             9007199254740994.0,
                             1e16,
                             1e17,
                             123456789012345678.0,
                             1125899906842624.25,
                             562949953421312.125,
                             std::numeric_limits<double>::denorm_min(),
                             2 * std::numeric_limits<double>::denorm_min(),
                             DBL_MIN,
                             std::nextafter(DBL_MIN, 0.0),
                             DBL_MAX,
                             std::nextafter(DBL_MAX, 0.0)};
    const double inf = std::numeric_limits<double>::infinity();
    auto com_vizinhos = [&](double x, int passos) {
        v.push_back(x);
        double baixo = x, cima = x;
        for (int i = 0; i < passos; ++i) {
            baixo = std::nextafter(baixo, 0.0);
            cima = std::nextafter(cima, inf);
            if (baixo > 0) v.push_back(baixo);
            if (std::isfinite(cima)) v.push_back(cima);
        }
    };
    for (int e = -1074; e <= 1023; ++e)
        com_vizinhos(std::ldexp(1.0, e), 1);
    char b[64];
    for (int p = -323; p <= 308; ++p) {
        std::snprintf(b, sizeof b, "1e%d", p);
        com_vizinhos(std::strtod(b, nullptr), 3);
        for (const char* mantissa :
             {"9.9999999999999995", "9.99999999999999949", "9.9999999999999999", "5", "2.5"}) {
            std::snprintf(b, sizeof b, "%se%d", mantissa, p);
            const double x = std::strtod(b, nullptr);
            if (x > 0 && std::isfinite(x)) v.push_back(x);
        }
    }
    // 17-digit decimal strings ending in 5, read back as the nearest double.
    std::mt19937_64 g(7);
    for (int n = 0; n < 4000; ++n) {
        std::snprintf(b, sizeof b, "%d.%015llu5e%d", static_cast<int>(1 + g() % 9),
                      static_cast<unsigned long long>(g() % 1000000000000000ULL),
                      static_cast<int>(g() % 617) - 308);
        const double x = std::strtod(b, nullptr);
        if (x > 0 && std::isfinite(x)) v.push_back(x);
    }
    for (double x : doubles_com_empate())
        v.push_back(x);
    const std::size_t positivos = v.size();
    for (std::size_t i = 0; i < positivos; ++i)
        v.push_back(-v[i]);
    return v;
}

// ---------------------------------------------------------------------------

struct caso_e {
    double valor;
    const char* esperado;
};

TEST(FormatoCampoE, ExemplosDaRegra) {
    const caso_e casos[] = {
        {0.25, "    2.500000000000000E-01"},
        {-1.0 / 3.0, "   -3.333333333333333E-01"},
        {1.0 / 7.0, "    1.428571428571429E-01"},  // 1.4285714285714285 rounds up, not ...28
        {0.0, "    0.000000000000000E+00"},
        {-0.0, "    0.000000000000000E+00"},
        {1.0, "    1.000000000000000E+00"},
        {1e22, "    1.000000000000000E+22"},
        {1e100, "    1.000000000000000+100"},
        {1e-100, "    1.000000000000000-100"},
        {0.625, "    6.250000000000000E-01"},
        {std::numeric_limits<double>::denorm_min(), "    4.940656458412465-324"},
        {DBL_MAX, "    1.797693134862316+308"},
        {-DBL_MAX, "   -1.797693134862316+308"},
        {DBL_MIN, "    2.225073858507201-308"},
        // Below the power of ten, but nines carry into the exponent.
        {1e24, "    1.000000000000000E+24"},                 // 9.9999999999999998e23
        {1e-6, "    1.000000000000000E-06"},                 // 9.9999999999999995e-07
        {1e99, "    1.000000000000000E+99"},                 // 9.9999999999999997e98
        {1e101, "    1.000000000000000+101"},                // 9.9999999999999998e100
        {1e23, "    9.999999999999999E+22"},                 // 9.9999999999999992e22
        {1125899906842624.25, "    1.125899906842624E+15"},  // exact tie at the 18th digit
    };
    for (const auto& c : casos) {
        EXPECT_EQ(e25_15(c.valor), c.esperado) << "value " << c.valor;
    }
}

// How many of the values the field writes otherwise than the reference; the
// first ten are reported with their bits.
int diferencas_da_referencia(const std::vector<double>& valores) {
    int falhas = 0;
    for (double v : valores) {
        const std::string esperado = referencia_e25_15(v);
        const std::string obtido = e25_15(v);
        if (obtido != esperado && ++falhas <= 10) {
            ADD_FAILURE() << "value " << std::hexfloat << v << ": got \"" << obtido << "\" expected \""
                          << esperado << "\"";
        }
    }
    return falhas;
}

TEST(FormatoCampoE, ValoresDificeisComoAReferencia) {
    const std::vector<double> valores = valores_dificeis();
    int termina_em_5 = 0;
    for (double v : valores) {
        int p = 0;
        if (v != 0 && dezessete_digitos(expande(v), p)[16] == '5') ++termina_em_5;
    }
    EXPECT_EQ(diferencas_da_referencia(valores), 0);
    EXPECT_GT(valores.size(), 20000u);
    EXPECT_GT(termina_em_5, 1000);  // the second rounding is really exercised
}

TEST(FormatoCampoE, PadroesDeBitsAleatoriosComoAReferencia) {
    std::mt19937_64 g(12345);
    std::vector<double> valores;
    while (valores.size() < 300000) {
        const std::uint64_t bits = g();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v)) valores.push_back(v);
    }
    EXPECT_EQ(diferencas_da_referencia(valores), 0);
}

// Coordinates of a mesh: mostly moderate magnitudes with long fractions, the
// range the field formats without the general conversion. Values around every
// power of ten of that range and its edges, against the reference.
TEST(FormatoCampoE, ValoresDeMalhaComoAReferencia) {
    std::mt19937_64 g(2026);
    std::uniform_real_distribution<double> unidade(-2.0, 2.0), expoente(-6.0, 17.0);
    std::vector<double> valores;
    for (int k = 0; k < 150000; ++k)
        valores.push_back(unidade(g));
    for (int k = 0; k < 150000; ++k)
        valores.push_back(std::pow(10.0, expoente(g)) * (k % 2 ? -1 : 1));
    for (int e = -4; e <= 17; ++e) {
        double v = std::pow(10.0, e);
        for (int k = 0; k < 40; ++k)
            v = std::nextafter(v, 0.0);
        for (int k = 0; k < 80; ++k, v = std::nextafter(v, 1e300))
            valores.push_back(v);
    }
    for (double v : {0x1p-127, 0x1.fffffffffffffp-127, 0x1p-128, 0x1p52, 0x1.fffffffffffffp51, 0x1p53,
                     0x1.0000000000001p52, 1e-3, 0.001000000000000000020816681711721685, 9.5367431640625e-7})
        valores.push_back(v);
    EXPECT_EQ(diferencas_da_referencia(valores), 0);
}

// The 64 x 64 -> 128-bit product behind the exact digits, from its 32-bit
// halves as 32-bit builds take it, against products known by hand and, on
// builds that have a 128-bit integer, against it on random and edge operands.
TEST(FormatoCampoE, ProdutoDe128Bits) {
    using processamento::produto_128;
    struct caso {
        std::uint64_t a, b, alto, baixo;
    };
    const caso casos[] = {
        {0, ~0ull, 0, 0},
        {~0ull, ~0ull, ~0ull - 1, 1},
        {1ull << 63, 2, 1, 0},
        {0xFFFFFFFFull, 0xFFFFFFFFull, 0, 0xFFFFFFFE00000001ull},
        {(1ull << 53) - 1, 10000000000000000000ull, 0x1158E460913CFFull, 0x7538DCFB76180000ull},
    };
    for (const caso& c : casos) {
        for (const produto_128 p :
             {processamento::multiplica_por_metades(c.a, c.b), processamento::multiplica_64x64(c.a, c.b)}) {
            EXPECT_EQ(p.alto, c.alto) << c.a << " x " << c.b;
            EXPECT_EQ(p.baixo, c.baixo) << c.a << " x " << c.b;
        }
    }
    EXPECT_EQ(processamento::desloca_128({0x5, 0x8000000000000001ull}, 1), 0xC000000000000000ull);
    EXPECT_EQ(processamento::desloca_128({0x5, 0x1}, 64), 0x5u);
    EXPECT_EQ(processamento::desloca_128({0x5, 0x1}, 66), 0x1u);
    EXPECT_EQ(processamento::desloca_128({0x5, 0x1}, 0), 0x1u);
#if defined(__SIZEOF_INT128__)
    std::mt19937_64 g(128);
    for (int k = 0; k < 100000; ++k) {
        const std::uint64_t a = g() >> (g() % 64), b = g() >> (g() % 64);
        const unsigned __int128 r = static_cast<unsigned __int128>(a) * b;
        const produto_128 p = processamento::multiplica_por_metades(a, b);
        ASSERT_EQ(p.alto, static_cast<std::uint64_t>(r >> 64)) << a << " x " << b;
        ASSERT_EQ(p.baixo, static_cast<std::uint64_t>(r)) << a << " x " << b;
        const int s = static_cast<int>(g() % 128);
        ASSERT_EQ(processamento::desloca_128(p, s), static_cast<std::uint64_t>(r >> s)) << s;
    }
#endif
}

// The field takes its 17 digits from a conversion that breaks exact ties to
// even; that is only safe if an exact tie at the 18th digit always leaves a 2
// or a 7 as the 17th digit. Checked here on doubles m·2^-k of every kind.
TEST(FormatoCampoE, EmpateNoDecimoOitavoDigitoDeixa2Ou7) {
    std::vector<double> valores = doubles_com_empate();
    std::mt19937_64 g(99);
    for (int n = 0; n < 150000; ++n) {
        const std::uint64_t m = 1 + (g() >> 11);  // 1 … 2^53
        const int k = static_cast<int>(g() % (1126 + 970)) - 970;
        const double x = std::ldexp(static_cast<double>(m), -k);
        if (x > 0 && std::isfinite(x)) valores.push_back(x);
    }
    int empates_2 = 0;
    int empates_7 = 0;
    for (double v : valores) {
        const expansao e = expande(v);
        if (e.digitos[17] != '5' || e.digitos.find_first_not_of('0', 18) != std::string::npos) continue;
        const char d17 = e.digitos[16];
        if (d17 == '2') {
            ++empates_2;
        } else if (d17 == '7') {
            ++empates_7;
        } else {
            ADD_FAILURE() << "tie with 17th digit " << d17 << " for " << std::hexfloat << v;
        }
    }
    EXPECT_GT(empates_2, 100);
    EXPECT_GT(empates_7, 100);
}

// Runs the fields over every kind of double with the run's traps live; a
// trap ends the process with status 1.
void formata_com_armadilhas(const std::vector<double>& valores) {
    tempo_execucao::ativa_armadilhas_fp();
    char b[32];
    std::mt19937_64 g(5);
    for (int n = 0; n < 100000; ++n) {
        const std::uint64_t bits = g();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        processamento::campo_e25_15(b, v);  // non-finite values included
    }
    for (double v : valores)
        processamento::campo_e25_15(b, v);
    std::string s;
    const auto f = processamento::compila_formato("(I10,2(1P,E25.15))");
    for (double v : {DBL_MAX, std::numeric_limits<double>::denorm_min(), -1e-300, 1e308}) {
        processamento::formata(s, f, std::vector<valor>{-1000000000, v, -v});
    }
    std::exit(0);
}

TEST(FormatoCampoE, NaoDisparaArmadilhasDePontoFlutuante) {
    const std::vector<double> valores = valores_dificeis();
    EXPECT_EXIT(formata_com_armadilhas(valores), ::testing::ExitedWithCode(0), "");
}

TEST(FormatoCampoE, ValoresNaoFinitosOcupamALargura) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(e25_15(inf), "                 Infinity");
    EXPECT_EQ(e25_15(-inf), "                -Infinity");
    EXPECT_EQ(e25_15(std::numeric_limits<double>::quiet_NaN()), "                      NaN");
}

TEST(FormatoCampoI, DezColunas) {
    const struct {
        std::int32_t valor;
        const char* esperado;
    } casos[] = {
        {0, "         0"},           {7, "         7"},
        {-1, "        -1"},          {2147483647, "2147483647"},
        {1000000000, "1000000000"},  {-999999999, "-999999999"},
        {-1000000000, "**********"}, {std::numeric_limits<std::int32_t>::min(), "**********"},
    };
    for (const auto& c : casos)
        EXPECT_EQ(i10(c.valor), c.esperado) << c.valor;
}

// Fields and scale factors the result files do not use are refused when the
// format is compiled, not written in some form of their own.
TEST(FormatoCompilacao, RecusaOutrasLargurasEEscalas) {
    const char* casos[] = {
        "(E12.4)", "(1P,E12.4)", "(1P,E26.15)", "(1P,E25.16)", "(1P,E10.0)",     "(I3)",           "(I11)",
        "(I1)",    "(E25.15)",   "(E25.15,1P)", "(0P,E25.15)", "(1P,0P,E25.15)", "(2(E25.15,1P))",
    };
    for (const char* c : casos) {
        EXPECT_THROW(processamento::compila_formato(c), std::invalid_argument) << c;
    }
    // 1P anywhere before the field, inside a group as well.
    EXPECT_NO_THROW(processamento::compila_formato("(1P,I10,E25.15)"));
    EXPECT_NO_THROW(processamento::compila_formato("(I10,2(1P,E25.15),E25.15)"));
}

// ---------------------------------------------------------------------------
// The interpreter

struct caso_formato {
    const char* nome;
    const char* formato;
    std::vector<valor> valores;
    std::string esperado;
};

const std::string vertice_7 = "         7    2.500000000000000E-01    6.250000000000000E-01\r\n";
const std::string cabecalho_vertices =
    "\r\n   v\xE9rtice    posi\xE7\xE3o x                posi\xE7\xE3o y\r\n";
const std::string cabecalho_volumes =
    "    volume     numera\xE7\xE3o dos v\xE9rtices do quadril\xE1tero correspondente ao volume\r\n";

TEST(FormatoLinhas, LayoutsDosArquivos) {
    const caso_formato casos[] = {
        {"vertice", "(I10,2(1P,E25.15))", {7, 0.25, 0.625}, vertice_7},
        {"coordenadas",
         "(2(1P,E25.15))",
         {0.0, 1.0},
         "    0.000000000000000E+00    1.000000000000000E+00\r\n"},
        {"volume", "(5(I10))", {1, 1, 2, 7, 6}, "         1         1         2         7         6\r\n"},
        {"cabecalho vertices",
         "(/,T4,'v\xE9rtice',T15,'posi\xE7\xE3o x',T40,'posi\xE7\xE3o y')",
         {},
         cabecalho_vertices},
        {"cabecalho volumes",
         "(T5,'volume',T16,'numera\xE7\xE3o dos v\xE9rtices do quadril\xE1tero correspondente ao volume')",
         {},
         cabecalho_volumes},
        {"tamanhos",
         "(I10,' = n\xFAmero de volumes na dire\xE7\xE3o ksi',/,I10,' = n\xFAmero de volumes na "
         "dire\xE7\xE3o eta',/,"
         "I10,' = n\xFAmero de v\xE9rtices na dire\xE7\xE3o ksi',/,I10,' = n\xFAmero de v\xE9rtices na "
         "dire\xE7\xE3o eta')",
         {4, 2, 5, 3},
         "         4 = n\xFAmero de volumes na dire\xE7\xE3o ksi\r\n"
         "         2 = n\xFAmero de volumes na dire\xE7\xE3o eta\r\n"
         "         5 = n\xFAmero de v\xE9rtices na dire\xE7\xE3o ksi\r\n"
         "         3 = n\xFAmero de v\xE9rtices na dire\xE7\xE3o eta\r\n"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(linhas_de(c.formato, c.valores), c.esperado) << c.nome;
    }
    // Line lengths by kind, without CR LF.
    EXPECT_EQ(vertice_7.size() - 2, 60u);
    EXPECT_EQ(cabecalho_vertices.size() - 4, 48u);
    EXPECT_EQ(cabecalho_volumes.size() - 2, 78u);
    const std::string tamanhos = linhas_de("(I10,' = n\xFAmero de v\xE9rtices na dire\xE7\xE3o ksi')", {-2});
    EXPECT_EQ(tamanhos.size() - 2, 46u);
}

// The I10 field of a value, as the expected lines spell it.
std::string c10(std::int32_t v) {
    return i10(v);
}

TEST(FormatoLinhas, RegrasDeLinha) {
    const caso_formato casos[] = {
        {"colunas no fim sao descartadas", "(I10,T20)", {1}, c10(1) + "\r\n"},
        {"textos apos o ultimo campo", "(I10,' a',T20,'b')", {1}, c10(1) + " a       b\r\n"},
        {"campo sem valor encerra apos os textos", "(I10,' a',I10,' b')", {1}, c10(1) + " a\r\n"},
        {"coluna a esquerda acrescenta", "('abcdef',T3,'x')", {}, "abcdefx\r\n"},
        {"coluna na posicao atual", "(T5,'a',T6,'b')", {}, "    ab\r\n"},
        {"coluna substitui a anterior", "(T3,T8,'a')", {}, "       a\r\n"},
        {"quebra descarta brancos pendentes", "(T3,/,'a')", {}, "\r\na\r\n"},
        {"quebra no fim", "('a',/)", {}, "a\r\n\r\n"},
        {"so quebra", "(/)", {}, "\r\n\r\n"},
        {"lista vazia", "()", {}, "\r\n"},
        {"campo sem valor na primeira posicao", "(I10)", {}, "\r\n"},
        {"apostrofos dobrados", "('it''s',' ''')", {}, "it's '\r\n"},
        {"brancos entre itens", "( I10 , 2(I10) , ' x' )", {1, 2, 3}, c10(1) + c10(2) + c10(3) + " x\r\n"},
        {"grupo de textos e colunas", "(2('-',T4,'a'),'b')", {}, "-  a-ab\r\n"},
        {"1P vale para o resto da chamada",
         "(1P,I10,/,E25.15)",
         {7, 0.25},
         c10(7) + "\r\n    2.500000000000000E-01\r\n"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(linhas_de(c.formato, c.valores), c.esperado) << c.nome;
    }
}

TEST(FormatoLinhas, ReversaoDoFormato) {
    const caso_formato casos[] = {
        {"doze valores em 5(I10)",
         "(5(I10))",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         "         1         2         3         4         5\r\n"
         "         6         7         8         9        10\r\n"
         "        11        12\r\n"},
        {"dez valores em 5(I10)",
         "(5(I10))",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         "         1         2         3         4         5\r\n"
         "         6         7         8         9        10\r\n"},
        {"volta ao ultimo grupo, textos seguintes incluidos",
         "('a',I10,2('b',I10),'c')",
         {1, 2, 3, 4, 5, 6, 7},
         "a" + c10(1) + "b" + c10(2) + "b" + c10(3) + "c\r\nb" + c10(4) + "b" + c10(5) + "c\r\nb" + c10(6) +
             "b" + c10(7) + "c\r\n"},
        {"para no campo sem valor",
         "('a',I10,2('b',I10),'c')",
         {1, 2, 3, 4, 5, 6},
         "a" + c10(1) + "b" + c10(2) + "b" + c10(3) + "c\r\nb" + c10(4) + "b" + c10(5) + "c\r\nb" + c10(6) +
             "b\r\n"},
        {"o ultimo grupo, nao o primeiro",
         "(2(I10),'x',1(I10))",
         {1, 2, 3, 4, 5},
         c10(1) + c10(2) + "x" + c10(3) + "\r\n" + c10(4) + "\r\n" + c10(5) + "\r\n"},
        {"sem grupo volta ao inicio", "('x',I10)", {1, 2}, "x" + c10(1) + "\r\nx" + c10(2) + "\r\n"},
        {"escala continua apos a reversao",
         "(1P,2(E25.15))",
         {0.25, 0.5, 0.75, 1.0},
         "    2.500000000000000E-01    5.000000000000000E-01\r\n"
         "    7.500000000000000E-01    1.000000000000000E+00\r\n"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(linhas_de(c.formato, c.valores), c.esperado) << c.nome;
    }
}

// Columns count from the start of the line each call begins, whatever the
// lines before it hold.
TEST(FormatoLinhas, EstadoRecomecaACadaChamada) {
    const auto f = processamento::compila_formato("('ab',T5,'c',T9)");
    std::string s;
    processamento::formata(s, f, {});
    processamento::formata(s, f, {});
    EXPECT_EQ(s, "ab  c\r\nab  c\r\n");
}

TEST(FormatoLinhas, EscritaRecusadaNaoDeixaLinhaParcial) {
    const struct {
        const char* formato;
        std::vector<valor> valores;
    } casos[] = {
        {"(I10)", {0.5}},           // a double for an integer field
        {"('a',1P,E25.15)", {1}},   // an integer for a real field
        {"(I10,/,I10)", {1, 2.0}},  // wrong kind after a complete line
        {"('a')", {1}},             // values but no field
        {"(I10,2('b'))", {1, 2}},   // starting again would take no value
        {"('a',/,'b')", {1}},       // same, from the start
    };
    apoio::pasta_temporaria pasta;
    const auto nome = (pasta / "saida.txt").string();
    apoio::grava_arquivo(nome, "antes\r\n");
    for (const auto& c : casos) {
        const auto f = processamento::compila_formato(c.formato);
        std::string s = "antes\r\n";
        EXPECT_THROW(processamento::formata(s, f, c.valores), std::invalid_argument) << c.formato;
        EXPECT_EQ(s, "antes\r\n") << c.formato;
        // Nor in a file: the old contents are not even cut.
        processamento::arquivo_saida arq;
        processamento::abre_saida(arq, nome);
        EXPECT_THROW(processamento::escreve_formatado(arq, f, c.valores), std::invalid_argument) << c.formato;
        processamento::fecha_saida(arq);
        EXPECT_EQ(apoio::le_arquivo(nome), "antes\r\n") << c.formato;
    }
}

TEST(FormatoCompilacao, RecusaOQueALinguagemNaoTem) {
    const char* casos[] = {
        "",
        "I10",
        "(I10",
        "(I10))",
        "(I10) x",
        "(I10,)",
        "(,I10)",
        "(I10,,I10)",
        "(I10 I10)",
        "(I0)",
        "(I)",
        "(I10.3)",
        "(E25)",
        "(E25.)",
        "(E.15)",
        "(E0.5)",
        "(E25.15E3)",
        "(F10.3)",
        "(X)",
        "(A)",
        "(i10)",
        "(2P,E25.15)",
        "(-1P,E25.15)",
        "(P,E25.15)",
        "(1PE25.15)",
        "(T0)",
        "(T)",
        "(2/)",
        "(2'a')",
        "(2T4)",
        "(0(I10))",
        "(0I10)",
        "(2)",
        "('abc)",
        "('a''')x",
        "(\"abc\")",
        "('a\r\nb')",
        "(I99999)",
        "(2(I10)",
        "(2(I10,))",
        // Groups have a count and do not nest; a field is repeated by a group.
        "((I10))",
        "(I10,(I10))",
        "(2(2(I10)))",
        "(2(I10,1(I10)))",
        "(3I10)",
        "(2E25.15)",
    };
    for (const char* c : casos) {
        EXPECT_THROW(processamento::compila_formato(c), std::invalid_argument) << c;
    }
}

// ---------------------------------------------------------------------------
// Writing to a real file

TEST(FormatoArquivo, LinhasNoArquivo) {
    apoio::pasta_temporaria pasta;
    const auto nome = (pasta / "saida.txt").string();
    const auto vertice = processamento::compila_formato("(I10,2(1P,E25.15))");
    const auto coordenadas = processamento::compila_formato("(2(1P,E25.15))");
    const auto cabecalho =
        processamento::compila_formato("(/,T4,'v\xE9rtice',T15,'posi\xE7\xE3o x',T40,'posi\xE7\xE3o y')");
    {
        processamento::arquivo_saida arq;
        processamento::abre_saida(arq, nome);
        processamento::escreve_formatado(arq, cabecalho, {});
        processamento::escreve_formatado(arq, vertice, {7, 0.25, 0.625});
        processamento::escreve_formatado(arq, coordenadas, {0.25, 0.625});
        processamento::escreve_bytes(arq, processamento::linha_branca);
        processamento::fecha_saida(arq);
    }
    EXPECT_EQ(apoio::le_arquivo(nome), cabecalho_vertices + vertice_7 +
                                           "    2.500000000000000E-01    6.250000000000000E-01\r\n"
                                           " \r\n");
}

TEST(FormatoArquivo, SoALinhaSeparadora) {
    apoio::pasta_temporaria pasta;
    const auto nome = (pasta / "malha.txt").string();
    apoio::grava_arquivo(nome, "conteudo antigo mais longo\r\n");
    {
        processamento::arquivo_saida arq;
        processamento::abre_saida(arq, nome);
        processamento::escreve_bytes(arq, processamento::linha_branca);
        processamento::fecha_saida(arq);
    }
    EXPECT_EQ(apoio::le_arquivo(nome), std::string("\x20\x0D\x0A"));
}

}  // namespace
