#include "malhas_qualidade/exportacao/fronteiras.hpp"

#include <cctype>

#include "malhas_qualidade/comum/erros.hpp"

namespace malhas_qualidade {

namespace {

constexpr int frente_e_tras = n_patches - 1;

bool palavra(std::string_view nome) {
    if (nome.empty() || nome.size() > 64) return false;
    auto letra = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; };
    if (!letra(nome[0])) return false;
    for (char c : nome)
        if (!letra(c) && std::isdigit(static_cast<unsigned char>(c)) == 0 && c != '-') return false;
    return true;
}

// The boundary of that own name.
int fronteira_de(std::string_view nome) {
    for (int k = 0; k < n_patches; ++k)
        if (nome == nomes_patches[k]) return k;
    std::string nomes;
    for (const char* n : nomes_patches)
        nomes += std::string(nomes.empty() ? "" : ", ") + n;
    falha_uso("--fronteira: no boundary " + std::string(nome) + "; the boundaries are " + nomes);
}

void confere_tipo(int k, std::string_view tipo) {
    const std::string qual = std::string("--fronteira ") + nomes_patches[k] + ": ";
    if (k == frente_e_tras) {
        if (tipo != "empty")
            falha_uso(qual + "front and back stay empty (one layer of cells: the case is two-dimensional)");
        return;
    }
    if (tipo == "patch" || tipo == "wall" || tipo == "symmetry") return;
    if (tipo == "symmetryPlane") {
        // OpenFOAM refuses a symmetry plane whose faces do not lie in one.
        if (k >= 2) return;
        falha_uso(qual + "a line of the L turns its corner, so it is no plane: symmetry suits it, not " +
                  "symmetryPlane");
    }
    falha_uso(qual + "no type " + std::string(tipo) + "; a boundary line is patch, wall, symmetry or " +
              "(the straight edges) symmetryPlane");
}

}  // namespace

fronteiras fronteiras_padrao() {
    fronteiras f;
    const char* const tipos[n_patches] = {"wall", "wall", "patch", "patch", "empty"};
    for (int k = 0; k < n_patches; ++k)
        f.de[k] = {nomes_patches[k], tipos[k]};
    return f;
}

void aplica_fronteira(fronteiras& f, std::string_view pedido) {
    const std::size_t igual = pedido.find('=');
    if (igual == std::string_view::npos)
        falha_uso("--fronteira wants BOUNDARY=NAME, BOUNDARY=NAME:TYPE or BOUNDARY=:TYPE, not " +
                  std::string(pedido));
    const int k = fronteira_de(pedido.substr(0, igual));
    std::string_view resto = pedido.substr(igual + 1);
    const std::size_t dois_pontos = resto.find(':');
    const std::string_view nome = resto.substr(0, dois_pontos);
    if (!nome.empty()) {
        if (!palavra(nome))
            falha_uso("--fronteira " + std::string(pedido) + ": a name is a letter or '_', then letters, " +
                      "digits, '_' and '-' (at most 64)");
        f.de[k].nome = nome;
    }
    if (dois_pontos != std::string_view::npos) {
        const std::string_view tipo = resto.substr(dois_pontos + 1);
        confere_tipo(k, tipo);
        f.de[k].tipo = tipo;
    } else if (nome.empty()) {
        falha_uso("--fronteira " + std::string(pedido) + " gives neither a name nor a type");
    }
}

void confere_fronteiras(const fronteiras& f) {
    for (int a = 0; a < n_linhas_fronteira; ++a)
        if (f.de[a].nome == nome_dominio)
            falha_uso("--fronteira: " + std::string(nomes_patches[a]) + " may not be named " + nome_dominio +
                      ", the name of the domain's physical group in the Gmsh export");
    for (int a = 0; a < n_patches; ++a)
        for (int b = a + 1; b < n_patches; ++b)
            if (f.de[a].nome == f.de[b].nome)
                falha_uso("--fronteira: " + std::string(nomes_patches[a]) + " and " + nomes_patches[b] +
                          " would both be named " + f.de[a].nome);
}

}  // namespace malhas_qualidade
