#include "malhas_qualidade/comum/caminhos.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <vector>

#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/sistema.hpp"

namespace malhas_qualidade::caminhos {

namespace {

// Links followed one after another before a name is taken as it stands: the
// system's own limit on a chain.
constexpr int saltos_maximos = 40;

// A call that failed for want of memory fails the run as any allocation
// does: taking its failure for "no such file" would let a link through.
void confere_memoria() {
    if (errno == ENOMEM) throw tempo_execucao::falta_memoria(tempo_execucao::alocando_agora());
}

std::string comparavel(std::string s) {
    if (sistema::nomes_ignoram_caixa())
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The folder with its links resolved as far as it exists, the rest of it
// appended as written; kept as it is where the system cannot say.
std::string pasta_real(const std::string& pasta) {
    if (pasta.empty()) return pasta;
    std::string real;
    if (sistema::caminho_real(pasta, real) == 0) return normal(real);
    confere_memoria();
    if (errno != ENOENT && errno != ENOTDIR) return pasta;
    const std::string acima = pasta_de(pasta);
    if (acima.empty() || acima == pasta) return pasta;
    return junta(pasta_real(acima), nome_de(pasta), '/');
}

}  // namespace

std::string junta(std::string_view pasta, std::string_view nome, char separador) {
    std::string s(pasta);
    if (!s.empty() && !sistema::e_separador(s.back()) && !(s.size() == 2 && s[1] == ':')) s += separador;
    s += nome;
    return s;
}

bool termina_em(std::string_view nome, std::string_view extensao) {
    if (nome.size() < extensao.size()) return false;
    const std::string_view fim = nome.substr(nome.size() - extensao.size());
    return std::equal(fim.begin(), fim.end(), extensao.begin(), extensao.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

std::string normal(std::string_view nome) {
    std::string g(nome);
    for (char& c : g)
        if (sistema::e_separador(c)) c = '/';
    const std::size_t r = sistema::tamanho_raiz(g);
    std::string raiz = g.substr(0, r);
    // The parts after the root, as views of g.
    std::vector<std::string_view> partes;
    const std::string_view resto = std::string_view(g).substr(r);
    std::size_t k = 0;
    while (k <= resto.size()) {
        std::size_t fim = resto.find('/', k);
        if (fim == std::string_view::npos) fim = resto.size();
        const std::string_view parte = resto.substr(k, fim - k);
        k = fim + 1;
        if (parte.empty() || parte == ".") continue;
        if (parte == "..") {
            if (!partes.empty() && partes.back() != "..") {
                partes.pop_back();
                continue;
            }
            if (!raiz.empty()) continue;  // above the root is the root
        }
        partes.push_back(parte);
    }
    std::string s = raiz;
    for (std::size_t p = 0; p < partes.size(); ++p) {
        if (p > 0) s += '/';
        s += partes[p];
    }
    return s.empty() ? std::string(".") : s;
}

std::string pasta_de(std::string_view nome) {
    const std::string n(nome);
    const std::size_t r = sistema::tamanho_raiz(n);
    const std::size_t k = n.find_last_of('/');
    if (k == std::string::npos || k < r) return n.substr(0, r);
    return n.substr(0, k);
}

std::string nome_de(std::string_view nome) {
    const std::string n(nome);
    const std::size_t r = sistema::tamanho_raiz(n);
    const std::size_t k = n.find_last_of('/');
    const std::size_t inicio = k == std::string::npos ? r : std::max(k + 1, r);
    return n.substr(inicio);
}

std::string resolvido(const std::string& nome) {
    std::string absoluto;
    if (sistema::caminho_absoluto(nome, absoluto) != 0) {
        confere_memoria();
        absoluto = nome;
    }
    std::string p = normal(absoluto);
    for (int saltos = 0; saltos < saltos_maximos; ++saltos) {
        const std::string base = nome_de(p);
        if (base.empty()) break;  // the root
        const std::string pasta = pasta_real(pasta_de(p));
        p = junta(pasta, base, '/');
        std::string alvo;
        if (sistema::le_link(p, alvo) != 0) {
            confere_memoria();
            break;
        }
        std::string alvo_generico = normal(alvo);
        p = sistema::tamanho_raiz(alvo_generico) > 0 ? alvo_generico : normal(junta(pasta, alvo, '/'));
    }
    return p;
}

bool mesmo_arquivo(const std::string& a, const std::string& b) {
    if (comparavel(normal(a)) == comparavel(normal(b))) return true;
    if (comparavel(resolvido(a)) == comparavel(resolvido(b))) return true;
    const sistema::identidade_arquivo id_a = sistema::identidade(a);
    return id_a.valida && id_a == sistema::identidade(b);
}

bool dentro_de(const std::string& nome, const std::string& pasta) {
    const std::string destino = resolvido(nome);
    const std::string alvo = comparavel(destino), base = comparavel(resolvido(pasta));
    if (alvo.size() > base.size() && alvo.compare(0, base.size(), base) == 0 &&
        (base.back() == '/' || alvo[base.size()] == '/'))
        return true;
    const sistema::identidade_arquivo id = sistema::identidade(pasta);
    if (!id.valida) return false;
    std::string p = pasta_de(destino);
    for (int nivel = 0; nivel < 256 && !p.empty(); ++nivel) {
        if (sistema::identidade(p) == id) return true;
        const std::string acima = pasta_de(p);
        if (acima == p) break;
        p = acima;
    }
    return false;
}

}  // namespace malhas_qualidade::caminhos
