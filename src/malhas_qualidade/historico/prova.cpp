// The proof that the result files come from the smoothing re-run: the
// final coordinates' fields against the report file's, and the value a
// field reads back as.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <string_view>

#include "malhas_qualidade/historico/reexecucao.hpp"
#include "malhas_qualidade/leitura/arquivo_lido.hpp"
#include "malhas_qualidade/leitura/campos_lidos.hpp"
#include "processamento/campos.hpp"
#include "processamento/processamento.hpp"
#include "tempo_execucao/fios.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade {

namespace historico_interno {

namespace v = variaveis;

// The final coordinates' fields against the report file's, vertex by vertex.
void compara_relatorio(const pedido_historico& p, historico& h) {
    if (v::nvol_ksi != p.nvol_ksi_relatorio || v::nvol_eta != p.nvol_eta_relatorio) {
        h.resultado_prova = historico::prova::tamanhos;
        return;
    }
    arquivo_lido arq;
    abre_lido(arq, p.relatorio, true);
    const std::size_t inicio =
        processamento::linhas_iniciais_relatorio(v::nvol_ksi, v::nvol_eta, v::nvert_ksi, v::nvert_eta).size();
    constexpr std::size_t largura = processamento::largura_linha_vertice + 2;  // CR LF
    // x and y stand side by side from coluna_x on.
    constexpr std::size_t coluna_x = processamento::coluna_x, e25 = processamento::largura_e25_15;
    static_assert(processamento::coluna_y == coluna_x + e25);
    constexpr std::size_t linhas_bloco = 1 << 16;
    std::vector<char> bloco(linhas_bloco * largura);
    auto enche = [&](std::size_t n) {
        std::size_t cheio = 0;
        while (cheio < n) {
            const std::size_t lidos = le_bytes(arq, bloco.data() + cheio, n - cheio);
            if (lidos == 0) break;
            cheio += lidos;
        }
        return cheio;
    };
    std::size_t resto = inicio;
    while (resto > 0) {
        const std::size_t n = enche(std::min(resto, bloco.size()));
        if (n == 0) break;
        resto -= n;
    }
    const std::int64_t nvert = v::nvert;
    for (std::int64_t primeiro = 1; primeiro <= nvert; primeiro += linhas_bloco) {
        const std::int64_t n = std::min<std::int64_t>(linhas_bloco, nvert - primeiro + 1);
        const std::size_t cheio = resto == 0 ? enche(static_cast<std::size_t>(n) * largura) : 0;
        const auto completas = static_cast<std::int64_t>(cheio / largura);
        // The first vertex of the block whose fields differ, found by as many
        // threads as the run may use.
        std::atomic<std::int64_t> diferente{std::numeric_limits<std::int64_t>::max()};
        tempo_execucao::linhas_independentes(0, completas - 1, 2, [&](std::int64_t de, std::int64_t ate) {
            char campos[2 * e25];
            for (std::int64_t l = de; l <= ate; ++l) {
                const std::int64_t vv = primeiro + l;
                processamento::campo_e25_15(campos, v::x[vv]);
                processamento::campo_e25_15(campos + e25, v::y[vv]);
                if (std::memcmp(campos, bloco.data() + l * largura + coluna_x, 2 * e25) == 0) continue;
                std::int64_t atual = diferente.load();
                while (l < atual && !diferente.compare_exchange_weak(atual, l)) {
                }
                return;
            }
        });
        const std::int64_t l = diferente.load();
        if (l != std::numeric_limits<std::int64_t>::max()) {
            const std::int64_t vv = primeiro + l;
            char campos[2 * e25];
            processamento::campo_e25_15(campos, v::x[vv]);
            processamento::campo_e25_15(campos + e25, v::y[vv]);
            const char* const lido = bloco.data() + l * largura + coluna_x;
            const int k = std::memcmp(campos, lido, e25) != 0 ? 0 : 1;
            auto sem_brancos = [](const char* t) {
                std::string s(t, e25);
                return s.substr(std::min(s.find_first_not_of(' '), s.size()));
            };
            h.resultado_prova = historico::prova::vertice;
            h.vertice_diferente = vv;
            h.coordenada_diferente = k == 0 ? 'x' : 'y';
            h.texto_reexecucao = sem_brancos(campos + e25 * k);
            h.texto_arquivo = sem_brancos(lido + e25 * k);
            return;
        }
        if (completas < n) {
            h.resultado_prova = historico::prova::arquivo_curto;
            h.vertice_diferente = primeiro + completas;
            return;
        }
    }
    h.resultado_prova = historico::prova::confere;
}

}  // namespace historico_interno

