#include "malhas_qualidade/malha_lida.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>
#include <utility>

#include "malhas_qualidade/arquivo_lido.hpp"
#include "malhas_qualidade/erros.hpp"
#include "processamento/processamento.hpp"

namespace malhas_qualidade {

namespace {

// Bytes taken from the file per read: big enough that the system calls cost
// nothing beside the parsing, small enough to add little to the peak memory.
constexpr std::size_t tamanho_bloco = std::size_t{1} << 22;

// No line of a result file comes near this; a longer one means a file of
// another kind, and refusing it keeps the memory bounded.
constexpr std::size_t linha_maxima = std::size_t{1} << 16;

// The lines of one file, from an open file a block at a time or from memory.
// malhas_segmentos ends every line with CR LF, the last one included, so a
// line without it is a file that was cut or changed.
struct leitor_linhas {
    arquivo_lido arquivo;  // not open when the bytes are in memory
    std::string nome;
    std::vector<char> bloco;
    const char* inicio = nullptr;  // unconsumed bytes: inicio .. fim
    const char* fim = nullptr;
    bool esgotado = false;
    std::int64_t linha = 0;  // number of the line last returned
};

void abre_arquivo(leitor_linhas& l, const std::string& caminho) {
    l.nome = caminho;
    abre_lido(l.arquivo, caminho, true);
    l.bloco.resize(tamanho_bloco);
    l.inicio = l.fim = l.bloco.data();
}

void abre_memoria(leitor_linhas& l, const std::string& nome, const std::string& bytes) {
    l.nome = nome;
    l.inicio = bytes.data();
    l.fim = bytes.data() + bytes.size();
    l.esgotado = true;
}

// Moves the unconsumed bytes to the front of the block and fills the rest.
void recarrega(leitor_linhas& l) {
    const std::size_t resto = static_cast<std::size_t>(l.fim - l.inicio);
    if (resto > linha_maxima) falha(l.nome, l.linha + 1, "line longer than 65536 bytes: not a result file");
    std::memmove(l.bloco.data(), l.inicio, resto);
    std::size_t cheio = resto;
    while (cheio < l.bloco.size()) {
        const std::size_t lidos = le_bytes(l.arquivo, l.bloco.data() + cheio, l.bloco.size() - cheio);
        if (lidos == 0) {
            l.esgotado = true;
            break;
        }
        cheio += lidos;
    }
    l.inicio = l.bloco.data();
    l.fim = l.bloco.data() + cheio;
}

enum class fim_linha { cr_lf, cortada };

// The next line without its CR LF; false at the end of the file. A line the
// file ends in, without its line end, comes back as cortada, for the caller
// to say what it was cut in; a line ended by LF alone fails here.
bool proxima_linha(leitor_linhas& l, std::string_view& linha, fim_linha& como) {
    for (;;) {
        const auto n = static_cast<std::size_t>(l.fim - l.inicio);
        const char* quebra = n > 0 ? static_cast<const char*>(std::memchr(l.inicio, '\n', n)) : nullptr;
        if (quebra == nullptr && !l.esgotado) {
            recarrega(l);
            continue;
        }
        if (quebra == nullptr && n == 0) return false;
        const char* fim_linha = quebra != nullptr ? quebra : l.fim;
        linha = std::string_view(l.inicio, static_cast<std::size_t>(fim_linha - l.inicio));
        ++l.linha;
        if (linha.size() > linha_maxima)
            falha(l.nome, l.linha, "line longer than 65536 bytes: not a result file");
        l.inicio = quebra != nullptr ? quebra + 1 : l.fim;
        como = quebra != nullptr ? fim_linha::cr_lf : fim_linha::cortada;
        if (quebra != nullptr) {
            if (linha.empty() || linha.back() != '\r')
                falha(
                    l.nome, l.linha,
                    "the line ends with LF alone: malhas_segmentos ends every line with CR LF (was the file "
                    "converted or edited?)");
            linha.remove_suffix(1);
        }
        return true;
    }
}

bool digito(char c) {
    return c >= '0' && c <= '9';
}

// An I10 field exactly as the program writes it: blanks, then "-" for a
// negative value, then the digits without a leading zero ("0" alone for
// zero), right-justified in the 10 columns. "032", "-0", "+32" or a blank
// after the digits are not what it writes.
bool inteiro_i10(std::string_view c, std::int64_t& valor) {
    if (c.size() != 10) return false;
    std::size_t k = 0;
    while (k < c.size() && c[k] == ' ')
        ++k;
    const bool negativo = k < c.size() && c[k] == '-';
    if (negativo) ++k;
    if (k == c.size() || !digito(c[k]) || (c[k] == '0' && (negativo || k + 1 < c.size()))) return false;
    // Decimal digits by hand: the volume file alone holds ten million of
    // them, and this is the bulk of its parsing.
    std::int64_t v = 0;
    for (; k < c.size(); ++k) {
        if (!digito(c[k])) return false;
        v = v * 10 + (c[k] - '0');
    }
    if (negativo) v = -v;
    // What the field holds is a 32-bit value.
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return false;
    valor = v;
    return true;
}

// std::from_chars on a double, with the value rounded once. The 32-bit x86
// libstdc++ is built for the x87 unit, whose extended precision rounds the
// product of from_chars' fast path twice: one field in tens of thousands
// then reads one unit in the last place off ("3.301188987276953E+29").
// There the syntax stays from_chars', and the value is strtod's, which
// rounds once; the text of a field is short.
std::from_chars_result le_double(const char* inicio, const char* fim, double& valor) {
    const auto r = std::from_chars(inicio, fim, valor, std::chars_format::scientific);
#if defined(__i386__) || defined(_M_IX86)
    char texto[64];
    const auto n = static_cast<std::size_t>(r.ptr - inicio);
    if (r.ec == std::errc() && n < sizeof texto) {
        std::memcpy(texto, inicio, n);
        texto[n] = '\0';
        valor = std::strtod(texto, nullptr);
    }
#endif
    return r;
}

// An E25.15 field exactly as the program writes it under 1P: three blanks,
// a blank or "-", a digit, ".", fifteen digits, and the exponent: "E", its
// sign and two digits, or, from 100 on, its sign and three digits without
// the letter. The first digit is 0 only in the field of zero,
// "0.000000000000000E+00", which has no sign; the exponent 0 is "E+00".
// Anything else ("e", "-.", a digit more or less, an exponent of three
// digits below 100) is not what the program writes, and a changed byte
// there must not pass for a coordinate. The value is the correctly rounded
// one, as any reader takes it.
bool real_e25_15(std::string_view c, double& valor) {
    if (c.size() != 25) return false;
    const char* const f = c.data();
    // Eight bytes at once: each from '0' to '9' exactly when its high half
    // is 3 and adding 6 leaves it 3 (no byte can carry into the next once
    // every high half is 3). The report holds millions of these fields.
    auto oito_digitos = [](const char* p) {
        std::uint64_t x;
        std::memcpy(&x, p, 8);
        constexpr std::uint64_t altos = 0xF0F0F0F0F0F0F0F0u, tres = 0x3030303030303030u;
        return (x & altos) == tres && ((x + 0x0606060606060606u) & altos) == tres;
    };
    if (std::memcmp(f, "   ", 3) != 0 || (f[3] != ' ' && f[3] != '-') || !digito(f[4]) || f[5] != '.' ||
        !oito_digitos(f + 6) || !oito_digitos(f + 13))
        return false;
    const bool com_letra = f[21] == 'E';
    const char sinal = f[com_letra ? 22 : 21];
    if ((sinal != '+' && sinal != '-') || !digito(f[23]) || !digito(f[24]) || (!com_letra && !digito(f[22])))
        return false;
    if (com_letra) {
        if (sinal == '-' && f[23] == '0' && f[24] == '0') return false;  // E-00: the exponent 0 is E+00
    } else if (f[22] == '0') {
        return false;  // three digits only from 100 on
    }
    if (f[4] == '0' && std::memcmp(f + 3, " 0.000000000000000E+00", 22) != 0) return false;
    // from_chars takes the field from its sign or first digit as it stands;
    // the form without the letter is given one.
    const char* inicio = f[3] == '-' ? f + 3 : f + 4;
    const char* fim = f + 25;
    char texto[32];
    if (!com_letra) {
        const auto n = static_cast<std::size_t>(f + 21 - inicio);
        std::memcpy(texto, inicio, n);
        texto[n] = 'e';
        std::memcpy(texto + n + 1, f + 21, 4);
        inicio = texto;
        fim = texto + n + 5;
    }
    const auto r = le_double(inicio, fim, valor);
    // Beyond the double range (a field rounded up past the largest double)
    // no report holds a value.
    return r.ec == std::errc() && r.ptr == fim && std::isfinite(valor);
}

std::string texto_campo(std::string_view c) {
    return citacao(c);
}

// What the messages say of a field that is not in the program's form.
const char forma_i10[] =
    " in the form malhas_segmentos writes (I10: the digits right-justified in 10 columns, no leading zero): ";
const char forma_e25_15[] =
    " in the form malhas_segmentos writes (E25.15: sign, digit, point, 15 digits, E, sign and two exponent "
    "digits, or sign and three, right-justified in 25 columns): ";

// The value of the field in the columns de + 1 .. de + largura, which a
// Fortran-style field right-justifies: the blanks before it dropped. A value
// with a blank inside, or one not right-justified, keeps that blank and
// fails the conversion.
std::string_view campo_fixo(std::string_view linha, std::size_t de, std::size_t largura) {
    const std::string_view c = linha.substr(std::min(de, linha.size()), largura);
    const auto k = c.find_first_not_of(' ');
    return k == std::string_view::npos ? std::string_view() : c.substr(k);
}

const char* const nomes_tamanhos[4] = {"nvol_ksi", "nvol_eta", "nvert_ksi", "nvert_eta"};

// The first line in which the text read differs from the text expected, and
// the expected line, for the message.
std::pair<std::int64_t, std::string> primeira_diferenca(std::string_view lido, std::string_view esperado) {
    std::size_t k = 0;
    while (k < lido.size() && k < esperado.size() && lido[k] == esperado[k])
        ++k;
    const std::size_t inicio = esperado.rfind('\n', k == 0 ? 0 : k - 1);
    const std::size_t de = (inicio == std::string_view::npos || k == 0) ? 0 : inicio + 1;
    const std::size_t ate = esperado.find("\r\n", de);
    const auto linha = 1 + static_cast<std::int64_t>(std::count(lido.begin(), lido.begin() + de, '\n'));
    return {linha, std::string(esperado.substr(de, ate - de))};
}

void le_relatorio_de(leitor_linhas& l, malha_lida& m, std::uint64_t tamanho_arquivo) {
    std::string_view linha;
    fim_linha como;
    std::string iniciais;  // lines 1 to 6 as read, their CR LF put back
    std::int64_t tamanhos[4];
    for (int k = 0; k < 4; ++k) {
        if (!proxima_linha(l, linha, como))
            falha(l.nome, l.linha, std::string("the file ends before the size line of ") + nomes_tamanhos[k]);
        if (como == fim_linha::cortada)
            falha(l.nome, l.linha, std::string("the file ends inside the size line of ") + nomes_tamanhos[k]);
        if (!inteiro_i10(linha.substr(0, 10), tamanhos[k]))
            falha(l.nome, l.linha,
                  std::string("expected ") + nomes_tamanhos[k] + " (an integer in columns 1 to 10), found " +
                      texto_campo(linha.substr(0, 10)));
        iniciais.append(linha).append("\r\n");
    }
    m.nvol_ksi = static_cast<std::int32_t>(tamanhos[0]);
    m.nvol_eta = static_cast<std::int32_t>(tamanhos[1]);
    m.nvert_ksi = static_cast<std::int32_t>(tamanhos[2]);
    m.nvert_eta = static_cast<std::int32_t>(tamanhos[3]);
    if (m.nvol_ksi < 1 || m.nvol_eta < 1)
        falha(l.nome, m.nvol_ksi < 1 ? 1 : 2,
              "the mesh has no volume (" + std::to_string(m.nvol_ksi) + " x " + std::to_string(m.nvol_eta) +
                  ")");
    if (tamanhos[2] != tamanhos[0] + 1)
        falha(l.nome, 3,
              "nvert_ksi = " + std::to_string(m.nvert_ksi) +
                  " is not nvol_ksi + 1 = " + std::to_string(tamanhos[0] + 1));
    if (tamanhos[3] != tamanhos[1] + 1)
        falha(l.nome, 4,
              "nvert_eta = " + std::to_string(m.nvert_eta) +
                  " is not nvol_eta + 1 = " + std::to_string(tamanhos[1] + 1));
    m.nvert = tamanhos[2] * tamanhos[3];
    m.nvol = tamanhos[0] * tamanhos[1];
    // Vertex numbers are written as 32-bit integers.
    if (m.nvert > std::numeric_limits<std::int32_t>::max())
        falha(l.nome, 4,
              "nvert_ksi x nvert_eta = " + std::to_string(m.nvert) + " is beyond the 32-bit range");

    for (int k = 0; k < 2; ++k) {
        if (!proxima_linha(l, linha, como)) falha(l.nome, l.linha, "the file ends before the heading");
        if (como == fim_linha::cortada) falha(l.nome, l.linha, "the file ends inside the heading");
        iniciais.append(linha).append("\r\n");
    }
    const std::string esperado =
        processamento::linhas_iniciais_relatorio(m.nvol_ksi, m.nvol_eta, m.nvert_ksi, m.nvert_eta);
    if (iniciais != esperado) {
        const auto [numero, texto] = primeira_diferenca(iniciais, esperado);
        falha(l.nome, numero,
              "the line is not as malhas_segmentos writes it; it would be " + texto_campo(texto));
    }

    // A vertex line has a fixed length: no more vertices than that can be in
    // the file, whatever its sizes say, so a size line that lies cannot make
    // the program take memory for them.
    const std::uint64_t possiveis = tamanho_arquivo / (processamento::largura_linha_vertice + 2) + 1;
    const auto reserva = static_cast<std::size_t>(std::min<std::uint64_t>(possiveis, m.nvert)) + 1;
    m.x.clear();
    m.y.clear();
    m.x.reserve(reserva);
    m.y.reserve(reserva);
    m.x.push_back(0.0);
    m.y.push_back(0.0);

    for (std::int64_t k = 1; k <= m.nvert; ++k) {
        if (!proxima_linha(l, linha, como))
            falha(l.nome, l.linha,
                  "the file ends after " + std::to_string(k - 1) + " of the " + std::to_string(m.nvert) +
                      " vertex lines that the sizes give");
        if (como == fim_linha::cortada)
            falha(l.nome, l.linha, "the file ends inside the line of vertex " + std::to_string(k));
        if (linha.empty())
            falha(l.nome, l.linha,
                  "expected the line of vertex " + std::to_string(k) + ", found an empty line");
        if (linha.size() != processamento::largura_linha_vertice)
            falha(l.nome, l.linha,
                  "the line of vertex " + std::to_string(k) + " has " + std::to_string(linha.size()) +
                      " characters; malhas_segmentos writes 60 (I10 and two E25.15 fields)");
        std::int64_t numero = 0;
        double vx = 0.0, vy = 0.0;
        if (!inteiro_i10(linha.substr(0, 10), numero))
            falha(l.nome, l.linha,
                  std::string("the vertex number is not an integer") + forma_i10 +
                      texto_campo(campo_fixo(linha, 0, 10)));
        if (numero != k)
            falha(l.nome, l.linha,
                  "vertex number " + std::to_string(numero) + " where vertex " + std::to_string(k) +
                      " was due (vertex lines come in order 1 .. nvert)");
        if (!real_e25_15(linha.substr(10, 25), vx))
            falha(l.nome, l.linha,
                  std::string("the x coordinate is not a finite number") + forma_e25_15 +
                      texto_campo(campo_fixo(linha, 10, 25)));
        if (!real_e25_15(linha.substr(35, 25), vy))
            falha(l.nome, l.linha,
                  std::string("the y coordinate is not a finite number") + forma_e25_15 +
                      texto_campo(campo_fixo(linha, 35, 25)));
        m.x.push_back(vx);
        m.y.push_back(vy);
    }
    if (proxima_linha(l, linha, como))
        falha(l.nome, l.linha,
              "more lines than the " + std::to_string(m.nvert) + " vertex lines that the sizes give");
}

void le_volumes_de(leitor_linhas& l, const malha_lida& m) {
    std::string_view linha;
    fim_linha como;
    const std::string cabecalho = processamento::linha_cabecalho_volumes();
    if (!proxima_linha(l, linha, como)) falha(l.nome, 1, "the file is empty: expected the heading line");
    if (como == fim_linha::cortada || linha != std::string_view(cabecalho).substr(0, cabecalho.size() - 2))
        falha(l.nome, 1,
              "expected the heading line as malhas_segmentos writes it, " +
                  texto_campo(std::string_view(cabecalho).substr(0, cabecalho.size() - 2)));
    const std::int64_t nk = m.nvert_ksi;
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const std::int64_t p = (j - 1) * m.nvol_ksi + i;
            if (!proxima_linha(l, linha, como))
                falha(l.nome, l.linha,
                      "the file ends after " + std::to_string(p - 1) + " of the " + std::to_string(m.nvol) +
                          " volume lines that the report's sizes give (" + std::to_string(m.nvol_ksi) +
                          " x " + std::to_string(m.nvol_eta) + ")");
            if (como == fim_linha::cortada)
                falha(l.nome, l.linha, "the file ends inside the line of volume " + std::to_string(p));
            if (linha.size() != processamento::largura_linha_volume)
                falha(l.nome, l.linha,
                      "the line of volume " + std::to_string(p) + " has " + std::to_string(linha.size()) +
                          " characters; malhas_segmentos writes 50 (five I10 fields)");
            std::int64_t valores[5];
            for (int k = 0; k < 5; ++k) {
                const std::size_t de = 10 * static_cast<std::size_t>(k);
                if (!inteiro_i10(linha.substr(de, 10), valores[k]))
                    falha(l.nome, l.linha,
                          "field " + std::to_string(k + 1) + " is not an integer" + forma_i10 +
                              texto_campo(campo_fixo(linha, de, 10)));
            }
            if (valores[0] != p)
                falha(l.nome, l.linha,
                      "volume number " + std::to_string(valores[0]) + " where volume " + std::to_string(p) +
                          " was due (volume lines come in order 1 .. nvol)");
            const std::int64_t b = (j - 1) * nk + i;
            const std::int64_t esperados[4] = {b, b + 1, b + nk + 1, b + nk};
            for (int s = 0; s < 4; ++s) {
                if (valores[s + 1] != esperados[s])
                    falha(l.nome, l.linha,
                          "volume " + std::to_string(p) + " (i = " + std::to_string(i) +
                              ", j = " + std::to_string(j) + ") has the corners " +
                              std::to_string(valores[1]) + " " + std::to_string(valores[2]) + " " +
                              std::to_string(valores[3]) + " " + std::to_string(valores[4]) +
                              "; with nvert_ksi = " + std::to_string(nk) + " from the report they must be " +
                              std::to_string(esperados[0]) + " " + std::to_string(esperados[1]) + " " +
                              std::to_string(esperados[2]) + " " + std::to_string(esperados[3]));
            }
        }
    }
    if (proxima_linha(l, linha, como))
        falha(l.nome, l.linha,
              "more lines than the " + std::to_string(m.nvol) +
                  " volume lines that the report's sizes give (" + std::to_string(m.nvol_ksi) + " x " +
                  std::to_string(m.nvol_eta) + ")");
}

}  // namespace

