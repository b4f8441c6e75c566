#include "malhas_qualidade/exportacao.hpp"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>
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

// --- VTK XML structured (.vts) or unstructured (.vtu) grid ----------------------------
//
// In the .vts the arrays go raw into the appended section, each after its
// length as a 64-bit integer: the file then takes no longer to write than
// its bytes take to copy, and VTK reads every double back exactly. The .vtu
// is for readers that take no structured grid (meshio): its arrays are
// inline, in base64, the length and the data encoded apart as VTK encodes
// them, since meshio 7 misreads raw appended data whose offsets it confuses
// while converting them.

namespace {

bool termina_em_vtu(const std::string& nome) {
    if (nome.size() < 4) return false;
    std::string fim = nome.substr(nome.size() - 4);
    for (char& c : fim)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return fim == ".vtu";
}

// Where an array's bytes go: as they are, or in base64, gathered first so
// that they are encoded a block at a time.
struct fluxo_vtk {
    saida_atomica& s;
    bool base64 = false;
    static constexpr std::size_t bloco = 3 * 16384;
    std::vector<unsigned char> pendente = {};

    void bytes(const void* dados, std::size_t n) {
        if (!base64) {
            escreve(s, dados, n);
            return;
        }
        const auto* p = static_cast<const unsigned char*>(dados);
        while (n > 0) {
            const std::size_t parte = std::min(n, bloco - pendente.size());
            pendente.insert(pendente.end(), p, p + parte);
            p += parte;
            n -= parte;
            if (pendente.size() == bloco) codifica();
        }
    }

    // Ends a base64 stream, padded.
    void fim() {
        if (base64) codifica();
    }

