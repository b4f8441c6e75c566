#include "dados/leitura.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "malhas_segmentos/execucao.hpp"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace dados {

namespace {

// What espia finds at the read position besides an ordinary byte.
constexpr int fim_de_arquivo = -1;
constexpr int fim_de_linha = -2;  // LF, CR LF, or a CR that is the last byte of the file

// Quoted texts in reports are cut to this many bytes.
constexpr std::size_t limite_citacao = 40;

enum class tipo_item { inteiro, real, texto };

struct caractere {
    int valor;            // the byte (0 to 255), fim_de_linha or fim_de_arquivo
    std::size_t largura;  // bytes it takes in the file
};

[[noreturn]] void falha_leitura(const arquivo_entrada& arq, int codigo, const std::string& mensagem) {
    execucao::falha_es(codigo, "READ", arq.nome, mensagem);
}

// The offending text as a report shows it: cut short, and with every byte
// that is not printable ASCII replaced, so a report never carries control
// characters or half of a multi-byte character from the file.
std::string citacao(std::string_view texto) {
    std::string s = "'";
    for (std::size_t k = 0; k < texto.size() && k < limite_citacao; ++k) {
        const auto c = static_cast<unsigned char>(texto[k]);
        s += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    if (texto.size() > limite_citacao) s += "...";
    s += '\'';
    return s;
}

std::string descricao_erro(int numero) {
    const char* texto = std::strerror(numero);
    return texto != nullptr ? std::string(texto) : "error " + std::to_string(numero);
}

// Makes at least n bytes available from posicao, unless the file ends first.
// Only the unconsumed tail is kept, so memory stays bounded by the block size
// however long a line is.
void garante(arquivo_entrada& arq, std::size_t n) {
    while (arq.buffer.size() - arq.posicao < n && !arq.esgotado) {
        if (arq.fd < 0) {
            arq.esgotado = true;
            break;
        }
        arq.buffer.erase(0, arq.posicao);
        arq.posicao = 0;
        const std::size_t antes = arq.buffer.size();
        arq.buffer.resize(antes + tamanho_bloco_entrada);
#if defined(_WIN32)
        const int lidos =
            ::_read(arq.fd, arq.buffer.data() + antes, static_cast<unsigned int>(tamanho_bloco_entrada));
#else
        const ssize_t lidos = ::read(arq.fd, arq.buffer.data() + antes, tamanho_bloco_entrada);
#endif
        if (lidos < 0) {
            const int numero = errno;
            arq.buffer.resize(antes);
#if !defined(_WIN32)
            if (numero == EINTR) continue;
#endif
            falha_leitura(arq, execucao::codigo_erro_leitura,
                          "the system refused the read: " + descricao_erro(numero));
        }
        arq.buffer.resize(antes + static_cast<std::size_t>(lidos));
        if (lidos == 0) arq.esgotado = true;
    }
}

caractere espia(arquivo_entrada& arq) {
    garante(arq, 2);
    const std::size_t disponiveis = arq.buffer.size() - arq.posicao;
    if (disponiveis == 0) return {fim_de_arquivo, 0};
    const auto c = static_cast<unsigned char>(arq.buffer[arq.posicao]);
    if (c == '\n') return {fim_de_linha, 1};
    if (c == '\r') {
        // garante has brought the next byte unless the file ends here.
        if (disponiveis == 1) return {fim_de_linha, 1};
        if (arq.buffer[arq.posicao + 1] == '\n') return {fim_de_linha, 2};
    }
    return {c, 1};
}

void consome(arquivo_entrada& arq, const caractere& c) {
    arq.posicao += c.largura;
}

bool termina_valor(int c) {
    return c == ' ' || c == '\t' || c == ',' || c == '/' || c == fim_de_linha || c == fim_de_arquivo;
}

bool digito_decimal(char c) {
    return c >= '0' && c <= '9';
}

// "12*": a repeat count and its star, with nothing after them yet.
bool prefixo_repeticao(const std::string& valor) {
    if (valor.size() < 2 || valor.back() != '*') return false;
    for (std::size_t k = 0; k + 1 < valor.size(); ++k) {
        if (!digito_decimal(valor[k])) return false;
    }
    return true;
}

// Takes an enclosed text, the opening mark being at the read position. The
// value ends at the matching mark on the same line; a doubled mark stands
// for one. Only the first guarda bytes are kept, but the scan goes on to the
// closing mark so that the rest of the value is dropped, not read as the
// next value.
void le_delimitado(arquivo_entrada& arq, std::string& valor, std::size_t guarda) {
    const caractere abertura = espia(arq);
    consome(arq, abertura);
    for (;;) {
        const caractere c = espia(arq);
        if (c.valor == fim_de_linha || c.valor == fim_de_arquivo) {
            falha_leitura(arq, execucao::codigo_texto_aberto,
                          "enclosed text without its closing mark on its line");
        }
        consome(arq, c);
        if (c.valor == abertura.valor) {
            const caractere seguinte = espia(arq);
            if (seguinte.valor != abertura.valor) return;
            consome(arq, seguinte);
        }
        if (valor.size() < guarda) valor.push_back(static_cast<char>(c.valor));
    }
}

// Finds the value of one read. Leaves in valor its text, without a repeat
// count; for an enclosed text, its content with doubled marks undone and at
// most guarda bytes of it. Returns false for a null value. The read position
// is left just after the value.
bool le_valor(arquivo_entrada& arq, tipo_item tipo, std::string& valor, std::size_t guarda) {
    caractere c = espia(arq);
    while (c.valor == ' ' || c.valor == '\t' || c.valor == fim_de_linha) {
        consome(arq, c);
        c = espia(arq);
    }
    if (c.valor == fim_de_arquivo) falha_leitura(arq, execucao::codigo_fim_de_arquivo, "end of file");
    if (c.valor == ',' || c.valor == '/') return false;

    valor.clear();
    bool delimitado = false;
    for (;;) {
        c = espia(arq);
        if (termina_valor(c.valor)) break;
        if (tipo == tipo_item::texto && (c.valor == '\'' || c.valor == '"') &&
            (valor.empty() || prefixo_repeticao(valor))) {
            delimitado = true;
            break;
        }
        if (valor.size() == comprimento_maximo_valor) {
            falha_leitura(arq, execucao::codigo_valor_longo,
                          "value longer than " + std::to_string(comprimento_maximo_valor) +
                              " characters: " + citacao(valor));
        }
        valor.push_back(static_cast<char>(c.valor));
        consome(arq, c);
    }

    const std::size_t estrela = valor.find('*');
    if (estrela != std::string::npos && estrela > 0 && prefixo_repeticao(valor.substr(0, estrela + 1))) {
        // The count only says how many items the value would fill; one read
        // fills one, so beyond being positive and a proper count it has no use.
        std::int64_t contagem = 0;
        for (std::size_t k = 0; k < estrela && contagem <= INT32_MAX; ++k)
            contagem = contagem * 10 + (valor[k] - '0');
        if (contagem == 0)
            falha_leitura(arq, execucao::codigo_repeticao_zero, "repeat count of zero: " + citacao(valor));
        if (contagem > INT32_MAX) {
            falha_leitura(arq, execucao::codigo_inteiro_fora, "repeat count out of range: " + citacao(valor));
        }
        valor.erase(0, estrela + 1);
        if (valor.empty() && !delimitado) return false;  // "r*" alone: r null values
    }
    if (delimitado) le_delimitado(arq, valor, guarda);
    return true;
}

// Whatever follows the value on its line belongs to no read.
void pula_resto_da_linha(arquivo_entrada& arq) {
    for (;;) {
        const caractere c = espia(arq);
        if (c.valor == fim_de_arquivo) return;
        consome(arq, c);
        if (c.valor == fim_de_linha) return;
    }
}

int valor_digito(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

enum class conversao { certa, forma_errada, fora_do_intervalo };

// [sign] digits, or [sign] [base] # digits with the base from 2 to 36.
conversao converte_inteiro(std::string_view t, std::int32_t& resultado) {
    std::size_t k = 0;
    bool negativo = false;
    if (k < t.size() && (t[k] == '+' || t[k] == '-')) {
        negativo = t[k] == '-';
        ++k;
    }
    std::int64_t base = 10;
    const std::size_t cerquilha = t.find('#', k);
    if (cerquilha != std::string_view::npos) {
        if (cerquilha == k) {
            base = 16;
        } else {
            base = 0;
            for (std::size_t m = k; m < cerquilha; ++m) {
                if (!digito_decimal(t[m])) return conversao::forma_errada;
                if (base <= 36) base = base * 10 + (t[m] - '0');
            }
            if (base < 2 || base > 36) return conversao::forma_errada;
        }
        k = cerquilha + 1;
    }
    if (k == t.size()) return conversao::forma_errada;

    // Accumulation stops once past every 32-bit magnitude; the digits are
    // still checked so that a malformed value is reported as such.
    constexpr std::int64_t maior_magnitude = std::int64_t{INT32_MAX} + 1;
    std::int64_t magnitude = 0;
    for (; k < t.size(); ++k) {
        const int d = valor_digito(t[k]);
        if (d < 0 || d >= base) return conversao::forma_errada;
        if (magnitude <= maior_magnitude) magnitude = magnitude * base + d;
    }
    if (magnitude > (negativo ? maior_magnitude : maior_magnitude - 1)) return conversao::fora_do_intervalo;
    resultado = static_cast<std::int32_t>(negativo ? -magnitude : magnitude);
    return conversao::certa;
}

// [sign] mantissa [exponent]: the mantissa holds at least one digit and at
// most one point, the exponent is E, e, D or d with an optional sign and at
// least one digit. The library conversion is given only texts of this form,
// so no hexadecimal, infinity or nan spelling ever gets through it.
conversao converte_real(std::string_view t, double& resultado) {
    std::size_t k = 0;
    if (k < t.size() && (t[k] == '+' || t[k] == '-')) ++k;
    std::size_t digitos = 0;
    while (k < t.size() && digito_decimal(t[k]))
        ++k, ++digitos;
    if (k < t.size() && t[k] == '.') {
        ++k;
        while (k < t.size() && digito_decimal(t[k]))
            ++k, ++digitos;
    }
    if (digitos == 0) return conversao::forma_errada;
    if (k < t.size() && (t[k] == 'E' || t[k] == 'e' || t[k] == 'D' || t[k] == 'd')) {
        ++k;
        if (k < t.size() && (t[k] == '+' || t[k] == '-')) ++k;
        std::size_t digitos_expoente = 0;
        while (k < t.size() && digito_decimal(t[k]))
            ++k, ++digitos_expoente;
        if (digitos_expoente == 0) return conversao::forma_errada;
    }
    if (k != t.size()) return conversao::forma_errada;

    std::string normal(t);
    for (char& c : normal) {
        if (c == 'D' || c == 'd') c = 'e';
    }
    // The run never changes the C locale, so the point is the decimal
    // separator here. Out-of-range conversions raise overflow and underflow
    // flags, which must not fire the run's floating-point traps: the result
    // is judged below instead.
    char* fim = nullptr;
    const double r = execucao::sem_armadilhas([&] { return std::strtod(normal.c_str(), &fim); });
    if (fim != normal.c_str() + normal.size()) return conversao::forma_errada;
    if (std::isinf(r)) return conversao::fora_do_intervalo;  // a result that underflows is taken as it comes
    resultado = r;
    return conversao::certa;
}

}  // namespace

arquivo_entrada::~arquivo_entrada() {
    if (fd >= 0) {
#if defined(_WIN32)
        ::_close(fd);
#else
        ::close(fd);
#endif
    }
}

void abre_entrada(arquivo_entrada& arq, const std::string& nome) {
    if (arq.fd >= 0) fecha_entrada(arq);
    arq.nome = nome;
    arq.buffer.clear();
    arq.posicao = 0;
    arq.esgotado = false;
#if defined(_WIN32)
    // Binary: the reader handles CR LF itself. Not inherited, like O_CLOEXEC:
    // the editor and viewers are started with the caller's handles.
    arq.fd = ::_open(nome.c_str(), _O_RDONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
#else
    // O_CREAT asks for no write access: an existing read-only file opens as
    // any other, and a missing one is left behind empty.
    do {
        arq.fd = ::open(nome.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    } while (arq.fd < 0 && errno == EINTR);
#endif
    if (arq.fd < 0) {
        const int numero = errno;
        arq.esgotado = true;
        execucao::falha_es(execucao::codigo_abrir, "OPEN", nome,
                           "cannot open the file: " + descricao_erro(numero));
    }
}

void abre_entrada_memoria(arquivo_entrada& arq, const std::string& nome, std::string bytes) {
    if (arq.fd >= 0) fecha_entrada(arq);
    arq.nome = nome;
    arq.buffer = std::move(bytes);
    arq.posicao = 0;
    arq.esgotado = true;
}

void fecha_entrada(arquivo_entrada& arq) {
    arq.buffer.clear();
    arq.posicao = 0;
    arq.esgotado = true;
    if (arq.fd < 0) return;
    const int fd = arq.fd;
    arq.fd = -1;
#if defined(_WIN32)
    const bool falhou = ::_close(fd) != 0;
#else
    // After EINTR the descriptor is released all the same; nothing was lost.
    const bool falhou = ::close(fd) != 0 && errno != EINTR;
#endif
    if (falhou) {
        const int numero = errno;
        execucao::falha_es(execucao::codigo_fechar, "CLOSE", arq.nome,
                           "cannot close the file: " + descricao_erro(numero));
    }
}

bool le_inteiro(arquivo_entrada& arq, std::int32_t& item) {
    std::string valor;
    const bool atribuido = le_valor(arq, tipo_item::inteiro, valor, 0);
    if (atribuido) {
        std::int32_t v = 0;
        switch (converte_inteiro(valor, v)) {
            case conversao::forma_errada:
                falha_leitura(arq, execucao::codigo_inteiro_invalido,
                              "integer value of the wrong form: " + citacao(valor));
            case conversao::fora_do_intervalo:
                falha_leitura(arq, execucao::codigo_inteiro_fora,
                              "integer value out of range: " + citacao(valor));
            case conversao::certa:
                break;
        }
        item = v;
    }
    pula_resto_da_linha(arq);
    return atribuido;
}

bool le_real(arquivo_entrada& arq, double& item) {
    std::string valor;
    const bool atribuido = le_valor(arq, tipo_item::real, valor, 0);
    if (atribuido) {
        double v = 0.0;
        switch (converte_real(valor, v)) {
            case conversao::forma_errada:
                falha_leitura(arq, execucao::codigo_real_invalido,
                              "real value of the wrong form: " + citacao(valor));
            case conversao::fora_do_intervalo:
                falha_leitura(arq, execucao::codigo_real_fora, "real value out of range: " + citacao(valor));
            case conversao::certa:
                break;
        }
        item = v;
    }
    pula_resto_da_linha(arq);
    return atribuido;
}

bool le_texto(arquivo_entrada& arq, std::string& item, std::size_t comprimento) {
    std::string valor;
    const bool atribuido = le_valor(arq, tipo_item::texto, valor, comprimento);
    if (atribuido) {
        valor.resize(comprimento, ' ');
        item = std::move(valor);
    }
    pula_resto_da_linha(arq);
    return atribuido;
}

}  // namespace dados
