// The result files as escreve_resultados writes them, line for line the
// same as the format interpreter makes of the same values: the vertex,
// outline and volume lines are assembled from the fields directly for speed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "apoio.hpp"
#include "malhas_segmentos/malha_inicial.hpp"
#include "processamento/formato.hpp"
#include "processamento/processamento.hpp"
#include "variaveis/variaveis.hpp"

namespace {

using namespace variaveis;
using processamento::compila_formato;
using processamento::formata;
using processamento::valor;

// The three files written by the interpreter alone, from the shared state.
struct arquivos {
    std::string relatorio, contorno, volumes;
};

arquivos pelo_interpretador() {
    const auto tamanhos = compila_formato(
        "(I10,' = n\xFAmero de volumes na dire\xE7\xE3o ksi',/,I10,' = n\xFAmero de volumes na dire\xE7\xE3o "
        "eta',/,"
        "I10,' = n\xFAmero de v\xE9rtices na dire\xE7\xE3o ksi',/,I10,' = n\xFAmero de v\xE9rtices na "
        "dire\xE7\xE3o "
        "eta')");
    const auto cabecalho = compila_formato("(/,T4,'v\xE9rtice',T15,'posi\xE7\xE3o x',T40,'posi\xE7\xE3o y')");
    const auto vertice = compila_formato("(I10,2(1P,E25.15))");
    const auto ponto = compila_formato("(2(1P,E25.15))");
    const auto cabecalho_volumes = compila_formato(
        "(T5,'volume',T16,'numera\xE7\xE3o dos v\xE9rtices do quadril\xE1tero correspondente ao volume')");
    const auto volume = compila_formato("(5(I10))");
    arquivos a;
    const valor t[] = {nvol_ksi, nvol_eta, nvert_ksi, nvert_eta};
    formata(a.relatorio, tamanhos, t);
    formata(a.relatorio, cabecalho, {});
    for (std::int32_t j = 1; j <= nvert_eta; ++j) {
        for (std::int32_t i = 1; i <= nvert_ksi; ++i) {
            const std::int32_t k = (j - 1) * nvert_ksi + i;
            const valor v[] = {k, x[k], y[k]};
            formata(a.relatorio, vertice, v);
        }
    }
    for (std::int32_t p = 1; p <= nvol; ++p) {
        for (int s : {0, 1, 2, 3, 0}) {
            const valor v[] = {x[vert_vol[p][s]], y[vert_vol[p][s]]};
            formata(a.contorno, ponto, v);
        }
        a.contorno += " \r\n";
    }
    formata(a.volumes, cabecalho_volumes, {});
    for (std::int32_t p = 1; p <= nvol; ++p) {
        const valor v[] = {p, vert_vol[p][0], vert_vol[p][1], vert_vol[p][2], vert_vol[p][3]};
        formata(a.volumes, volume, v);
    }
    return a;
}

void suaviza(std::int32_t niter_, std::int32_t niter_solver_) {
    dksi = 1.0;
    deta = 1.3;
    tipo_p = tipo_q = 1;
    aloca_trabalho_eliptico();
    apoio::suaviza_malha(niter_, niter_solver_);
}

TEST(Resultados, LinhasRapidasIguaisAsDoInterpretador) {
    struct caso {
        std::int32_t nk, ne, niter;
    };
    // Smoothed meshes give coordinates with every digit in use; odd and even
    // sizes, one row of volumes, a long row, and rows too long to keep two of
    // them formatted.
    const caso casos[] = {{4, 2, 0}, {7, 5, 3}, {12, 9, 5}, {5, 1, 0}, {61, 3, 2}, {3, 12, 4}, {50000, 1, 0}};
    for (const auto& c : casos) {
        SCOPED_TRACE(testing::Message() << c.nk << " x " << c.ne);
        apoio::pasta_temporaria p;
        apoio::prepara_malha(c.nk, c.ne);
        nome_caso = apoio::nome_preenchido("caso");
        malhas_segmentos::gera_malha_inicial();
        suaviza(c.niter, 3);

        const std::string antes = std::filesystem::current_path().string();
        {
            apoio::variavel_ambiente comspec("COMSPEC", MALHAS_INTERPRETADOR_FALSO);
            std::filesystem::current_path(p.caminho());
            processamento::escreve_resultados();
            std::filesystem::current_path(antes);
        }

        const arquivos esperado = pelo_interpretador();
        EXPECT_EQ(apoio::le_arquivo(p / "caso.txt"), esperado.relatorio);
        EXPECT_EQ(apoio::le_arquivo(p / "malha.txt"), esperado.contorno);
        EXPECT_EQ(apoio::le_arquivo(p / "caso_vert.txt"), esperado.volumes);
        EXPECT_EQ(processamento::nome_arq_txt, "caso.txt" + std::string(112, ' '));
        EXPECT_EQ(processamento::nome_arq_vert, "caso_vert.txt" + std::string(137, ' '));
    }
    reinicia();
}

}  // namespace
