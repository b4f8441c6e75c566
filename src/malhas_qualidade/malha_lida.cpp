#include "malhas_qualidade/malha_lida.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>

#include "malhas_qualidade/erros.hpp"

namespace malhas_qualidade {

namespace {

// Bytes taken from the file per read: big enough that the system calls cost
// nothing beside the parsing, small enough to add little to the peak memory.
constexpr std::size_t tamanho_bloco = std::size_t{1} << 22;

// No line of a result file comes near this; a longer one means a file of
// another kind, and refusing it keeps the memory bounded.
constexpr std::size_t linha_maxima = std::size_t{1} << 16;

// The lines of one file, from an open file a block at a time or from memory.
struct leitor_linhas {
    std::string nome;
    std::FILE* f = nullptr;
    std::vector<char> bloco;
    const char* inicio = nullptr;  // unconsumed bytes: inicio .. fim
    const char* fim = nullptr;
    bool esgotado = false;
    std::int64_t linha = 0;  // number of the line last returned
    bool sem_fim = false;    // the line last returned is the file's last and has no line end

    leitor_linhas() = default;
    leitor_linhas(const leitor_linhas&) = delete;
    leitor_linhas& operator=(const leitor_linhas&) = delete;
    ~leitor_linhas() {
        if (f != nullptr) std::fclose(f);
    }
};

void abre_arquivo(leitor_linhas& l, const std::string& caminho) {
    l.nome = caminho;
    std::error_code ec;
    if (std::filesystem::is_directory(caminho, ec)) falha(caminho, 0, "cannot open: it is a folder");
    l.f = std::fopen(caminho.c_str(), "rb");
    if (l.f == nullptr) {
        const int numero = errno;
        falha(caminho, 0, std::string("cannot open: ") + std::strerror(numero));
    }
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
    const std::size_t lidos = std::fread(l.bloco.data() + resto, 1, l.bloco.size() - resto, l.f);
    if (lidos < l.bloco.size() - resto) {
        if (std::ferror(l.f)) falha(l.nome, l.linha + 1, "the system refused the read");
        l.esgotado = true;
    }
    l.inicio = l.bloco.data();
    l.fim = l.bloco.data() + resto + lidos;
}

// The next line without its line end; false at the end of the file.
bool proxima_linha(leitor_linhas& l, std::string_view& linha) {
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
        if (linha.size() > linha_maxima)
            falha(l.nome, l.linha + 1, "line longer than 65536 bytes: not a result file");
        if (!linha.empty() && linha.back() == '\r') linha.remove_suffix(1);
        l.inicio = quebra != nullptr ? quebra + 1 : l.fim;
        l.sem_fim = quebra == nullptr;
        ++l.linha;
        return true;
    }
}

inline bool branco(char c) {
    return c == ' ' || c == '\t';
}

// The next blank-separated field; empty when the line has no more.
inline std::string_view campo(std::string_view& resto) {
    const char* p = resto.data();
    const char* const fim = p + resto.size();
    while (p != fim && branco(*p))
        ++p;
    const char* const inicio = p;
    while (p != fim && !branco(*p))
        ++p;
    resto = std::string_view(p, static_cast<std::size_t>(fim - p));
    return std::string_view(inicio, static_cast<std::size_t>(p - inicio));
}

bool linha_em_branco(std::string_view linha) {
    std::string_view resto = linha;
    return campo(resto).empty();
}

bool inteiro(std::string_view c, std::int64_t& valor) {
    // Decimal digits by hand: the volume file alone holds ten million of
    // them, and this is the bulk of its parsing.
    std::size_t k = 0;
    const bool negativo = !c.empty() && c[0] == '-';
    if (negativo) k = 1;
    if (k == c.size() || c.size() - k > 10) return false;
    std::int64_t v = 0;
    for (; k < c.size(); ++k) {
        const unsigned d = static_cast<unsigned char>(c[k]) - unsigned{'0'};
        if (d > 9) return false;
        v = v * 10 + d;
    }
    if (negativo) v = -v;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return false;
    valor = v;
    return true;
}

// A real as the E25.15 field writes it, including the form without the
// letter E that the field takes for exponents of three digits
// (1.000000000000000-100).
bool real(std::string_view c, double& valor) {
    if (c.empty()) return false;
    const char* fim = c.data() + c.size();
    auto r = std::from_chars(c.data(), fim, valor, std::chars_format::general);
    if (r.ec == std::errc() && r.ptr != fim && (*r.ptr == '+' || *r.ptr == '-')) {
        const std::string_view mantissa(c.data(), static_cast<std::size_t>(r.ptr - c.data()));
        const std::string_view expoente(r.ptr + 1, static_cast<std::size_t>(fim - r.ptr - 1));
        if (mantissa.find_first_of("eE") != std::string_view::npos || expoente.empty() || expoente.size() > 4)
            return false;
        for (char d : expoente) {
            if (d < '0' || d > '9') return false;
        }
        char texto[64];
        if (c.size() + 1 > sizeof texto) return false;
        std::memcpy(texto, mantissa.data(), mantissa.size());
        texto[mantissa.size()] = 'E';
        std::memcpy(texto + mantissa.size() + 1, r.ptr, static_cast<std::size_t>(fim - r.ptr));
        const char* fim2 = texto + c.size() + 1;
        r = std::from_chars(texto, fim2, valor, std::chars_format::general);
        return r.ec == std::errc() && r.ptr == fim2 && std::isfinite(valor);
    }
    // from_chars takes "inf" and "nan" too: no coordinate is either.
    return r.ec == std::errc() && r.ptr == fim && std::isfinite(valor);
}

std::string texto_campo(std::string_view c) {
    return citacao(c.data(), c.size());
}

const char* const nomes_tamanhos[4] = {"nvol_ksi", "nvol_eta", "nvert_ksi", "nvert_eta"};

void le_relatorio_de(leitor_linhas& l, malha_lida& m, std::uint64_t tamanho_arquivo) {
    std::string_view linha;
    std::int64_t tamanhos[4];
    for (int k = 0; k < 4; ++k) {
        if (!proxima_linha(l, linha))
            falha(l.nome, l.linha, std::string("the file ends before the size line of ") + nomes_tamanhos[k]);
        std::string_view resto = linha;
        const std::string_view c = campo(resto);
        if (!inteiro(c, tamanhos[k]))
            falha(l.nome, l.linha,
                  std::string("expected ") + nomes_tamanhos[k] + " (an integer), found " + texto_campo(c));
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

    if (!proxima_linha(l, linha)) falha(l.nome, l.linha, "the file ends before the heading");
    if (!linha_em_branco(linha)) falha(l.nome, l.linha, "expected the empty line before the heading");
    if (!proxima_linha(l, linha)) falha(l.nome, l.linha, "the file ends before the heading");
    if (linha_em_branco(linha)) falha(l.nome, l.linha, "expected the heading line, found an empty line");

    // The shortest vertex line ("1 0 0") has five bytes and its line end:
    // no more vertices than that can be in the file, whatever its sizes say,
    // so a size line that lies cannot make the program take memory for them.
    const std::uint64_t possiveis = tamanho_arquivo / 6 + 1;
    const auto reserva = static_cast<std::size_t>(std::min<std::uint64_t>(possiveis, m.nvert)) + 1;
    m.x.clear();
    m.y.clear();
    m.x.reserve(reserva);
    m.y.reserve(reserva);
    m.x.push_back(0.0);
    m.y.push_back(0.0);

    for (std::int64_t k = 1; k <= m.nvert; ++k) {
        if (!proxima_linha(l, linha))
            falha(l.nome, l.linha,
                  "the file ends after " + std::to_string(k - 1) + " of the " + std::to_string(m.nvert) +
                      " vertex lines that the sizes give");
        std::string_view resto = linha;
        const std::string_view cv = campo(resto);
        const std::string_view cx = campo(resto);
        const std::string_view cy = campo(resto);
        std::int64_t numero = 0;
        double vx = 0.0, vy = 0.0;
        if (l.sem_fim && cy.empty() && !cv.empty())
            falha(l.nome, l.linha, "the file ends inside the line of vertex " + std::to_string(k));
        if (!inteiro(cv, numero)) {
            if (cv.empty())
                falha(l.nome, l.linha,
                      "expected the line of vertex " + std::to_string(k) + ", found an empty line");
            falha(l.nome, l.linha, "the vertex number is not an integer: " + texto_campo(cv));
        }
        if (numero != k)
            falha(l.nome, l.linha,
                  "vertex number " + std::to_string(numero) + " where vertex " + std::to_string(k) +
                      " was due (vertex lines come in order 1 .. nvert)");
        if (!real(cx, vx))
            falha(l.nome, l.linha, "the x coordinate is not a finite number: " + texto_campo(cx));
        if (!real(cy, vy))
            falha(l.nome, l.linha, "the y coordinate is not a finite number: " + texto_campo(cy));
        if (!campo(resto).empty()) falha(l.nome, l.linha, "more than three fields on a vertex line");
        m.x.push_back(vx);
        m.y.push_back(vy);
    }
    while (proxima_linha(l, linha)) {
        if (!linha_em_branco(linha))
            falha(l.nome, l.linha,
                  "more lines than the " + std::to_string(m.nvert) + " vertex lines that the sizes give");
    }
}

void le_volumes_de(leitor_linhas& l, const malha_lida& m) {
    std::string_view linha;
    if (!proxima_linha(l, linha) || linha_em_branco(linha))
        falha(l.nome, l.linha == 0 ? 1 : l.linha, "expected the heading line");
    const std::int64_t nk = m.nvert_ksi;
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const std::int64_t p = (j - 1) * m.nvol_ksi + i;
            if (!proxima_linha(l, linha))
                falha(l.nome, l.linha,
                      "the file ends after " + std::to_string(p - 1) + " of the " + std::to_string(m.nvol) +
                          " volume lines that the report's sizes give (" + std::to_string(m.nvol_ksi) +
                          " x " + std::to_string(m.nvol_eta) + ")");
            std::string_view resto = linha;
            std::int64_t valores[5];
            if (l.sem_fim && linha.size() < 50 && !linha_em_branco(linha))
                falha(l.nome, l.linha, "the file ends inside the line of volume " + std::to_string(p));
            for (int k = 0; k < 5; ++k) {
                const std::string_view c = campo(resto);
                if (!inteiro(c, valores[k])) {
                    if (c.empty())
                        falha(l.nome, l.linha,
                              "expected five integers (the volume and its four corners), found " +
                                  std::to_string(k));
                    falha(l.nome, l.linha,
                          "field " + std::to_string(k + 1) + " is not an integer: " + texto_campo(c));
                }
            }
            if (!campo(resto).empty()) falha(l.nome, l.linha, "more than five fields on a volume line");
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
    while (proxima_linha(l, linha)) {
        if (!linha_em_branco(linha))
            falha(l.nome, l.linha,
                  "more lines than the " + std::to_string(m.nvol) +
                      " volume lines that the report's sizes give (" + std::to_string(m.nvol_ksi) + " x " +
                      std::to_string(m.nvol_eta) + ")");
    }
}

}  // namespace

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
