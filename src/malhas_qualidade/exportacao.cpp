#include "malhas_qualidade/exportacao.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "malhas_qualidade/saida.hpp"

namespace malhas_qualidade {

const char* const nomes_grupos[5] = {"linha_externa", "linha_interna", "aresta_i_1", "aresta_i_nvert_ksi",
                                     "dominio"};

// --- CSV --------------------------------------------------------------------

void escreve_csv(const std::string& nome, const malha_lida& m, const medidas_malha& med) {
    saida_atomica s;
    abre_saida(s, nome);
    escreve(s, std::string("volume,i,j,") + nome::area + "," + nome::razao_aspecto + "," + nome::assimetria +
                   "," + nome::jacobiano_escalado + "," + nome::angulo_minimo + "," + nome::angulo_maximo +
                   "," + nome::invertido + "," + nome::crescimento_ksi + "," + nome::crescimento_eta + "," +
                   nome::nao_ortogonalidade_max + "\r\n");
    const std::vector<double>* const colunas[] = {&med.area,          &med.razao_aspecto,
                                                  &med.assimetria,    &med.jacobiano_escalado,
                                                  &med.angulo_minimo, &med.angulo_maximo};
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const std::int64_t p = (j - 1) * m.nvol_ksi + i;
            const auto k = static_cast<std::size_t>(p);
            char* const inicio = reserva(s, 512);
            char* q = inicio;
            q = escreve_inteiro(q, p);
            *q++ = ',';
            q = escreve_inteiro(q, i);
            *q++ = ',';
            q = escreve_inteiro(q, j);
            for (const auto* c : colunas) {
                *q++ = ',';
                q = escreve_real(q, (*c)[k]);
            }
            *q++ = ',';
            *q++ = med.invertido[k] ? '1' : '0';
            *q++ = ',';
            q = escreve_real(q, med.crescimento_ksi[k]);
            *q++ = ',';
            q = escreve_real(q, med.crescimento_eta[k]);
            *q++ = ',';
            const double n = nao_ortogonalidade_volume(m, med, (j - 1) * m.nvert_ksi + i);
            if (!std::isnan(n)) q = escreve_real(q, n);  // empty: no interior corner
            *q++ = '\r';
            *q++ = '\n';
            confirma(s, static_cast<std::size_t>(q - inicio));
        }
    }
    conclui_saida(s);
}

// --- VTK XML structured grid ----------------------------------------------------
//
// The arrays go raw into the appended section, each after its length as a
// 64-bit integer: the file then takes no longer to write than its bytes take
// to copy, and VTK reads every double back exactly.

namespace {

struct bloco_vtk {
    const char* nome;
    const char* tipo;  // VTK's type name
    int componentes;
    std::uint64_t bytes;
};

template <class T>
void escreve_valor(saida_atomica& s, T v) {
    escreve(s, &v, sizeof v);
}

void escreve_cabecalho_bloco(saida_atomica& s, std::uint64_t& deslocamento, const bloco_vtk& b) {
    std::string linha = std::string("<DataArray type=\"") + b.tipo + "\" Name=\"" + b.nome + "\"";
    if (b.componentes != 1) linha += " NumberOfComponents=\"" + std::to_string(b.componentes) + "\"";
    linha += " format=\"appended\" offset=\"" + std::to_string(deslocamento) + "\"/>\n";
    escreve(s, linha);
    deslocamento += 8 + b.bytes;
}

void escreve_reais(saida_atomica& s, const std::vector<double>& v) {
    escreve_valor<std::uint64_t>(s, (v.size() - 1) * sizeof(double));
    escreve(s, v.data() + 1, (v.size() - 1) * sizeof(double));
}

}  // namespace

