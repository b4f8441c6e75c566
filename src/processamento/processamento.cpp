#include "processamento/processamento.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dados/executa_comando.hpp"
#include "processamento/arquivo_saida.hpp"
#include "processamento/campos.hpp"
#include "processamento/formato.hpp"
#include "processamento/nomes_resultado.hpp"
#include "variaveis/variaveis.hpp"

namespace processamento {

using namespace variaveis;

std::string nome_arq_txt;
std::string nome_arq_vert;

namespace {

constexpr std::size_t comprimento_nome_txt = 120;
constexpr std::size_t comprimento_nome_vert = 150;
// Field widths of the lines built from the fields directly.
constexpr std::size_t largura_i10 = 10;
constexpr std::size_t largura_e25 = 25;
constexpr std::size_t largura_par = 2 * largura_e25;  // x and y of one vertex
constexpr std::size_t linha_vertice = largura_i10 + largura_par + 2;
constexpr std::size_t linha_contorno = largura_par + 2;
constexpr std::size_t linha_volume = 5 * largura_i10 + 2;

std::string preenche(std::string s, std::size_t comprimento) {
    if (s.size() < comprimento) s.append(comprimento - s.size(), ' ');
    return s;
}

const formato& formato_tamanhos() {
    static const formato f = compila_formato(
        "(I10,' = n\xFAmero de volumes na dire\xE7\xE3o ksi',/,I10,' = n\xFAmero de volumes na dire\xE7\xE3o "
        "eta',/,"
        "I10,' = n\xFAmero de v\xE9rtices na dire\xE7\xE3o ksi',/,I10,' = n\xFAmero de v\xE9rtices na "
        "dire\xE7\xE3o eta')");
    return f;
}

const formato& formato_cabecalho_vertices() {
    static const formato f =
        compila_formato("(/,T4,'v\xE9rtice',T15,'posi\xE7\xE3o x',T40,'posi\xE7\xE3o y')");
    return f;
}

const formato& formato_cabecalho_volumes() {
    static const formato f = compila_formato(
        "(T5,'volume',T16,'numera\xE7\xE3o dos v\xE9rtices do quadril\xE1tero correspondente ao volume')");
    return f;
}

// The vertex, outline and volume lines are the layouts of "(I10,2(1P,E25.15))",
// "(2(1P,E25.15))" and "(5(I10))"; on a big mesh they are millions of lines,
// so they are assembled from the fields directly, byte for byte what the format
// interpretation makes of those formats.
char* fim_de_linha(char* p) {
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

char* par_xy(char* p, std::int64_t v) {
    p = campo_e25_15(p, x[v]);
    return campo_e25_15(p, y[v]);
}

void escreve_arquivo_relatorio(arquivo_saida& arq) {
    escreve_formatado(arq, formato_tamanhos(), {nvol_ksi, nvol_eta, nvert_ksi, nvert_eta});
    escreve_formatado(arq, formato_cabecalho_vertices(), {});
    const std::int64_t n_ksi = nvert_ksi;
    for (std::int64_t j = 1; j <= nvert_eta; ++j) {
        for (std::int64_t i = 1; i <= n_ksi; ++i) {
            const std::int64_t k = (j - 1) * n_ksi + i;
            char* p = reserva(arq, linha_vertice);
            char* q = campo_i10(p, static_cast<std::int32_t>(k));
            q = fim_de_linha(par_xy(q, k));
            confirma(arq, static_cast<std::size_t>(q - p));
        }
    }
}

// Every vertex appears in up to four outlines. The texts of the two vertex
// rows that the current volume row touches are formatted once and kept, as
// long as two rows fit in a small buffer; otherwise each point is formatted
// where it is used.
constexpr std::size_t limite_cache_contorno = std::size_t{4} << 20;

void escreve_contornos(arquivo_saida& arq) {
    const std::int64_t n_ksi = nvert_ksi;
    const bool usa_cache =
        n_ksi > 0 && static_cast<std::uint64_t>(n_ksi) * 2 * largura_par <= limite_cache_contorno;
    std::vector<char> linhas_cache;
    std::int64_t primeira_linha_cache = 0;  // eta index of the first cached vertex row (0: none)
    if (usa_cache) linhas_cache.resize(static_cast<std::size_t>(n_ksi) * 2 * largura_par);

    auto formata_linha = [&](std::int64_t j, char* destino) {
        for (std::int64_t i = 1; i <= n_ksi; ++i)
            destino = par_xy(destino, (j - 1) * n_ksi + i);
    };
    auto prepara_cache = [&](std::int64_t j) {
        // Rows j and j + 1 of the vertices, reusing row j when it was the
        // second row of the previous volume row.
        const std::size_t bytes_linha = static_cast<std::size_t>(n_ksi) * largura_par;
        if (primeira_linha_cache == j - 1 && j > 1) {
            std::memcpy(linhas_cache.data(), linhas_cache.data() + bytes_linha, bytes_linha);
        } else if (j <= nvert_eta) {
            formata_linha(j, linhas_cache.data());
        }
        if (j + 1 <= nvert_eta) formata_linha(j + 1, linhas_cache.data() + bytes_linha);
        primeira_linha_cache = j;
    };

    for (std::int64_t j = 1; j <= nvol_eta; ++j) {
        if (usa_cache) prepara_cache(j);
        for (std::int64_t i = 1; i <= nvol_ksi; ++i) {
            const std::int64_t p = (j - 1) * static_cast<std::int64_t>(nvol_ksi) + i;
            static constexpr int ordem_cantos[5] = {0, 1, 2, 3, 0};
            for (int canto : ordem_cantos) {
                const std::int64_t v = vert_vol[p][canto];
                char* destino = reserva(arq, linha_contorno);
                char* q = destino;
                const std::int64_t linha = n_ksi > 0 ? (v - 1) / n_ksi + 1 : 0;
                if (usa_cache && v >= 1 && (linha == j || linha == j + 1)) {
                    const std::int64_t i_v = v - (linha - 1) * n_ksi;
                    const char* origem =
                        linhas_cache.data() +
                        static_cast<std::size_t>((linha - j) * n_ksi + (i_v - 1)) * largura_par;
                    std::memcpy(q, origem, largura_par);
                    q += largura_par;
                } else {
                    q = par_xy(q, v);
                }
                q = fim_de_linha(q);
                confirma(arq, static_cast<std::size_t>(q - destino));
            }
            escreve_linha_branca(arq);
        }
    }
}

void escreve_volumes(arquivo_saida& arq) {
    escreve_formatado(arq, formato_cabecalho_volumes(), {});
    for (std::int64_t j = 1; j <= nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= nvol_ksi; ++i) {
            const std::int64_t p = (j - 1) * static_cast<std::int64_t>(nvol_ksi) + i;
            char* destino = reserva(arq, linha_volume);
            char* q = campo_i10(destino, static_cast<std::int32_t>(p));
            for (int canto = 0; canto < 4; ++canto)
                q = campo_i10(q, vert_vol[p][canto]);
            q = fim_de_linha(q);
            confirma(arq, static_cast<std::size_t>(q - destino));
        }
    }
}

void executa_visualizador(const std::string& programa, const std::string& nome_preenchido) {
    const std::string nome = sem_brancos_finais(nome_preenchido);
    const std::string citado = dados::nome_para_comando(nome);
    // An ordinary name goes in with its padding, as the fixed-length command
    // text it is; executa_comando drops the trailing blanks.
    const std::string comando = programa + (citado == nome ? nome_preenchido : citado);
    dados::executa_comando(comando.data(), static_cast<std::int32_t>(comando.size()));
}

}  // namespace

void escreve_resultados() {
    const std::string base = base_do_nome(nome_caso);
    nome_arq_txt = preenche(base + ".txt", comprimento_nome_txt);
    nome_arq_vert = preenche(base + "_vert.txt", comprimento_nome_vert);

    const std::string nomes[3] = {sem_brancos_finais(nome_arq_txt), nome_malha,
                                  sem_brancos_finais(nome_arq_vert)};
    // Device names first: Windows resolves every spelling of a device to
    // the device itself, so they would otherwise pass for a collision.
    confere_nomes_abriveis(nomes);
    confere_nomes_distintos(nomes);

    arquivo_saida arquivo_relatorio, contorno, volumes;
    abre_saida(arquivo_relatorio, nomes[0]);
    abre_saida(contorno, nomes[1]);
    abre_saida(volumes, nomes[2]);
    arquivo_saida* abertos[3] = {&arquivo_relatorio, &contorno, &volumes};
    confere_abertos_distintos(abertos);

    // Each file is complete on disk before the next is touched: a full disk
    // then stops the run in the file it happens in, and the files after it
    // keep what they held.
    escreve_arquivo_relatorio(arquivo_relatorio);
    descarrega_saida(arquivo_relatorio);
    escreve_contornos(contorno);
    descarrega_saida(contorno);
    escreve_volumes(volumes);

    fecha_saida(arquivo_relatorio);
    fecha_saida(contorno);
    fecha_saida(volumes);

    executa_visualizador("notepad ", nome_arq_txt);
    executa_visualizador("notepad ", nome_arq_vert);
    dados::executa_comando("wgnuplot malha.gnu", 18);
}

}  // namespace processamento