using historico_interno::nao_numero;
using historico_interno::potencias_exatas;

// The E25.15 field of x holds 16 digits D and an exponent, the value
// D * 10^q. Where D and 10^|q| are doubles exactly (|q| at most 22), one
// multiplication or division rounds that to the nearest
// double, which is what the report's reader, a correctly rounded
// conversion, gives too; the others go through the field's text and that
// reader.
namespace {

// The common case of valor_gravado: the value is D / 10^-q, with D signed;
// false for the others.
bool quociente_gravado(double x, double& numerador, double& divisor) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const std::uint64_t sinal = bits & (std::uint64_t{1} << 63);
    const double magnitude = std::bit_cast<double>(bits ^ sinal);
    if (magnitude == 0.0 || !std::isfinite(magnitude)) return false;
    std::uint64_t d16 = 0;
    int p = 0;
    processamento::digitos_e25_15(magnitude, d16, p);
    const int q = p - 15;
    // Up to 10^16 < 2^54, an even D is a double exactly too.
    if (!(d16 <= (std::uint64_t{1} << 53) || (d16 & 1) == 0) || q < -22 || q >= 0) return false;
    const double d = static_cast<double>(d16);
    // -(D / P) is (-D) / P, to the bit.
    numerador = sinal != 0 ? -d : d;
    divisor = potencias_exatas[-q];
    return true;
}

}  // namespace

// The E25.15 field of x holds 16 digits D and an exponent, the value
// D * 10^q. Where D and 10^|q| are doubles exactly (|q| at most 22), one
// multiplication or division rounds that to the nearest
// double, which is what the report's reader, a correctly rounded
// conversion, gives too; the others go through the field's text and that
// reader.
double valor_gravado(double x) {
    double numerador = 0.0, divisor = 0.0;
    if (quociente_gravado(x, numerador, divisor)) return numerador / divisor;
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const std::uint64_t sinal = bits & (std::uint64_t{1} << 63);
    const double magnitude = std::bit_cast<double>(bits ^ sinal);
    if (magnitude == 0.0) return 0.0;                  // the field of either zero reads back as +0
    if (!std::isfinite(magnitude)) return nao_numero;  // no report file holds one
    std::uint64_t d16 = 0;
    int p = 0;
    processamento::digitos_e25_15(magnitude, d16, p);
    const int q = p - 15;
    double r = 0.0;
    if ((d16 <= (std::uint64_t{1} << 53) || (d16 & 1) == 0) && q >= 0 && q <= 22) {
        r = static_cast<double>(d16) * potencias_exatas[q];
    } else {
        char campo[processamento::largura_e25_15];
        processamento::campo_e25_15(campo, magnitude);
        std::string_view texto(campo, sizeof campo);
        texto.remove_prefix(texto.find_first_not_of(' '));
        if (!le_real_campo(texto, r)) return nao_numero;
    }
    return sinal != 0 ? -r : r;
}

namespace historico_interno {

// The divisions apart from the digits: one after another they wait each for
// the last, side by side they overlap.
void valores_gravados(const double* x, const double* anterior, double* r, std::size_t n) {
    constexpr std::size_t bloco = 64;
    double numeradores[bloco], divisores[bloco];
    for (std::size_t de = 0; de < n; de += bloco) {
        const std::size_t m = std::min(bloco, n - de);
        for (std::size_t k = 0; k < m; ++k) {
            if (anterior != nullptr &&
                std::bit_cast<std::uint64_t>(x[de + k]) == std::bit_cast<std::uint64_t>(anterior[de + k])) {
                numeradores[k] = r[de + k];  // the value it was written as
                divisores[k] = 1.0;
                continue;
            }
            if (quociente_gravado(x[de + k], numeradores[k], divisores[k])) continue;
            // Division by 1 changes nothing, not a number included.
            numeradores[k] = valor_gravado(x[de + k]);
            divisores[k] = 1.0;
        }
        for (std::size_t k = 0; k < m; ++k)
            r[de + k] = numeradores[k] / divisores[k];
    }
}

}  // namespace historico_interno

}  // namespace malhas_qualidade
