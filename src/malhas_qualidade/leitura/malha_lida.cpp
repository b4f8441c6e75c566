#include "malhas_qualidade/leitura/malha_lida.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>
#include <utility>

#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/leitura/arquivo_lido.hpp"
#include "malhas_qualidade/leitura/campos_lidos.hpp"
#include "malhas_qualidade/leitura/linhas_fixas.hpp"
#include "processamento/processamento.hpp"
#include "variaveis/numeracao.hpp"

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

const char* const nomes_tamanhos[4] = {"nvol_ksi", "nvol_eta", "nvert_ksi", "nvert_eta"};

// The sizes of nvol_ksi x nvol_eta volumes, derived as the run derives them.
void dimensiona_sem_coordenadas(malha_lida& m, std::int32_t nvol_ksi, std::int32_t nvol_eta) {
    const variaveis::tamanhos t = variaveis::tamanhos_de(nvol_ksi, nvol_eta);
    m.nvol_ksi = t.nvol_ksi;
    m.nvol_eta = t.nvol_eta;
    m.nvert_ksi = t.nvert_ksi;
    m.nvert_eta = t.nvert_eta;
    m.nvert = t.nvert;
    m.nvol = t.nvol;
}

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

namespace colunas {
using processamento::coluna_numero, processamento::coluna_x, processamento::coluna_y;
using processamento::largura_e25_15, processamento::largura_i10;
}  // namespace colunas

std::string texto_campo(std::string_view c) {
    return citacao(c);
}

