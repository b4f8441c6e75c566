#include "processamento/formato.hpp"

#include "processamento/produto_128.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <stdexcept>

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

[[noreturn]] void recusa(const leitor& l, const char* motivo) {
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
    if (!digito(olha(l))) recusa(l, "a number is missing");
    int n = 0;
    while (digito(olha(l))) {
        n = n * 10 + (l.t[l.i] - '0');
        if (n > maior_numero) recusa(l, "number too large");
        ++l.i;
    }
    return n;
}

int le_positivo(leitor& l) {
    const int n = le_numero(l);
    if (n == 0) recusa(l, "zero is not allowed here");
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
    if (++l.profundidade > profundidade_maxima) recusa(l, "groups nested too deep");
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
        if (olha(l) != '.') recusa(l, "'.' and the number of decimals expected");
        ++l.i;
        it.decimais = le_numero(l);
    } else {
        it.largura = le_positivo(l);
    }
    acrescenta(l.f, it);
}

void le_texto(leitor& l) {
    formato::item it = novo_item(formato::item::texto);
    ++l.i;  // the opening apostrophe
    for (;;) {
        if (fim(l)) recusa(l, "fixed text without its closing apostrophe");
        const char c = l.t[l.i++];
        if (c == '\'') {
            if (olha(l) != '\'') break;
            ++l.i;  // two apostrophes stand for one
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            // A control byte (above all CR or LF) would break the rule that
            // lines end only where the format ends them.
            --l.i;
            recusa(l, "control character in fixed text");
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
            if (n > 1) recusa(l, "only the scale factors 0P and 1P are supported");
            ++l.i;
            formato::item it = novo_item(formato::item::escala);
            it.decimais = n;
            acrescenta(l.f, it);
        } else if (d == '(' || d == 'I' || d == 'E') {
            if (n == 0) recusa(l, "repeat count of zero");
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
            recusa(l, "a repeat count must precede '(', I or E, a scale factor P");
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
        le_texto(l);
    } else {
        recusa(l, fim(l) ? "unexpected end" : "unknown item");
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
            recusa(l, fim(l) ? "missing ')'" : "',' or ')' expected");
        }
    }
}

// ---------------------------------------------------------------------------
// Fields

constexpr std::uint64_t bit_sinal = std::uint64_t{1} << 63;
constexpr std::uint64_t bits_infinito = 0x7FF0000000000000;