void escreve_vtk(const std::string& nome, const malha_lida& m, const medidas_malha& med,
                 const residuo_malha* r) {
    const auto nvert = static_cast<std::uint64_t>(m.nvert);
    const auto nvol = static_cast<std::uint64_t>(m.nvol);
    const bloco_vtk pontos_dados[] = {{"vertex", "Int32", 1, 4 * nvert},
                                      {nome::nao_ortogonalidade, "Float64", 1, 8 * nvert},
                                      {nome::residuo_x, "Float64", 1, 8 * nvert},
                                      {nome::residuo_y, "Float64", 1, 8 * nvert}};
    const bloco_vtk celulas[] = {{"volume", "Int32", 1, 4 * nvol},
                                 {"i", "Int32", 1, 4 * nvol},
                                 {"j", "Int32", 1, 4 * nvol},
                                 {nome::area, "Float64", 1, 8 * nvol},
                                 {nome::razao_aspecto, "Float64", 1, 8 * nvol},
                                 {nome::assimetria, "Float64", 1, 8 * nvol},
                                 {nome::jacobiano_escalado, "Float64", 1, 8 * nvol},
                                 {nome::angulo_minimo, "Float64", 1, 8 * nvol},
                                 {nome::angulo_maximo, "Float64", 1, 8 * nvol},
                                 {nome::invertido, "UInt8", 1, nvol},
                                 {nome::crescimento_ksi, "Float64", 1, 8 * nvol},
                                 {nome::crescimento_eta, "Float64", 1, 8 * nvol}};
    const bloco_vtk pontos = {"Points", "Float64", 3, 24 * nvert};
    const int n_pontos_dados = r != nullptr ? 4 : 2;

    saida_atomica s;
    abre_saida(s, nome);
    const std::string extensao =
        "0 " + std::to_string(m.nvert_ksi - 1) + " 0 " + std::to_string(m.nvert_eta - 1) + " 0 0";
    escreve(s,
            std::string(
                "<?xml version=\"1.0\"?>\n<VTKFile type=\"StructuredGrid\" version=\"1.0\" byte_order=\"") +
                (std::endian::native == std::endian::little ? "LittleEndian" : "BigEndian") +
                "\" header_type=\"UInt64\">\n<StructuredGrid WholeExtent=\"" + extensao +
                "\">\n<Piece Extent=\"" + extensao + "\">\n<PointData>\n");
    std::uint64_t deslocamento = 0;
    for (int k = 0; k < n_pontos_dados; ++k)
        escreve_cabecalho_bloco(s, deslocamento, pontos_dados[k]);
    escreve(s, "</PointData>\n<CellData>\n");
    for (const auto& b : celulas)
        escreve_cabecalho_bloco(s, deslocamento, b);
    escreve(s, "</CellData>\n<Points>\n");
    escreve_cabecalho_bloco(s, deslocamento, pontos);
    escreve(s, "</Points>\n</Piece>\n</StructuredGrid>\n<AppendedData encoding=\"raw\">\n_");

    // Point data, in vertex order: i fastest, as VTK orders a structured grid.
    escreve_valor<std::uint64_t>(s, 4 * nvert);
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        escreve_valor<std::int32_t>(s, static_cast<std::int32_t>(v));
    escreve_reais(s, med.nao_ortogonalidade);
    if (r != nullptr) {
        escreve_reais(s, r->x);
        escreve_reais(s, r->y);
    }
    // Cell data, in volume order.
    for (int c = 0; c < 3; ++c) {
        escreve_valor<std::uint64_t>(s, 4 * nvol);
        for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
            for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
                const std::int64_t valor = c == 0 ? (j - 1) * m.nvol_ksi + i : (c == 1 ? i : j);
                escreve_valor<std::int32_t>(s, static_cast<std::int32_t>(valor));
            }
        }
    }
    escreve_reais(s, med.area);
    escreve_reais(s, med.razao_aspecto);
    escreve_reais(s, med.assimetria);
    escreve_reais(s, med.jacobiano_escalado);
    escreve_reais(s, med.angulo_minimo);
    escreve_reais(s, med.angulo_maximo);
    escreve_valor<std::uint64_t>(s, nvol);
    escreve(s, med.invertido.data() + 1, nvol);
    escreve_reais(s, med.crescimento_ksi);
    escreve_reais(s, med.crescimento_eta);
    // The points as x, y, 0.
    escreve_valor<std::uint64_t>(s, 24 * nvert);
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        const double ponto[3] = {m.x[static_cast<std::size_t>(v)], m.y[static_cast<std::size_t>(v)], 0.0};
        escreve(s, ponto, sizeof ponto);
    }
    escreve(s, "\n</AppendedData>\n</VTKFile>\n");
    conclui_saida(s);
}

// --- Gmsh MSH 4.1, ASCII ----------------------------------------------------------
//
// Geometry entities: the four corners of the grid as points 1 to 4 ((1, 1),
// (nvert_ksi, 1), (nvert_ksi, nvert_eta), (1, nvert_eta)); the four
// boundary lines as curves 1 to 4 (j = 1, j = nvert_eta, i = 1,
// i = nvert_ksi), each in the physical group of the same tag; the domain as
// surface 1 in physical group 5. Node tags are vertex numbers, every node
// on the surface, and the quadrangles carry the volume numbers as element
// tags; the boundary lines follow.

namespace {

struct curva {
    std::int64_t i0, j0, di, dj, n;  // first vertex, step, number of vertices (corners included)
    int ponto_inicial, ponto_final;
};

void escreve_linha(saida_atomica& s, std::initializer_list<std::int64_t> valores) {
    char* const inicio = reserva(s, 32 * valores.size() + 2);
    char* q = inicio;
    bool primeiro = true;
    for (std::int64_t v : valores) {
        if (!primeiro) *q++ = ' ';
        primeiro = false;
        q = escreve_inteiro(q, v);
    }
    *q++ = '\n';
    confirma(s, static_cast<std::size_t>(q - inicio));
}

void escreve_coordenadas(saida_atomica& s, double x, double y) {
    char* const inicio = reserva(s, 80);
    char* q = escreve_real(inicio, x);
    *q++ = ' ';
    q = escreve_real(q, y);
    std::memcpy(q, " 0\n", 3);
    confirma(s, static_cast<std::size_t>(q + 3 - inicio));
}

std::string texto_real(double v) {
    char b[40];
    return std::string(b, escreve_real(b, v));
}

}  // namespace