// The four size lines, checked against one another and the numbering, and
// the empty line and heading that follow: lines 1 to 6.
void le_tamanhos(leitor_linhas& l, malha_lida& m) {
    using namespace colunas;
    std::string_view linha;
    fim_linha como;
    std::string iniciais;  // lines 1 to 6 as read, their CR LF put back
    std::int64_t tamanhos[4];
    for (int k = 0; k < 4; ++k) {
        if (!proxima_linha(l, linha, como))
            falha(l.nome, l.linha, std::string("the file ends before the size line of ") + nomes_tamanhos[k]);
        if (como == fim_linha::cortada)
            falha(l.nome, l.linha, std::string("the file ends inside the size line of ") + nomes_tamanhos[k]);
        if (!inteiro_i10(linha.substr(coluna_numero, largura_i10), tamanhos[k]))
            falha(l.nome, l.linha,
                  std::string("expected ") + nomes_tamanhos[k] + " (an integer in columns 1 to 10), found " +
                      texto_campo(linha.substr(coluna_numero, largura_i10)));
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
    // Vertex numbers are written as 32-bit integers.
    if (!variaveis::produto_cabe(m.nvert_ksi, m.nvert_eta))
        falha(l.nome, 4,
              "nvert_ksi x nvert_eta = " + std::to_string(tamanhos[2] * tamanhos[3]) +
                  " is beyond the 32-bit range");
    dimensiona_sem_coordenadas(m, m.nvol_ksi, m.nvol_eta);

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
}

// The line of vertex k, its coordinates into vx and vy.
void le_linha_vertice(leitor_linhas& l, std::string_view linha, std::int64_t k, double& vx, double& vy) {
    using namespace colunas;
    if (linha.empty())
        falha(l.nome, l.linha, "expected the line of vertex " + std::to_string(k) + ", found an empty line");
    if (linha.size() != processamento::largura_linha_vertice)
        falha(l.nome, l.linha,
              "the line of vertex " + std::to_string(k) + " has " + std::to_string(linha.size()) +
                  " characters; malhas_segmentos writes " +
                  std::to_string(processamento::largura_linha_vertice) + " (I10 and two E25.15 fields)");
    std::int64_t numero = 0;
    if (!inteiro_i10(linha.substr(coluna_numero, largura_i10), numero))
        falha(l.nome, l.linha,
              std::string("the vertex number is not an integer") + forma_i10 +
                  texto_campo(campo_fixo(linha, coluna_numero, largura_i10)));
    if (numero != k)
        falha(l.nome, l.linha,
              "vertex number " + std::to_string(numero) + " where vertex " + std::to_string(k) +
                  " was due (vertex lines come in order 1 .. nvert)");
    if (!real_e25_15(linha.substr(coluna_x, largura_e25_15), vx))
        falha(l.nome, l.linha,
              std::string("the x coordinate is not a finite number") + forma_e25_15 +
                  texto_campo(campo_fixo(linha, coluna_x, largura_e25_15)));
    if (!real_e25_15(linha.substr(coluna_y, largura_e25_15), vy))
        falha(l.nome, l.linha,
              std::string("the y coordinate is not a finite number") + forma_e25_15 +
                  texto_campo(campo_fixo(linha, coluna_y, largura_e25_15)));
}

// What le_linha_vertice takes, without a word on what it does not.
bool vertice_aceito(std::string_view linha, std::int64_t k, double& vx, double& vy) {
    using namespace colunas;
    std::int64_t numero = 0;
    return inteiro_i10(linha.substr(coluna_numero, largura_i10), numero) && numero == k &&
           real_e25_15(linha.substr(coluna_x, largura_e25_15), vx) &&
           real_e25_15(linha.substr(coluna_y, largura_e25_15), vy);
}

// The n lines of largura bytes and their CR LF the fast check took: gone
// from the block, counted as read. Returns n.
std::int64_t consome(leitor_linhas& l, std::int64_t n, std::size_t largura) {
    l.inicio += static_cast<std::size_t>(n) * (largura + 2);
    l.linha += n;
    return n;
}

void le_relatorio_de(leitor_linhas& l, malha_lida& m, std::uint64_t tamanho_arquivo) {
    le_tamanhos(l, m);
    // A vertex line has a fixed length: no more vertices than that can be in
    // the file, whatever its sizes say, so a size line that lies cannot make
    // the program take memory for them.
    const std::uint64_t possiveis = tamanho_arquivo / (processamento::largura_linha_vertice + 2) + 1;
    const auto reserva = static_cast<std::size_t>(std::min<std::uint64_t>(possiveis, m.nvert)) + 1;
    // Sized at once: the threads write each vertex in its place.
    m.x.assign(reserva, 0.0);
    m.y.assign(reserva, 0.0);

    std::string_view linha;
    fim_linha como;
    std::int64_t k = 1;
    while (k <= m.nvert) {
        // The whole lines in the block, on the run's threads; then one line
        // the plain way, which fills the block again or reports the fault.
        // Never past the arrays: a file may hold more than its size said
        // when it was opened (a file system that reports no size).
        const std::int64_t primeiro = k;
        const auto cabem = static_cast<std::int64_t>(m.x.size()) - k;
        k += consome(l,
                     linhas_fixas_aceitas(l.inicio, l.fim, processamento::largura_linha_vertice,
                                          std::min(m.nvert - k + 1, cabem),
                                          [&](std::int64_t n, std::string_view t) {
                                              const auto v = static_cast<std::size_t>(primeiro + n);
                                              return vertice_aceito(t, primeiro + n, m.x[v], m.y[v]);
                                          }),
                     processamento::largura_linha_vertice);
        if (k > m.nvert) break;
        if (!proxima_linha(l, linha, como))
            falha(l.nome, l.linha,
                  "the file ends after " + std::to_string(k - 1) + " of the " + std::to_string(m.nvert) +
                      " vertex lines that the sizes give");
        if (como == fim_linha::cortada)
            falha(l.nome, l.linha, "the file ends inside the line of vertex " + std::to_string(k));
        double vx = 0.0, vy = 0.0;
        le_linha_vertice(l, linha, k, vx, vy);
        if (static_cast<std::size_t>(k) >= m.x.size()) {
            m.x.resize(static_cast<std::size_t>(k) + 1);
            m.y.resize(static_cast<std::size_t>(k) + 1);
        }
        m.x[static_cast<std::size_t>(k)] = vx;
        m.y[static_cast<std::size_t>(k)] = vy;
        ++k;
    }
    if (proxima_linha(l, linha, como))
        falha(l.nome, l.linha,
              "more lines than the " + std::to_string(m.nvert) + " vertex lines that the sizes give");
}

// The line of volume (i, j), number p, against the numbering.
void le_linha_volume(leitor_linhas& l, std::string_view linha, const malha_lida& m, std::int64_t i,
                     std::int64_t j) {
    using namespace colunas;
    const std::int64_t p = variaveis::numero_volume(i, j, m.nvol_ksi);
    if (linha.size() != processamento::largura_linha_volume)
        falha(l.nome, l.linha,
              "the line of volume " + std::to_string(p) + " has " + std::to_string(linha.size()) +
                  " characters; malhas_segmentos writes " +
                  std::to_string(processamento::largura_linha_volume) + " (five I10 fields)");
    std::int64_t valores[processamento::campos_linha_volume];
    for (std::size_t k = 0; k < processamento::campos_linha_volume; ++k) {
        const std::size_t de = k * largura_i10;
        if (!inteiro_i10(linha.substr(de, largura_i10), valores[k]))
            falha(l.nome, l.linha,
                  "field " + std::to_string(k + 1) + " is not an integer" + forma_i10 +
                      texto_campo(campo_fixo(linha, de, largura_i10)));
    }
    if (valores[0] != p)
        falha(l.nome, l.linha,
              "volume number " + std::to_string(valores[0]) + " where volume " + std::to_string(p) +
                  " was due (volume lines come in order 1 .. nvol)");
    const std::int64_t nk = m.nvert_ksi;
    const auto esperados = variaveis::cantos_volume(vertice(m, i, j), nk);
    for (std::size_t s = 0; s < 4; ++s) {
        if (valores[s + 1] != esperados[s])
            falha(l.nome, l.linha,
                  "volume " + std::to_string(p) + " (i = " + std::to_string(i) +
                      ", j = " + std::to_string(j) + ") has the corners " + std::to_string(valores[1]) + " " +
                      std::to_string(valores[2]) + " " + std::to_string(valores[3]) + " " +
                      std::to_string(valores[4]) + "; with nvert_ksi = " + std::to_string(nk) +
                      " from the report they must be " + std::to_string(esperados[0]) + " " +
                      std::to_string(esperados[1]) + " " + std::to_string(esperados[2]) + " " +
                      std::to_string(esperados[3]));
    }
}

// What le_linha_volume takes of the line of volume p.
bool volume_aceito(std::string_view linha, const malha_lida& m, std::int64_t p) {
    const variaveis::indices ij = variaveis::indices_volume(p, m.nvol_ksi);
    const auto esperados = variaveis::cantos_volume(vertice(m, ij.i, ij.j), std::int64_t{m.nvert_ksi});
    std::int64_t valor = 0;
    for (std::size_t k = 0; k < processamento::campos_linha_volume; ++k)
        if (!inteiro_i10(linha.substr(k * colunas::largura_i10, colunas::largura_i10), valor) ||
            valor != (k == 0 ? p : esperados[k - 1]))
            return false;
    return true;
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
    std::int64_t p = 1;
    while (p <= m.nvol) {
        const std::int64_t primeiro = p;
        p += consome(
            l,
            linhas_fixas_aceitas(
                l.inicio, l.fim, processamento::largura_linha_volume, m.nvol - p + 1,
                [&](std::int64_t n, std::string_view t) { return volume_aceito(t, m, primeiro + n); }),
            processamento::largura_linha_volume);
        if (p > m.nvol) break;
        if (!proxima_linha(l, linha, como))
            falha(l.nome, l.linha,
                  "the file ends after " + std::to_string(p - 1) + " of the " + std::to_string(m.nvol) +
                      " volume lines that the report's sizes give (" + std::to_string(m.nvol_ksi) + " x " +
                      std::to_string(m.nvol_eta) + ")");
        if (como == fim_linha::cortada)
            falha(l.nome, l.linha, "the file ends inside the line of volume " + std::to_string(p));
        const variaveis::indices ij = variaveis::indices_volume(p, m.nvol_ksi);
        le_linha_volume(l, linha, m, ij.i, ij.j);
        ++p;
    }
    if (proxima_linha(l, linha, como))
        falha(l.nome, l.linha,
              "more lines than the " + std::to_string(m.nvol) +
                  " volume lines that the report's sizes give (" + std::to_string(m.nvol_ksi) + " x " +
                  std::to_string(m.nvol_eta) + ")");
}

}  // namespace

namespace {

std::string descreve(const char* oque, std::int64_t numero, std::int64_t n_ksi) {
    if (numero == 0) return "-";
    const variaveis::indices ij = variaveis::indices_vertice(numero, n_ksi);
    return std::string(oque) + " " + std::to_string(numero) + " (" + std::to_string(ij.i) + ", " +
           std::to_string(ij.j) + ")";
}

}  // namespace

std::string descreve_volume(std::int64_t p, std::int64_t nvol_ksi) {
    return descreve("volume", p, nvol_ksi);
}

std::string descreve_vertice(std::int64_t v, std::int64_t nvert_ksi) {
    return descreve("vertex", v, nvert_ksi);
}

void dimensiona(malha_lida& m, std::int32_t nvol_ksi, std::int32_t nvol_eta) {
    dimensiona_sem_coordenadas(m, nvol_ksi, nvol_eta);
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
