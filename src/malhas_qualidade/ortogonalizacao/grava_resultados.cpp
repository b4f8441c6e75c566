#include "malhas_qualidade/ortogonalizacao/grava_resultados.hpp"

#include <filesystem>
#include <system_error>

#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "processamento/campos.hpp"
#include "processamento/formato.hpp"
#include "processamento/nomes_resultado.hpp"
#include "processamento/processamento.hpp"

namespace malhas_qualidade::ortogonalizacao {

namespace {

namespace fs = std::filesystem;

// The three files as the run writes them, line by line by its own writers.
void escreve_relatorio(saida_atomica& s, const malha_lida& m) {
    escreve(s, processamento::linhas_iniciais_relatorio(m.nvol_ksi, m.nvol_eta, m.nvert_ksi, m.nvert_eta));
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        char* const inicio = reserva(s, processamento::largura_linha_vertice + 2);
        const auto k = static_cast<std::size_t>(v);
        char* const fim =
            processamento::escreve_linha_vertice(inicio, static_cast<std::int32_t>(v), m.x[k], m.y[k]);
        confirma(s, static_cast<std::size_t>(fim - inicio));
    }
}

void escreve_contornos(saida_atomica& s, const malha_lida& m) {
    constexpr std::size_t linha = 2 * processamento::largura_e25_15 + 2;
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const auto c = cantos(m, vertice(m, i, j));
            char* const inicio = reserva(s, 5 * linha + processamento::linha_branca.size());
            char* q = inicio;
            for (const int canto : processamento::ordem_cantos_contorno) {
                const auto v = static_cast<std::size_t>(c[static_cast<std::size_t>(canto)]);
                q = processamento::escreve_linha_contorno(q, m.x[v], m.y[v]);
            }
            for (const char b : processamento::linha_branca)
                *q++ = b;
            confirma(s, static_cast<std::size_t>(q - inicio));
        }
    }
}

void escreve_volumes(saida_atomica& s, const malha_lida& m) {
    escreve(s, processamento::linha_cabecalho_volumes());
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const auto c = cantos(m, vertice(m, i, j));
            const std::int32_t c32[4] = {static_cast<std::int32_t>(c[0]), static_cast<std::int32_t>(c[1]),
                                         static_cast<std::int32_t>(c[2]), static_cast<std::int32_t>(c[3])};
            char* const inicio = reserva(s, processamento::largura_linha_volume + 2);
            char* const fim =
                processamento::escreve_linha_volume(inicio, static_cast<std::int32_t>(volume(m, i, j)), c32);
            confirma(s, static_cast<std::size_t>(fim - inicio));
        }
    }
}

// The case file: the name enclosed in apostrophes (a doubled one stands for
// one), the sizes, and a mesh kind other than 2, so that the summary judges
// the files as they are and asks for no parameter file.
std::string texto_caso(const std::string& nome, const malha_lida& m) {
    std::string citado = "'";
    for (const char c : nome) {
        citado += c;
        if (c == '\'') citado += '\'';
    }
    citado += "'";
    return citado +
           "   case name: these result files hold the solver-grade mesh of malhas_qualidade "
           "--ortogonaliza\r\n" +
           std::to_string(m.nvol_ksi) + "   number of volumes along ksi\r\n" + std::to_string(m.nvol_eta) +
           "   number of volumes along eta\r\n"
           "1   mesh kind (malhas_segmentos run here would write its algebraic mesh over these files)\r\n";
}

}  // namespace

std::vector<std::string> arquivos_gravados(const std::string& pasta, const std::string& nome_caso) {
    const fs::path p(pasta);
    return {(p / processamento::nome_relatorio(nome_caso)).string(), (p / processamento::nome_malha).string(),
            (p / processamento::nome_volumes(nome_caso)).string(),
            (p / processamento::nome_entradas).string()};
}

std::string grava_resultados(const std::string& pasta, const std::string& nome_caso, const malha_lida& m) {
    std::error_code ec;
    if (!fs::is_directory(pasta, ec)) {
        fs::create_directory(pasta, ec);
        if (ec) falha(pasta, 0, "--grava: cannot create the folder: " + ec.message());
    }
    const std::vector<std::string> nomes = arquivos_gravados(pasta, nome_caso);
    void (*const escritores[3])(saida_atomica&, const malha_lida&) = {escreve_relatorio, escreve_contornos,
                                                                      escreve_volumes};
    for (int k = 0; k < 3; ++k) {
        saida_atomica s;
        abre_saida(s, nomes[static_cast<std::size_t>(k)]);
        escritores[k](s, m);
        conclui_saida(s);
    }
    // A case file of the user's is never replaced; one that would not read
    // back as this case is not written.
    const std::string& nome_entradas = nomes[3];
    if (fs::exists(nome_entradas, ec)) return "";
    const std::string texto = texto_caso(processamento::base_do_nome(nome_caso), m);
    try {
        const caso lido = le_caso_memoria(nome_entradas, texto);
        if (processamento::base_do_nome(lido.nome_caso) != processamento::base_do_nome(nome_caso)) return "";
    } catch (const falha_qualidade&) {
        return "";
    }
    saida_atomica s;
    abre_saida(s, nome_entradas);
    escreve(s, texto);
    return conclui_saida_nova(s) ? nome_entradas : "";
}

}  // namespace malhas_qualidade::ortogonalizacao