void escreve_msh(const std::string& nome, const malha_lida& m) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta;
    const curva curvas[4] = {
        {1, 1, 1, 0, nk, 1, 2}, {1, ne, 1, 0, nk, 4, 3}, {1, 1, 0, 1, ne, 1, 4}, {nk, 1, 0, 1, ne, 2, 3}};
    const std::int64_t cantos[4] = {vertice(m, 1, 1), vertice(m, nk, 1), vertice(m, nk, ne),
                                    vertice(m, 1, ne)};
    auto x = [&](std::int64_t v) { return m.x[static_cast<std::size_t>(v)]; };
    auto y = [&](std::int64_t v) { return m.y[static_cast<std::size_t>(v)]; };

    saida_atomica s;
    abre_saida(s, nome);
    escreve(s, "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$PhysicalNames\n5\n");
    for (int g = 0; g < 5; ++g)
        escreve(s, std::to_string(g < 4 ? 1 : 2) + " " + std::to_string(g + 1) + " \"" + nomes_grupos[g] +
                       "\"\n");
    escreve(s, "$EndPhysicalNames\n$Entities\n4 4 1 0\n");
    for (int k = 0; k < 4; ++k)
        escreve(s, std::to_string(k + 1) + " " + texto_real(x(cantos[k])) + " " + texto_real(y(cantos[k])) +
                       " 0 0\n");
    double caixa_total[4] = {x(1), y(1), x(1), y(1)};
    for (int c = 0; c < 4; ++c) {
        const curva& cv = curvas[c];
        double caixa[4] = {x(vertice(m, cv.i0, cv.j0)), y(vertice(m, cv.i0, cv.j0)),
                           x(vertice(m, cv.i0, cv.j0)), y(vertice(m, cv.i0, cv.j0))};
        for (std::int64_t k = 0; k < cv.n; ++k) {
            const std::int64_t v = vertice(m, cv.i0 + k * cv.di, cv.j0 + k * cv.dj);
            caixa[0] = std::min(caixa[0], x(v));
            caixa[1] = std::min(caixa[1], y(v));
            caixa[2] = std::max(caixa[2], x(v));
            caixa[3] = std::max(caixa[3], y(v));
        }
        caixa_total[0] = std::min(caixa_total[0], caixa[0]);
        caixa_total[1] = std::min(caixa_total[1], caixa[1]);
        caixa_total[2] = std::max(caixa_total[2], caixa[2]);
        caixa_total[3] = std::max(caixa_total[3], caixa[3]);
        escreve(s, std::to_string(c + 1) + " " + texto_real(caixa[0]) + " " + texto_real(caixa[1]) + " 0 " +
                       texto_real(caixa[2]) + " " + texto_real(caixa[3]) + " 0 1 " + std::to_string(c + 1) +
                       " 2 " + std::to_string(cv.ponto_inicial) + " -" + std::to_string(cv.ponto_final) +
                       "\n");
    }
    // The surface's boundary loop: j = 1 forward, i = nvert_ksi forward,
    // j = nvert_eta backward, i = 1 backward.
    escreve(s, "1 " + texto_real(caixa_total[0]) + " " + texto_real(caixa_total[1]) + " 0 " +
                   texto_real(caixa_total[2]) + " " + texto_real(caixa_total[3]) + " 0 1 5 4 1 4 -2 -3\n");
    escreve(s, "$EndEntities\n$Nodes\n");

    // One block, in vertex order: readers that number the points in the
    // order of the file (meshio) then number them as the vertices too.
    escreve_linha(s, {1, m.nvert, 1, m.nvert});
    escreve_linha(s, {2, 1, 0, m.nvert});
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        escreve_linha(s, {v});
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        escreve_coordenadas(s, x(v), y(v));
    escreve(s, "$EndNodes\n$Elements\n");

    const std::int64_t linhas = 2 * (nk - 1) + 2 * (ne - 1);
    escreve_linha(s, {5, m.nvol + linhas, 1, m.nvol + linhas});
    escreve_linha(s, {2, 1, 3, m.nvol});  // quadrangles (type 3) of the surface
    for (std::int64_t j = 1; j < ne; ++j) {
        for (std::int64_t i = 1; i < nk; ++i) {
            const std::int64_t b = vertice(m, i, j);
            escreve_linha(s, {(j - 1) * (nk - 1) + i, b, b + 1, b + nk + 1, b + nk});
        }
    }
    std::int64_t tag = m.nvol;
    for (int c = 0; c < 4; ++c) {
        const curva& cv = curvas[c];
        escreve_linha(s, {1, c + 1, 1, cv.n - 1});  // 2-node lines (type 1) of curve c + 1
        for (std::int64_t k = 0; k + 1 < cv.n; ++k) {
            const std::int64_t a = vertice(m, cv.i0 + k * cv.di, cv.j0 + k * cv.dj);
            const std::int64_t b = vertice(m, cv.i0 + (k + 1) * cv.di, cv.j0 + (k + 1) * cv.dj);
            escreve_linha(s, {++tag, a, b});
        }
    }
    escreve(s, "$EndElements\n");
    conclui_saida(s);
}

}  // namespace malhas_qualidade