bool le_real_campo(std::string_view campo, double& valor) {
    if (campo.size() > 25) return false;
    char c[25];
    std::memset(c, ' ', sizeof c);
    std::memcpy(c + 25 - campo.size(), campo.data(), campo.size());
    return real_e25_15(std::string_view(c, sizeof c), valor);
}

void dimensiona(malha_lida& m, std::int32_t nvol_ksi, std::int32_t nvol_eta) {
    m.nvol_ksi = nvol_ksi;
    m.nvol_eta = nvol_eta;
    m.nvert_ksi = nvol_ksi + 1;
    m.nvert_eta = nvol_eta + 1;
    m.nvert = std::int64_t{m.nvert_ksi} * m.nvert_eta;
    m.nvol = std::int64_t{nvol_ksi} * nvol_eta;
    m.x.assign(static_cast<std::size_t>(m.nvert) + 1, 0.0);
    m.y = m.x;
}

void le_relatorio(const std::string& caminho, malha_lida& m) {
    leitor_linhas l;
    abre_arquivo(l, caminho);
    std::error_code ec;
    const std::uintmax_t tamanho = std::filesystem::file_size(caminho, ec);
    le_relatorio_de(l, m, ec ? std::numeric_limits<std::uint64_t>::max() / 2 : tamanho);
}

void le_volumes(const std::string& caminho, const malha_lida& m) {
    leitor_linhas l;
    abre_arquivo(l, caminho);
    le_volumes_de(l, m);
}

void le_relatorio_memoria(const std::string& nome, const std::string& bytes, malha_lida& m) {
    leitor_linhas l;
    abre_memoria(l, nome, bytes);
    le_relatorio_de(l, m, bytes.size());
}

void le_volumes_memoria(const std::string& nome, const std::string& bytes, const malha_lida& m) {
    leitor_linhas l;
    abre_memoria(l, nome, bytes);
    le_volumes_de(l, m);
}

}  // namespace malhas_qualidade