// "00" to "99": two digits per division halves the divisions of a field.
constexpr std::array<char, 200> pares_de_digitos = [] {
    std::array<char, 200> t{};
    for (int k = 0; k < 100; ++k) {
        t[static_cast<std::size_t>(2 * k)] = static_cast<char>('0' + k / 10);
        t[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
    }
    return t;
}();

// The two digit routines take the narrowest type that holds the value: on
// 32-bit targets every 64-bit division is a call into the runtime library.

// Writes the decimal digits of m so that they end just before fim; returns
// where they start.
template <class inteiro>
char* digitos_sem_sinal(char* fim, inteiro m) {
    while (m >= 100) {
        const auto par = static_cast<std::size_t>(m % 100) * 2;
        m /= 100;
        fim -= 2;
        std::memcpy(fim, &pares_de_digitos[par], 2);
    }
    if (m >= 10) {
        fim -= 2;
        std::memcpy(fim, &pares_de_digitos[static_cast<std::size_t>(m) * 2], 2);
    } else {
        *--fim = static_cast<char>('0' + m);
    }
    return fim;
}

// Exactly n decimal digits of m (zero-padded on the left), ending before fim.
template <class inteiro>
void digitos_fixos(char* fim, inteiro m, int n) {
    for (; n >= 2; n -= 2) {
        const auto par = static_cast<std::size_t>(m % 100) * 2;
        m /= 100;
        fim -= 2;
        std::memcpy(fim, &pares_de_digitos[par], 2);
    }
    if (n == 1) *--fim = static_cast<char>('0' + m % 10);
}

// Right-justifies the n bytes of texto in a field of largura bytes, or fills
// it with asterisks when they do not fit.
char* justifica(char* destino, int largura, const char* texto, std::size_t n) {
    const auto l = static_cast<std::size_t>(largura);
    if (n > l) {
        std::memset(destino, '*', l);
    } else {
        std::memset(destino, ' ', l - n);
        std::memcpy(destino + (l - n), texto, n);
    }
    return destino + l;
}

// Infinite and NaN values never reach a field in a run (the traps end it
// first), but a field must still come out as its width of bytes.
char* campo_nao_finito(char* destino, int largura, std::uint64_t bits) {
    const bool nan = (bits & ~bit_sinal) > bits_infinito;
    const char* texto = nan ? "NaN" : (bits & bit_sinal) ? "-Infinity" : "Infinity";
    return justifica(destino, largura, texto, std::strlen(texto));
}

// Adds one unit to the last of the n digits; a carry out of the first digit
// makes them 1 followed by zeros and raises the exponent.
void soma_um(char* digitos, int n, int& expoente) {
    int i = n - 1;
    while (i >= 0 && digitos[i] == '9')
        digitos[i--] = '0';
    if (i >= 0) {
        ++digitos[i];
    } else {
        digitos[0] = '1';
        ++expoente;
    }
}

// The exponent text: E, sign and two digits while |p| ≤ 99, else the sign and
// three digits (a double never needs more). Returns the position after it.
char* texto_expoente(char* q, int p) {
    const int a = p < 0 ? -p : p;
    if (a <= 99) {
        *q++ = 'E';
        *q++ = p < 0 ? '-' : '+';
    } else {
        *q++ = p < 0 ? '-' : '+';
        *q++ = static_cast<char>('0' + a / 100);
    }
    *q++ = static_cast<char>('0' + a / 10 % 10);
    *q++ = static_cast<char>('0' + a % 10);
    return q;
}

// The exponent printed by to_chars after its 'e'.
int le_expoente(const char* p, const char* fim_texto) {
    const bool negativo = *p == '-';
    int e = 0;
    for (++p; p < fim_texto; ++p)
        e = e * 10 + (*p - '0');
    return negativo ? -e : e;
}

// n significant digits of the finite, nonzero magnitude m, written at
// digitos, and the exponent p with m ≈ d.ddd × 10^p. Up to 16 digits they are
// those of the 17 digits rounded half away from zero, rounded once more (so
// that every width agrees with E25.15); from 17 on, the exact value rounded
// half away from zero.
void digitos_significativos(double m, char* digitos, int n, int& p) {
    // 800 digits after the point hold the whole exact expansion of a double.
    constexpr int casas = 800;
    char exato[casas + 16];
    const auto r = std::to_chars(exato, exato + sizeof exato, m, std::chars_format::scientific, casas);
    p = le_expoente(exato + casas + 3, r.ptr);
    auto digito_exato = [&](int k) { return k == 0 ? exato[0] : k <= casas ? exato[k + 1] : '0'; };
    if (n >= 17) {
        for (int k = 0; k < n; ++k)
            digitos[k] = digito_exato(k);
        if (digito_exato(n) >= '5') soma_um(digitos, n, p);
        return;
    }
    char d17[17];
    for (int k = 0; k < 17; ++k)
        d17[k] = digito_exato(k);
    if (digito_exato(17) >= '5') soma_um(d17, 17, p);
    std::memcpy(digitos, d17, static_cast<std::size_t>(n));
    if (d17[n] >= '5') soma_um(digitos, n, p);
}

// An E field of any width, decimals and scale factor (0 or 1); only E25.15
// under 1P occurs in the result files and takes campo_e25_15. Under 0P the
// text is 0.ddd with d significant digits and the exponent one higher.
void acrescenta_real(std::string& s, double v, int largura, int decimais, int escala) {
    const std::size_t inicio = s.size();
    s.resize(inicio + static_cast<std::size_t>(largura));
    char* destino = s.data() + inicio;
    if (largura == 25 && decimais == 15 && escala == 1) {
        campo_e25_15(destino, v);
        return;
    }
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const auto magnitude = bits & ~bit_sinal;
    if (magnitude >= bits_infinito) {
        campo_nao_finito(destino, largura, bits);
        return;
    }
    const int n = escala == 1 ? decimais + 1 : decimais;
    if (n == 0) {  // 0P without decimals leaves no room for a digit
        std::memset(destino, '*', static_cast<std::size_t>(largura));
        return;
    }
    // Sign, "0.", the digits, the point and five bytes of exponent.
    std::string texto(static_cast<std::size_t>(n) + 10, ' ');
    char* q = texto.data();
    if (magnitude != 0 && (bits & bit_sinal)) *q++ = '-';
    const char* zero_opcional = nullptr;
    char* digitos = q + (escala == 1 ? 0 : 2);
    int p = 0;
    if (magnitude == 0) {
        std::memset(digitos, '0', static_cast<std::size_t>(n));
    } else {
        digitos_significativos(std::bit_cast<double>(magnitude), digitos, n, p);
    }
    if (escala == 1) {
        std::memmove(q + 2, q + 1, static_cast<std::size_t>(n - 1));
        q[1] = '.';
        q += n + 1;
    } else {
        zero_opcional = q;
        q[0] = '0';
        q[1] = '.';
        q += n + 2;
        if (magnitude != 0) ++p;
    }
    q = texto_expoente(q, p);
    auto tamanho = static_cast<std::size_t>(q - texto.data());
    if (tamanho > static_cast<std::size_t>(largura) && zero_opcional != nullptr) {
        // The zero before the point is the first thing to give way.
        texto.erase(static_cast<std::size_t>(zero_opcional - texto.data()), 1);
        --tamanho;
    }
    justifica(destino, largura, texto.data(), tamanho);
}

void acrescenta_inteiro(std::string& s, std::int32_t v, int largura) {
    const std::size_t inicio = s.size();
    s.resize(inicio + static_cast<std::size_t>(largura));
    if (largura == 10) {
        campo_i10(s.data() + inicio, v);
        return;
    }
    char texto[12];
    const std::uint32_t m = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    char* c = digitos_sem_sinal(texto + sizeof texto, m);
    if (v < 0) *--c = '-';
    justifica(s.data() + inicio, largura, c, static_cast<std::size_t>(texto + sizeof texto - c));
}

// ---------------------------------------------------------------------------
// Interpreting a compiled format

void interpreta(std::string& linhas, const formato& fmt, std::span<const valor> valores) {
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
    if (olha(l) != '(') recusa(l, "'(' expected");
    ++l.i;
    le_lista(l, true);
    pula_brancos(l);
    if (!fim(l)) recusa(l, "text after the closing ')'");
    return f;
}

void formata(std::string& linhas, const formato& fmt, std::span<const valor> valores) {
    const std::size_t tamanho = linhas.size();
    try {
        interpreta(linhas, fmt, valores);
    } catch (...) {
        linhas.resize(tamanho);  // a refused write leaves no partial line behind
        throw;
    }
}

void escreve_formatado(arquivo_saida& arq, const formato& fmt, std::span<const valor> valores) {
    // Reused from call to call so that a line costs no allocation.
    thread_local std::string linhas;
    linhas.clear();
    formata(linhas, fmt, valores);
    escreve_bytes(arq, linhas);
    if (linhas.capacity() > (std::size_t{1} << 16)) std::string().swap(linhas);
}

void escreve_linha_branca(arquivo_saida& arq) {
    escreve_bytes(arq, " \r\n", 3);
}

namespace {

constexpr std::array<std::uint64_t, 20> potencias_de_10 = [] {
    std::array<std::uint64_t, 20> t{};
    t[0] = 1;
    for (std::size_t k = 1; k < t.size(); ++k)
        t[k] = t[k - 1] * 10;
    return t;
}();

// The 17 significant digits of m·2^e (the magnitude's exact value) rounded
// half away from zero, as an integer from 10^16 to 10^17 - 1, with the
// decimal exponent p. One 128-bit product m·10^k and a shift give the exact
// quotient and remainder, for the values a mesh is made of: normal doubles
// from about 10^-3 to 2^52 with a fraction. Returns false for the others,
// which take the general conversion.
bool dezessete_digitos_exatos(std::uint64_t magnitude, std::uint64_t& q, int& p) {
    const int expoente_bruto = static_cast<int>(magnitude >> 52);
    if (expoente_bruto == 0) return false;  // denormals
    const std::uint64_t m = (magnitude & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int e = expoente_bruto - 1075;  // value = m · 2^e
    if (e >= 0 || e < -127) return false;
    // floor(log10 value) is this estimate or one more.
    const int estimativa = ((e + 52) * 78913) >> 18;
    for (int k = 16 - estimativa; k >= 15 - estimativa; --k) {
        if (k < 0 || k > 19) return false;
        const produto_128 produto = multiplica_64x64(m, potencias_de_10[static_cast<std::size_t>(k)]);
        const int deslocamento = -e;
        std::uint64_t quociente = desloca_128(produto, deslocamento);
        if (quociente >= potencias_de_10[17]) continue;  // 18 digits: one place less
        p = 16 - k;
        // The remainder is at least half exactly when the bit below the
        // quotient is set: ties away from zero.
        if ((desloca_128(produto, deslocamento - 1) & 1) != 0) ++quociente;
        if (quociente == potencias_de_10[17]) {
            quociente = potencias_de_10[16];
            ++p;
        }
        q = quociente;
        return true;
    }
    return false;
}

}  // namespace

char* campo_i10(char* destino, std::int32_t v) {
    if (v < -999999999) {
        std::memset(destino, '*', 10);
        return destino + 10;
    }
    const std::uint32_t m = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    char* c = digitos_sem_sinal(destino + 10, m);
    if (v < 0) *--c = '-';
    std::memset(destino, ' ', static_cast<std::size_t>(c - destino));
    return destino + 10;
}

char* campo_e25_15(char* destino, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const auto magnitude = bits & ~bit_sinal;
    if (magnitude == 0) {
        std::memcpy(destino, "    0.000000000000000E+00", 25);
        return destino + 25;
    }
    if (magnitude >= bits_infinito) return campo_nao_finito(destino, 25, bits);

    // The 16 digits as an integer from 10^15 to 10^16 - 1, and the exponent.
    std::uint64_t d16 = 0;
    int p = 0;
    std::uint64_t d17 = 0;
    const bool exato = dezessete_digitos_exatos(magnitude, d17, p);
    if (!exato) {
        // 17 significant digits of the exact value, "d.dddddddddddddddde±xx".
        // to_chars breaks exact ties to even where the rule wants them away
        // from zero, but that never matters: an exact tie at the 18th digit of
        // a double (m·5^k/10^k with k ≥ 2, divisible by 25) always leaves a 2
        // or a 7 as the 17th digit, and 2 or 3 truncate alike while 7 becomes
        // 8 either way.
        char b[32];
        const auto r = std::to_chars(b, b + sizeof b, std::bit_cast<double>(magnitude),
                                     std::chars_format::scientific, 16);
        d17 = static_cast<std::uint64_t>(b[0] - '0');
        for (int k = 2; k < 18; ++k)
            d17 = d17 * 10 + static_cast<std::uint64_t>(b[k] - '0');
        p = le_expoente(b + 19, r.ptr);
    }
    // The second rounding looks only at the 17th digit.
    d16 = d17 / 10;
    if (d17 - d16 * 10 >= 5 && ++d16 == 10000000000000000ull) {
        d16 = 1000000000000000ull;
        ++p;
    }

    char* q = destino;
    std::memcpy(q, (bits & bit_sinal) ? "   -" : "    ", 4);
    q += 4;
    *q++ = static_cast<char>('0' + d16 / 1000000000000000ull);
    *q++ = '.';
    // The 15 digits after the point as 7 and 8 digits of 32 bits each.
    const std::uint64_t depois = d16 % 1000000000000000ull;
    const std::uint64_t alto = depois / 100000000u;
    digitos_fixos(q + 15, static_cast<std::uint32_t>(depois - alto * 100000000u), 8);
    digitos_fixos(q + 7, static_cast<std::uint32_t>(alto), 7);
    q += 15;
    texto_expoente(q, p);
    return destino + 25;
}

}  // namespace processamento
