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

constexpr std::size_t linha_par = 2 * processamento::largura_e25_15 + 2;  // the outline file's x, y and CR LF

char* fim_de_linha(char* p) {
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

void escreve_relatorio(saida_atomica& s, const malha_lida& m) {
    escreve(s, processamento::linhas_iniciais_relatorio(m.nvol_ksi, m.nvol_eta, m.nvert_ksi, m.nvert_eta));
    constexpr std::size_t linha = processamento::largura_linha_vertice + 2;
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        char* const inicio = reserva(s, linha);
        char* q = processamento::campo_i10(inicio, static_cast<std::int32_t>(v));
        q = processamento::campo_e25_15(q, m.x[static_cast<std::size_t>(v)]);
        q = processamento::campo_e25_15(q, m.y[static_cast<std::size_t>(v)]);
        confirma(s, static_cast<std::size_t>(fim_de_linha(q) - inicio));
    }
}

// Every volume's outline: its corners 1, 2, 3, 4 and 1 again, then a line
// holding one blank.
void escreve_contornos(saida_atomica& s, const malha_lida& m) {
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const auto v4 = cantos(m, vertice(m, i, j));
            const std::int64_t contorno[5] = {v4[0], v4[1], v4[2], v4[3], v4[0]};
            char* const inicio = reserva(s, 5 * linha_par + processamento::linha_branca.size());
            char* q = inicio;
            for (const std::int64_t v : contorno) {
                q = processamento::campo_e25_15(q, m.x[static_cast<std::size_t>(v)]);
                q = fim_de_linha(processamento::campo_e25_15(q, m.y[static_cast<std::size_t>(v)]));
            }
            for (const char c : processamento::linha_branca)
                *q++ = c;
            confirma(s, static_cast<std::size_t>(q - inicio));
        }
    }
}

void escreve_volumes(saida_atomica& s, const malha_lida& m) {
    escreve(s, processamento::linha_cabecalho_volumes());
    constexpr std::size_t linha = processamento::largura_linha_volume + 2;
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const std::int64_t p = volume(m, i, j);
            char* const inicio = reserva(s, linha);
            char* q = processamento::campo_i10(inicio, static_cast<std::int32_t>(p));
            for (const std::int64_t v : cantos(m, vertice(m, i, j)))
                q = processamento::campo_i10(q, static_cast<std::int32_t>(v));
            confirma(s, static_cast<std::size_t>(fim_de_linha(q) - inicio));
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
