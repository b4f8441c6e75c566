#include "processamento/formato.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "processamento/campos.hpp"

namespace processamento {

namespace {

// Larger numbers in a format text are refused: no line of the result files
// comes near them, and the cap keeps every column and count within an int.
constexpr int maior_numero = 32767;

// ---------------------------------------------------------------------------
// Compiling a format text

struct leitor {
    std::string_view t;
    std::size_t i = 0;
    formato& f;
    bool em_grupo = false;  // inside a repeated group
    bool escala_1 = false;  // 1P has been read
};

[[noreturn]] void recusa_formato(const leitor& l, const char* motivo) {
    throw std::invalid_argument("format " + std::string(l.t) + ": " + motivo + " at position " +
                                std::to_string(l.i + 1));
}

char olha(const leitor& l) {
    return l.i < l.t.size() ? l.t[l.i] : '\0';
}
bool fim(const leitor& l) {
    return l.i >= l.t.size();
}
bool digito(char c) {
    return c >= '0' && c <= '9';
}

void pula_brancos(leitor& l) {
    while (!fim(l) && l.t[l.i] == ' ')
        ++l.i;
}

int le_numero(leitor& l) {
    if (!digito(olha(l))) recusa_formato(l, "a number is missing");
    int n = 0;
    while (digito(olha(l))) {
        n = n * 10 + (l.t[l.i] - '0');
        if (n > maior_numero) recusa_formato(l, "number too large");
        ++l.i;
    }
    return n;
}

int le_positivo(leitor& l) {
    const int n = le_numero(l);
    if (n == 0) recusa_formato(l, "zero is not allowed here");
    return n;
}

formato::item novo_item(formato::item::tipo_item tipo) {
    formato::item it{};
    it.tipo = tipo;
    return it;
}

int acrescenta(formato& f, formato::item it) {
    f.itens.push_back(std::move(it));
    return static_cast<int>(f.itens.size()) - 1;
}

// An I or E field, the letter under the reader: I10, or E25.15 after 1P.
// Under 1P every real field of a write has it, since the scale factor
// starts at 0 with each write and 1P is the only one there is.
void le_campo(leitor& l) {
    const bool real = l.t[l.i++] == 'E';
    const int largura = le_positivo(l);
    if (real) {
        if (olha(l) != '.') recusa_formato(l, "'.' and the number of decimals expected");
        ++l.i;
        const int decimais = le_numero(l);
        if (largura != 25 || decimais != 15) recusa_formato(l, "the real field is E25.15");
        if (!l.escala_1) recusa_formato(l, "a real field needs the scale factor 1P before it");
    } else if (largura != 10) {
        recusa_formato(l, "the integer field is I10");
    }
    acrescenta(l.f, novo_item(real ? formato::item::real : formato::item::inteiro));
}

void le_texto_fixo(leitor& l) {
    formato::item it = novo_item(formato::item::texto);
    ++l.i;  // the opening apostrophe
    for (;;) {
        if (fim(l)) recusa_formato(l, "fixed text without its closing apostrophe");
        const char c = l.t[l.i++];
        if (c == '\'') {
            if (olha(l) != '\'') break;
            ++l.i;  // two apostrophes stand for one
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            // A control byte (above all CR or LF) would break the rule that
            // lines end only where the format ends them.
            --l.i;
            recusa_formato(l, "control character in fixed text");
        }
        it.conteudo += c;
    }
    acrescenta(l.f, it);
}

void le_lista(leitor& l);

void le_item(leitor& l) {
    pula_brancos(l);
    const char c = olha(l);
    if (digito(c)) {
        const int n = le_numero(l);
        if (olha(l) == 'P') {
            if (n != 1) recusa_formato(l, "the scale factor is 1P");
            ++l.i;
            l.escala_1 = true;
        } else if (olha(l) == '(') {
            if (n == 0) recusa_formato(l, "repeat count of zero");
            if (l.em_grupo) recusa_formato(l, "groups do not nest");
            ++l.i;
            formato::item it = novo_item(formato::item::grupo_inicio);
            it.repeticoes = n;
            const int inicio = acrescenta(l.f, it);
            l.f.reversao = inicio;  // the last group of the format, in the end
            l.em_grupo = true;
            le_lista(l);
            l.em_grupo = false;
            formato::item fim_grupo = novo_item(formato::item::grupo_fim);
            fim_grupo.par = inicio;
            l.f.itens[static_cast<std::size_t>(inicio)].par = acrescenta(l.f, fim_grupo);
        } else {
            recusa_formato(l, "a repeat count must precede '(', a scale factor P");
        }
    } else if (c == 'I' || c == 'E') {
        le_campo(l);
    } else if (c == 'T') {
        ++l.i;
        formato::item it = novo_item(formato::item::posicao);
        it.coluna = le_positivo(l);
        acrescenta(l.f, it);
    } else if (c == '/') {
        ++l.i;
        acrescenta(l.f, novo_item(formato::item::quebra));
    } else if (c == '\'') {
        le_texto_fixo(l);
    } else {
        recusa_formato(l, c == '(' ? "a group needs its repeat count"
                          : fim(l) ? "unexpected end"
                                   : "unknown item");
    }
    pula_brancos(l);
}

// The items up to and including the closing parenthesis; the opening one has
// been read.
void le_lista(leitor& l) {
    pula_brancos(l);
    if (olha(l) == ')') {
        ++l.i;
        return;
    }
    for (;;) {
        le_item(l);
        const char c = olha(l);
        ++l.i;
        if (c == ')') return;
        if (c != ',') {
            --l.i;
            recusa_formato(l, fim(l) ? "missing ')'" : "',' or ')' expected");
        }
    }
}

// ---------------------------------------------------------------------------
// Interpreting a compiled format
//
// The run writes its heading and size lines this way; the millions of vertex,
// outline and volume lines are built from the fields directly
// (processamento.cpp), and the tests hold those against this interpretation,
// byte for byte.

// Where the lines go.
struct em_texto {
    std::string& s;
    void bytes(const char* p, std::size_t n) { s.append(p, n); }
    void brancos(std::size_t n) { s.append(n, ' '); }
};

struct em_arquivo {
    arquivo_saida& arq;
    void bytes(const char* p, std::size_t n) { escreve_bytes(arq, p, n); }
    void brancos(std::size_t n) {
        static constexpr std::array<char, 64> b = [] {
            std::array<char, 64> t{};
            t.fill(' ');
            return t;
        }();
        for (std::size_t k; n > 0; n -= k) {
            k = std::min(n, b.size());
            escreve_bytes(arq, b.data(), k);
        }
    }
};

// Nowhere: a pass that only finds whether the values will be refused, so
// that a refused write leaves the file as it was.
struct em_lugar_nenhum {
    void bytes(const char*, std::size_t) {}
    void brancos(std::size_t) {}
};

template <class saida>
void interpreta_formato(saida& destino, const formato& fmt, std::span<const valor> valores) {
    const int n_itens = static_cast<int>(fmt.itens.size());
    int restantes = 0;            // passes left of the group being repeated
    std::size_t comprimento = 0;  // of the current line
    std::size_t pendentes = 0;
    std::size_t proximo = 0;
    bool consumiu = false;  // a value was taken since the last pass began

    auto termina_linha = [&] {
        pendentes = 0;
        comprimento = 0;
        destino.bytes("\r\n", 2);
    };
    auto escreve = [&](const char* p, std::size_t n) {
        if (pendentes != 0) {
            destino.brancos(pendentes);
            comprimento += pendentes;
            pendentes = 0;
        }
        destino.bytes(p, n);
        comprimento += n;
    };

    int k = 0;
    for (;;) {
        if (k == n_itens) {  // the closing parenthesis of the format
            termina_linha();
            if (proximo == valores.size()) return;
            if (!consumiu) {
                // Starting again would take no value and never end.
                throw std::invalid_argument("format " + fmt.texto +
                                            ": values left over but no field takes them");
            }
            consumiu = false;
            k = fmt.reversao;
            continue;
        }
        const formato::item& it = fmt.itens[static_cast<std::size_t>(k)];
        switch (it.tipo) {
            case formato::item::inteiro:
            case formato::item::real: {
                if (proximo == valores.size()) {
                    termina_linha();
                    return;
                }
                const valor& v = valores[proximo];
                const bool quer_inteiro = it.tipo == formato::item::inteiro;
                if (v.inteiro != quer_inteiro) {
                    throw std::invalid_argument("format " + fmt.texto + ": value " +
                                                std::to_string(proximo + 1) +
                                                (quer_inteiro ? " is not an integer" : " is not a double"));
                }
                char campo[25];
                const char* const fim_campo = quer_inteiro ? campo_i10(campo, v.i) : campo_e25_15(campo, v.r);
                escreve(campo, static_cast<std::size_t>(fim_campo - campo));
                ++proximo;
                consumiu = true;
                break;
            }
            case formato::item::posicao: {
                // A column left of the line's end asks for no blanks: the
                // text that follows is appended (the result files never move
                // left).
                const auto coluna = static_cast<std::size_t>(it.coluna - 1);
                pendentes = coluna > comprimento ? coluna - comprimento : 0;
                break;
            }
            case formato::item::quebra:
                termina_linha();
                break;
            case formato::item::texto:
                escreve(it.conteudo.data(), it.conteudo.size());
                break;
            case formato::item::grupo_inicio:
                restantes = it.repeticoes;
                break;
            case formato::item::grupo_fim:
                if (--restantes > 0) k = it.par;
                break;
        }
        ++k;
    }
}

}  // namespace

formato compila_formato(std::string_view texto) {
    formato f;
    f.texto = std::string(texto);
    leitor l{texto, 0, f};
    pula_brancos(l);
    if (olha(l) != '(') recusa_formato(l, "'(' expected");
    ++l.i;
    le_lista(l);
    pula_brancos(l);
    if (!fim(l)) recusa_formato(l, "text after the closing ')'");
    return f;
}

void formata(std::string& linhas, const formato& fmt, std::span<const valor> valores) {
    const std::size_t tamanho = linhas.size();
    try {
        em_texto destino{linhas};
        interpreta_formato(destino, fmt, valores);
    } catch (...) {
        linhas.resize(tamanho);  // a refused write leaves no partial line behind
        throw;
    }
}

void escreve_formatado(arquivo_saida& arq, const formato& fmt, std::span<const valor> valores) {
    em_lugar_nenhum ensaio;
    interpreta_formato(ensaio, fmt, valores);
    em_arquivo destino{arq};
    interpreta_formato(destino, fmt, valores);
}

}  // namespace processamento