    void codifica() {
        static constexpr char alfabeto[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const std::size_t n = pendente.size();
        char* const inicio = reserva(s, 4 * (n / 3 + 1));
        char* q = inicio;
        const unsigned char* g = pendente.data();
        for (std::size_t k = 0; k + 3 <= n; k += 3, g += 3) {
            *q++ = alfabeto[g[0] >> 2];
            *q++ = alfabeto[((g[0] & 3) << 4) | (g[1] >> 4)];
            *q++ = alfabeto[((g[1] & 15) << 2) | (g[2] >> 6)];
            *q++ = alfabeto[g[2] & 63];
        }
        if (n % 3 != 0) {
            const unsigned char b1 = n % 3 == 2 ? g[1] : 0;
            *q++ = alfabeto[g[0] >> 2];
            *q++ = alfabeto[((g[0] & 3) << 4) | (b1 >> 4)];
            *q++ = n % 3 == 2 ? alfabeto[(b1 & 15) << 2] : '=';
            *q++ = '=';
        }
        confirma(s, static_cast<std::size_t>(q - inicio));
        pendente.clear();
    }

    template <class T>
    void valor(T v) {
        bytes(&v, sizeof v);
    }
};

// An array: its name, VTK's type name, components, and its data.
struct array_vtk {
    const char* nome;
    const char* tipo;
    int componentes;
    std::uint64_t bytes;
    std::function<void(fluxo_vtk&)> dados;
};

std::string abertura_array(const array_vtk& a, const char* formato) {
    std::string linha = std::string("<DataArray type=\"") + a.tipo + "\" Name=\"" + a.nome + "\"";
    if (a.componentes != 1) linha += " NumberOfComponents=\"" + std::to_string(a.componentes) + "\"";
    return linha + " format=\"" + formato + "\"";
}

std::function<void(fluxo_vtk&)> reais(const std::vector<double>& v) {
    return [&v](fluxo_vtk& f) { f.bytes(v.data() + 1, (v.size() - 1) * sizeof(double)); };
}

}  // namespace

void escreve_vtk(const std::string& nome, const malha_lida& m, const medidas_malha& med,
                 const residuo_malha* r) {
    const auto nvert = static_cast<std::uint64_t>(m.nvert);
    const auto nvol = static_cast<std::uint64_t>(m.nvol);
    auto inteiros_volumes = [&m](int qual) {
        return [&m, qual](fluxo_vtk& f) {
            for (std::int64_t j = 1; j <= m.nvol_eta; ++j)
                for (std::int64_t i = 1; i <= m.nvol_ksi; ++i)
                    f.valor<std::int32_t>(static_cast<std::int32_t>(qual == 0 ? (j - 1) * m.nvol_ksi + i
                                                                              : (qual == 1 ? i : j)));
        };
    };
    std::vector<array_vtk> pontos_dados = {
        {"vertex", "Int32", 1, 4 * nvert,
         [&m](fluxo_vtk& f) {
             for (std::int64_t v = 1; v <= m.nvert; ++v)
                 f.valor<std::int32_t>(static_cast<std::int32_t>(v));
         }},
        {nome::nao_ortogonalidade, "Float64", 1, 8 * nvert, reais(med.nao_ortogonalidade)}};
    if (r != nullptr) {
        pontos_dados.push_back({nome::residuo_x, "Float64", 1, 8 * nvert, reais(r->x)});
        pontos_dados.push_back({nome::residuo_y, "Float64", 1, 8 * nvert, reais(r->y)});
    }
    const array_vtk celulas[] = {
        {"volume", "Int32", 1, 4 * nvol, inteiros_volumes(0)},
        {"i", "Int32", 1, 4 * nvol, inteiros_volumes(1)},
        {"j", "Int32", 1, 4 * nvol, inteiros_volumes(2)},
        {nome::area, "Float64", 1, 8 * nvol, reais(med.area)},
        {nome::razao_aspecto, "Float64", 1, 8 * nvol, reais(med.razao_aspecto)},
        {nome::assimetria, "Float64", 1, 8 * nvol, reais(med.assimetria)},
        {nome::jacobiano_escalado, "Float64", 1, 8 * nvol, reais(med.jacobiano_escalado)},
        {nome::angulo_minimo, "Float64", 1, 8 * nvol, reais(med.angulo_minimo)},
        {nome::angulo_maximo, "Float64", 1, 8 * nvol, reais(med.angulo_maximo)},
        {nome::invertido, "UInt8", 1, nvol,
         [&med, nvol](fluxo_vtk& f) { f.bytes(med.invertido.data() + 1, nvol); }},
        {nome::crescimento_ksi, "Float64", 1, 8 * nvol, reais(med.crescimento_ksi)},
        {nome::crescimento_eta, "Float64", 1, 8 * nvol, reais(med.crescimento_eta)}};
    // The points as x, y, 0.
    const array_vtk pontos = {"Points", "Float64", 3, 24 * nvert, [&m](fluxo_vtk& f) {
                                  for (std::int64_t v = 1; v <= m.nvert; ++v) {
                                      const double ponto[3] = {m.x[static_cast<std::size_t>(v)],
                                                               m.y[static_cast<std::size_t>(v)], 0.0};
                                      f.bytes(ponto, sizeof ponto);
                                  }
                              }};
    // The corners of volume (i, j) in the order of the volume file, as the
    // structured grid's cells have them.
    const array_vtk blocos_celulas[] = {
        {"connectivity", "Int64", 1, 32 * nvol,
         [&m](fluxo_vtk& f) {
             for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
                 for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
                     const std::int64_t b = vertice(m, i, j) - 1;
                     const std::int64_t cantos[4] = {b, b + 1, b + m.nvert_ksi + 1, b + m.nvert_ksi};
                     f.bytes(cantos, sizeof cantos);
                 }
             }
         }},
        {"offsets", "Int64", 1, 8 * nvol,
         [nvol](fluxo_vtk& f) {
             for (std::uint64_t p = 1; p <= nvol; ++p)
                 f.valor<std::int64_t>(static_cast<std::int64_t>(4 * p));
         }},
        {"types", "UInt8", 1, nvol, [nvol](fluxo_vtk& f) {
             for (std::uint64_t p = 1; p <= nvol; ++p)
                 f.valor<std::uint8_t>(9);  // VTK_QUAD
         }}};

    const bool nao_estruturada = termina_em_vtu(nome);
    const char* const tipo = nao_estruturada ? "UnstructuredGrid" : "StructuredGrid";
    saida_atomica s;
    abre_saida(s, nome);
    fluxo_vtk fluxo{s, nao_estruturada};
    if (nao_estruturada) fluxo.pendente.reserve(fluxo_vtk::bloco);
    const std::string extensao =
        "0 " + std::to_string(m.nvert_ksi - 1) + " 0 " + std::to_string(m.nvert_eta - 1) + " 0 0";
    escreve(
        s,
        std::string("<?xml version=\"1.0\"?>\n<VTKFile type=\"") + tipo + "\" version=\"1.0\" byte_order=\"" +
            (std::endian::native == std::endian::little ? "LittleEndian" : "BigEndian") +
            "\" header_type=\"UInt64\">\n<" + tipo +
            (nao_estruturada ? ">\n<Piece NumberOfPoints=\"" + std::to_string(nvert) + "\" NumberOfCells=\"" +
                                   std::to_string(nvol) + "\">\n"
                             : " WholeExtent=\"" + extensao + "\">\n<Piece Extent=\"" + extensao + "\">\n"));

    // Every array in the order of the file.
    std::vector<std::pair<const char*, std::vector<const array_vtk*>>> secoes = {
        {"PointData", {}}, {"CellData", {}}, {"Points", {&pontos}}};
    for (const auto& a : pontos_dados)
        secoes[0].second.push_back(&a);
    for (const auto& a : celulas)
        secoes[1].second.push_back(&a);
    if (nao_estruturada)
        secoes.push_back({"Cells", {&blocos_celulas[0], &blocos_celulas[1], &blocos_celulas[2]}});

    std::uint64_t deslocamento = 0;
    for (const auto& [secao, arrays] : secoes) {
        escreve(s, "<" + std::string(secao) + ">\n");
        for (const array_vtk* a : arrays) {
            if (nao_estruturada) {
                escreve(s, abertura_array(*a, "binary") + ">\n");
                fluxo.valor<std::uint64_t>(a->bytes);
                fluxo.fim();
                a->dados(fluxo);
                fluxo.fim();
                escreve(s, "\n</DataArray>\n");
            } else {
                escreve(s, abertura_array(*a, "appended") + " offset=\"" + std::to_string(deslocamento) +
                               "\"/>\n");
                deslocamento += 8 + a->bytes;
            }
        }
        escreve(s, "</" + std::string(secao) + ">\n");
    }
    escreve(s, std::string("</Piece>\n</") + tipo + ">\n");
    if (!nao_estruturada) {
        escreve(s, "<AppendedData encoding=\"raw\">\n_");
        for (const auto& secao : secoes)
            for (const array_vtk* a : secao.second) {
                fluxo.valor<std::uint64_t>(a->bytes);
                a->dados(fluxo);
            }
        escreve(s, "\n</AppendedData>\n");
    }
    escreve(s, "</VTKFile>\n");
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
    escreve_linha_inteiros(s, {1, m.nvert, 1, m.nvert});
    escreve_linha_inteiros(s, {2, 1, 0, m.nvert});
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        escreve_linha_inteiros(s, {v});
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        escreve_coordenadas(s, x(v), y(v));
    escreve(s, "$EndNodes\n$Elements\n");

    const std::int64_t linhas = 2 * (nk - 1) + 2 * (ne - 1);
    escreve_linha_inteiros(s, {5, m.nvol + linhas, 1, m.nvol + linhas});
    escreve_linha_inteiros(s, {2, 1, 3, m.nvol});  // quadrangles (type 3) of the surface
    for (std::int64_t j = 1; j < ne; ++j) {
        for (std::int64_t i = 1; i < nk; ++i) {
            const std::int64_t b = vertice(m, i, j);
            escreve_linha_inteiros(s, {(j - 1) * (nk - 1) + i, b, b + 1, b + nk + 1, b + nk});
        }
    }
    std::int64_t tag = m.nvol;
    for (int c = 0; c < 4; ++c) {
        const curva& cv = curvas[c];
        escreve_linha_inteiros(s, {1, c + 1, 1, cv.n - 1});  // 2-node lines (type 1) of curve c + 1
        for (std::int64_t k = 0; k + 1 < cv.n; ++k) {
            const std::int64_t a = vertice(m, cv.i0 + k * cv.di, cv.j0 + k * cv.dj);
            const std::int64_t b = vertice(m, cv.i0 + (k + 1) * cv.di, cv.j0 + (k + 1) * cv.dj);
            escreve_linha_inteiros(s, {++tag, a, b});
        }
    }
    escreve(s, "$EndElements\n");
    conclui_saida(s);
}

}  // namespace malhas_qualidade
