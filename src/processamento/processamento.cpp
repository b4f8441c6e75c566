#include "processamento/processamento.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "dados/executa_comando.hpp"
#include "processamento/arquivo_saida.hpp"
#include "processamento/campos.hpp"
#include "processamento/escrita_blocos.hpp"
#include "processamento/formato.hpp"
#include "processamento/nomes_resultado.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/fios.hpp"
#include "variaveis/variaveis.hpp"

namespace processamento {

using namespace variaveis;

std::string nome_arq_txt;
std::string nome_arq_vert;

namespace {

constexpr std::size_t comprimento_nome_txt = 120;
constexpr std::size_t comprimento_nome_vert = 150;
// The lines built from the fields directly, CR LF included.
constexpr std::size_t largura_par = 2 * largura_e25_15;  // x and y of one vertex
constexpr std::size_t linha_vertice = largura_linha_vertice + 2;
constexpr std::size_t linha_contorno = largura_par + 2;
constexpr std::size_t linha_volume = largura_linha_volume + 2;
static_assert(largura_linha_vertice == largura_i10 + largura_par);

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

// The vertex, outline and volume lines: on a big mesh they are millions of
// lines, so they are assembled from the fields directly, byte for byte what
// the format interpretation makes of their formats.
char* fim_de_linha(char* p) {
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

char* par_xy(char* p, std::int64_t v) {
    p = campo_e25_15(p, x[v]);
    return campo_e25_15(p, y[v]);
}

// The count of a loop over 1 .. a (outer) and 1 .. b (inner): none when
// either is below 1, whatever their product.
std::int64_t itens(std::int32_t a, std::int32_t b) {
    return a > 0 && b > 0 ? static_cast<std::int64_t>(a) * b : 0;
}

// The format texts compiled, the one step of their writing that allocates:
// done before any file is opened.
void compila_formatos() {
    formato_tamanhos();
    formato_cabecalho_vertices();
    formato_cabecalho_volumes();
}

void escreve_arquivo_relatorio(arquivo_saida& arq, blocos_escrita& b) {
    // The four size lines, then the empty line and the heading.
    escreve_formatado(arq, formato_tamanhos(), {nvol_ksi, nvol_eta, nvert_ksi, nvert_eta});
    escreve_formatado(arq, formato_cabecalho_vertices(), {});
    // Vertex k in the order of its number: j, then i; 1 .. nvert.
    escreve_itens(
        arq, itens(nvert_eta, nvert_ksi), linha_vertice,
        [](std::int64_t primeiro, std::int64_t ultimo, char* q, char*) {
            for (std::int64_t k = primeiro + 1; k <= ultimo; ++k)
                q = escreve_linha_vertice(q, static_cast<std::int32_t>(k), x[k], y[k]);
        },
        b);
}

// Every vertex appears in up to four outlines. Within a block, the texts of
// the two vertex rows that the current volume row touches (the columns the
// block's volumes of that row reach) are formatted once and kept, in the
// block's scratch; the second row becomes the first one of the next volume
// row.
struct cache_contorno {
    char* texto;
    std::int64_t linha = 0;  // eta index of the first cached vertex row (0: none)
    std::int64_t coluna_inicial = 0, coluna_final = 0;
};

constexpr std::size_t bytes_item_contorno = 5 * linha_contorno + linha_branca.size();

// The scratch a block of outlines needs: two vertex rows as wide as the most
// volumes of one row that a block holds, plus one.
std::size_t rascunho_contornos() {
    if (itens(nvol_eta, nvol_ksi) == 0) return 0;
    const std::int64_t largura = std::min<std::int64_t>(nvol_ksi, itens_por_bloco(bytes_item_contorno)) + 1;
    return 2 * static_cast<std::size_t>(largura) * largura_par;
}

void formata_contornos(std::int64_t primeiro, std::int64_t ultimo, char* q, char* rascunho) {
    const std::int64_t n_ksi = nvert_ksi, n_vol_ksi = nvol_ksi;
    cache_contorno c{rascunho};
    for (std::int64_t t = primeiro; t < ultimo;) {
        // The volumes of this block in volume row j: columns i0 .. i1.
        const std::int64_t j = t / n_vol_ksi + 1, i0 = t % n_vol_ksi + 1;
        const std::int64_t i1 = std::min(n_vol_ksi, i0 + (ultimo - t) - 1);
        const std::int64_t c0 = i0, c1 = i1 + 1, largura = c1 - c0 + 1;
        const std::size_t bytes_linha = static_cast<std::size_t>(largura) * largura_par;
        auto formata_linha = [&](std::int64_t jv, char* destino) {
            for (std::int64_t i = c0; i <= c1; ++i)
                destino = par_xy(destino, numero_vertice(i, jv, n_ksi));
        };
        const bool continua = c.linha == j - 1 && c.coluna_inicial == c0 && c.coluna_final == c1;
        if (continua) {
            std::memcpy(c.texto, c.texto + bytes_linha, bytes_linha);
        } else {
            formata_linha(j, c.texto);
        }
        if (j + 1 <= nvert_eta) formata_linha(j + 1, c.texto + bytes_linha);
        c.linha = j;
        c.coluna_inicial = c0;
        c.coluna_final = c1;

        for (std::int64_t i = i0; i <= i1; ++i, ++t) {
            const std::int64_t p = t + 1;
            for (int canto : ordem_cantos_contorno) {
                const std::int64_t v = vert_vol[p][canto];
                const indices iv = indices_vertice(v, n_ksi);
                if (v >= 1 && (iv.j == j || iv.j == j + 1) && iv.i >= c0 && iv.i <= c1) {
                    const char* origem = c.texto + static_cast<std::size_t>(iv.j - j) * bytes_linha +
                                         static_cast<std::size_t>(iv.i - c0) * largura_par;
                    std::memcpy(q, origem, largura_par);
                    q = fim_de_linha(q + largura_par);
                } else {
                    q = escreve_linha_contorno(q, x[v], y[v]);
                }
            }
            std::memcpy(q, linha_branca.data(), linha_branca.size());
            q += linha_branca.size();
        }
    }
}

void escreve_contornos(arquivo_saida& arq, blocos_escrita& b) {
    escreve_itens(arq, itens(nvol_eta, nvol_ksi), bytes_item_contorno, formata_contornos, b);
}

void escreve_volumes(arquivo_saida& arq, blocos_escrita& b) {
    escreve_formatado(arq, formato_cabecalho_volumes(), {});
    escreve_itens(
        arq, itens(nvol_eta, nvol_ksi), linha_volume,
        [](std::int64_t primeiro, std::int64_t ultimo, char* q, char*) {
            for (std::int64_t p = primeiro + 1; p <= ultimo; ++p)
                q = escreve_linha_volume(q, static_cast<std::int32_t>(p), vert_vol[p]);
        },
        b);
}

}  // namespace

char* escreve_linha_vertice(char* destino, std::int32_t v, double vx, double vy) {
    destino = campo_i10(destino, v);
    destino = campo_e25_15(destino, vx);
    return fim_de_linha(campo_e25_15(destino, vy));
}

char* escreve_linha_contorno(char* destino, double vx, double vy) {
    return fim_de_linha(campo_e25_15(campo_e25_15(destino, vx), vy));
}

char* escreve_linha_volume(char* destino, std::int32_t p, const std::int32_t cantos[4]) {
    destino = campo_i10(destino, p);
    for (int canto = 0; canto < 4; ++canto)
        destino = campo_i10(destino, cantos[canto]);
    return fim_de_linha(destino);
}

namespace {

// A viewer that cannot be started for want of memory is one that cannot be
// started: ignored like any other, the results being complete by then.
void executa_visualizador(const std::string& programa, const std::string& nome_preenchido) {
    try {
        const std::string nome = sem_brancos_finais(nome_preenchido);
        const std::string citado = dados::nome_para_comando(nome);
        // An ordinary name goes in with its padding, as the fixed-length
        // command text it is; executa_comando drops the trailing blanks.
        const std::string comando = programa + (citado == nome ? nome_preenchido : citado);
        dados::executa_comando(comando.data(), static_cast<std::int32_t>(comando.size()));
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace

void escreve_resultados() {
    std::string nomes[3];
    std::string entradas[2];
    {
        tempo_execucao::alocando nome("result file names");
        const std::string base = base_do_nome(nome_caso);
        nome_arq_txt = preenche(base + ".txt", comprimento_nome_txt);
        nome_arq_vert = preenche(base + "_vert.txt", comprimento_nome_vert);
        nomes[0] = sem_brancos_finais(nome_arq_txt);
        nomes[1] = nome_malha;
        nomes[2] = sem_brancos_finais(nome_arq_vert);
        entradas[0] = nome_entradas;
        entradas[1] = nome_eq_elipticas;
        // Device names first: Windows resolves every spelling of a device to
        // the device itself, so they would otherwise pass for a collision.
        confere_nomes_abriveis(nomes);
        confere_nomes_distintos(nomes);
    }

    // Everything the writing needs is allocated before the first file is
    // opened: a run that cannot have it ends with the F501 report, every
    // result file as it was and none created.
    arquivo_saida arquivo_relatorio, contorno, volumes;
    blocos_escrita blocos;
    {
        tempo_execucao::alocando nome("result file buffers");
        prepara_saida(arquivo_relatorio, nomes[0]);
        prepara_saida(contorno, nomes[1]);
        prepara_saida(volumes, nomes[2]);
    }
    {
        tempo_execucao::alocando nome("result file headings");
        compila_formatos();
    }
    prepara_blocos(blocos,
                   {{itens(nvert_eta, nvert_ksi), linha_vertice},
                    {itens(nvol_eta, nvol_ksi), bytes_item_contorno},
                    {itens(nvol_eta, nvol_ksi), linha_volume}},
                   rascunho_contornos(), tempo_execucao::fios_de_execucao());

    abre_saida(arquivo_relatorio);
    abre_saida(contorno);
    abre_saida(volumes);
    arquivo_saida* abertos[3] = {&arquivo_relatorio, &contorno, &volumes};
    confere_abertos_distintos(abertos, entradas);

    // Each file is complete on disk before the next is touched: a full disk
    // then stops the run in the file it happens in, and the files after it
    // keep what they held.
    escreve_arquivo_relatorio(arquivo_relatorio, blocos);
    descarrega_saida(arquivo_relatorio);
    escreve_contornos(contorno, blocos);
    descarrega_saida(contorno);
    escreve_volumes(volumes, blocos);

    fecha_saida(arquivo_relatorio);
    fecha_saida(contorno);
    fecha_saida(volumes);

    executa_visualizador("notepad ", nome_arq_txt);
    executa_visualizador("notepad ", nome_arq_vert);
    dados::executa_comando("wgnuplot malha.gnu", 18);
}

std::string linhas_iniciais_relatorio(std::int32_t nvol_ksi_, std::int32_t nvol_eta_, std::int32_t nvert_ksi_,
                                      std::int32_t nvert_eta_) {
    std::string linhas;
    const valor tamanhos[] = {nvol_ksi_, nvol_eta_, nvert_ksi_, nvert_eta_};
    formata(linhas, formato_tamanhos(), tamanhos);
    formata(linhas, formato_cabecalho_vertices(), {});
    return linhas;
}

std::string linha_cabecalho_volumes() {
    std::string linha;
    formata(linha, formato_cabecalho_volumes(), {});
    return linha;
}

}  // namespace processamento
