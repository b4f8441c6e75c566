#include "processamento/formato.hpp"

#include <array>
#include <cstring>
#include <stdexcept>

#include "processamento/campos.hpp"

namespace processamento {

namespace {

// Larger numbers in a format text are refused: no line of the result files
// comes near them, and the cap keeps every width and count within an int.
constexpr int maior_numero = 32767;

// Groups nest at most this deep, so that the interpreter keeps its group
// counters in a fixed array and a write allocates nothing.
constexpr int profundidade_maxima = 32;

// ---------------------------------------------------------------------------
// Compiling a format text

struct leitor {
    std::string_view t;
    std::size_t i = 0;
    formato& f;
    int profundidade = 0;
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

void entra_grupo(leitor& l) {
    if (++l.profundidade > profundidade_maxima) recusa_formato(l, "groups nested too deep");
}

int abre_grupo(leitor& l, int repeticoes) {
    entra_grupo(l);
    formato::item it = novo_item(formato::item::grupo_inicio);
    it.repeticoes = repeticoes;
    return acrescenta(l.f, it);
}

void fecha_grupo(leitor& l, int inicio) {
    formato::item it = novo_item(formato::item::grupo_fim);
    it.par = inicio;
    l.f.itens[static_cast<std::size_t>(inicio)].par = acrescenta(l.f, it);
    --l.profundidade;
}

void le_lista(leitor& l, bool externa);

// An I or E field, the letter under the reader.
void le_campo(leitor& l) {
    formato::item it = novo_item(formato::item::inteiro);
    if (l.t[l.i++] == 'E') {
        it.tipo = formato::item::real;
        it.largura = le_positivo(l);
        if (olha(l) != '.') recusa_formato(l, "'.' and the number of decimals expected");
        ++l.i;
        it.decimais = le_numero(l);
    } else {
        it.largura = le_positivo(l);
    }
    acrescenta(l.f, it);
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

void le_item(leitor& l, bool externa) {
    pula_brancos(l);
    const char c = olha(l);
    if (digito(c)) {
        const int n = le_numero(l);
        const char d = olha(l);
        if (d == 'P') {
            if (n > 1) recusa_formato(l, "only the scale factors 0P and 1P are supported");
            ++l.i;
            formato::item it = novo_item(formato::item::escala);
            it.decimais = n;
            acrescenta(l.f, it);
        } else if (d == '(' || d == 'I' || d == 'E') {
            if (n == 0) recusa_formato(l, "repeat count of zero");
            if (d == '(') {
                ++l.i;
                const int inicio = abre_grupo(l, n);
                if (externa) l.f.reversao = inicio;
                le_lista(l, false);
                fecha_grupo(l, inicio);
            } else if (n == 1) {
                le_campo(l);
            } else {
                // A repeated field is held as a group of one field; it is not
                // a parenthesised group, so it never becomes the point where
                // processing starts again.
                const int inicio = abre_grupo(l, n);
                le_campo(l);
                fecha_grupo(l, inicio);
            }
        } else {
            recusa_formato(l, "a repeat count must precede '(', I or E, a scale factor P");
        }
    } else if (c == '(') {
        ++l.i;
        const int inicio = abre_grupo(l, 1);
        if (externa) l.f.reversao = inicio;
        le_lista(l, false);
        fecha_grupo(l, inicio);
    } else if (c == 'I' || c == 'E') {
        le_campo(l);
    } else if (c == 'T') {
        ++l.i;
        formato::item it = novo_item(formato::item::posicao);
        it.largura = le_positivo(l);
        acrescenta(l.f, it);
    } else if (c == '/') {
        ++l.i;
        acrescenta(l.f, novo_item(formato::item::quebra));
    } else if (c == '\'') {
        le_texto_fixo(l);
    } else {
        recusa_formato(l, fim(l) ? "unexpected end" : "unknown item");
    }
    pula_brancos(l);
}

// The items up to and including the closing parenthesis; the opening one has
// been read.
void le_lista(leitor& l, bool externa) {
    pula_brancos(l);
    if (olha(l) == ')') {
        ++l.i;
        return;
    }
    for (;;) {
        le_item(l, externa);
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
// The general path of every line. The run takes it only for the few heading
// and size lines; the millions of vertex, outline and volume lines are built
// from the fields directly (processamento.cpp). The E fields of other widths
// and scale factors, nested groups and the reversion to the last group run
// only in the tests, where this interpretation is the reference the fast
// lines are checked against, byte for byte.

void interpreta_formato(std::string& linhas, const formato& fmt, std::span<const valor> valores) {
    struct nivel {
        int inicio;
        int restantes;
    };
    std::array<nivel, profundidade_maxima> pilha;
    int profundidade = 0;

    const int n_itens = static_cast<int>(fmt.itens.size());
    std::size_t inicio_linha = linhas.size();
    std::size_t pendentes = 0;
    int escala = 0;
    std::size_t proximo = 0;
    bool consumiu = false;  // a value was taken since the last pass began

    auto termina_linha = [&] {
        pendentes = 0;
        linhas.append("\r\n", 2);
        inicio_linha = linhas.size();
    };
    auto escreve_pendentes = [&] {
        if (pendentes != 0) {
            linhas.append(pendentes, ' ');
            pendentes = 0;
        }
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
            profundidade = 0;
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
                escreve_pendentes();
                if (quer_inteiro) {
                    acrescenta_inteiro(linhas, v.i, it.largura);
                } else {
                    acrescenta_real(linhas, v.r, it.largura, it.decimais, escala);
                }
                ++proximo;
                consumiu = true;
                break;
            }
            case formato::item::posicao: {
                // A column left of the line's end asks for no blanks: the
                // text that follows is appended (the result files never move
                // left).
                const std::size_t atual = linhas.size() - inicio_linha;
                const auto coluna = static_cast<std::size_t>(it.largura - 1);
                pendentes = coluna > atual ? coluna - atual : 0;
                break;
            }
            case formato::item::quebra:
                termina_linha();
                break;
            case formato::item::texto:
                escreve_pendentes();
                linhas.append(it.conteudo);
                break;
            case formato::item::escala:
                escala = it.decimais;
                break;
            case formato::item::grupo_inicio:
                pilha[static_cast<std::size_t>(profundidade++)] = {k, it.repeticoes};
                break;
            case formato::item::grupo_fim: {
                nivel& topo = pilha[static_cast<std::size_t>(profundidade - 1)];
                if (--topo.restantes > 0) {
                    k = topo.inicio;
                } else {
                    --profundidade;
                }
                break;
            }
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
    le_lista(l, true);
    pula_brancos(l);
    if (!fim(l)) recusa_formato(l, "text after the closing ')'");
    return f;
}

void formata(std::string& linhas, const formato& fmt, std::span<const valor> valores) {
    const std::size_t tamanho = linhas.size();
    try {
        interpreta_formato(linhas, fmt, valores);
    } catch (...) {
        linhas.resize(tamanho);  // a refused write leaves no partial line behind
        throw;
    }
}

// The general path, for the tests and the odd line: a run formats its few
// format lines before it opens the files (processamento.cpp), so that the
// writing allocates nothing. (No thread_local buffer either: a thread's first
// use of one registers its destructor, which needs memory, and the C library
// ends the process when it has none.)
void escreve_formatado(arquivo_saida& arq, const formato& fmt, std::span<const valor> valores) {
    std::string linhas;
    formata(linhas, fmt, valores);
    escreve_bytes(arq, linhas);
}

void escreve_linha_branca(arquivo_saida& arq) {
    escreve_bytes(arq, " \r\n", 3);
}
}  // namespace processamento
