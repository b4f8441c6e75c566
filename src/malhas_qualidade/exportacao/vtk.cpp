// VTK's XML grids: structured (.vts), or unstructured (.vtu).
#include <bit>
#include <functional>
#include <utility>
#include <vector>

#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/exportacao/exportacao.hpp"

namespace malhas_qualidade {

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

// Every array of the file: the point data, the cell data, the points, and
// the cells as the unstructured grid lists them.
struct arrays_malha {
    std::vector<array_vtk> pontos_dados, celulas, pontos, blocos_celulas;
};

arrays_malha arrays_de(const malha_lida& m, const medidas_malha& med, const residuo_malha* r) {
    const auto nvert = static_cast<std::uint64_t>(m.nvert);
    const auto nvol = static_cast<std::uint64_t>(m.nvol);
    auto inteiros_volumes = [&m](int qual) {
        return [&m, qual](fluxo_vtk& f) {
            for (std::int64_t j = 1; j <= m.nvol_eta; ++j)
                for (std::int64_t i = 1; i <= m.nvol_ksi; ++i)
                    f.valor<std::int32_t>(
                        static_cast<std::int32_t>(qual == 0 ? volume(m, i, j) : (qual == 1 ? i : j)));
        };
    };
    arrays_malha a;
    a.pontos_dados = {{"vertex", "Int32", 1, 4 * nvert,
                       [&m](fluxo_vtk& f) {
                           for (std::int64_t v = 1; v <= m.nvert; ++v)
                               f.valor<std::int32_t>(static_cast<std::int32_t>(v));
                       }},
                      {nome::nao_ortogonalidade, "Float64", 1, 8 * nvert, reais(med.nao_ortogonalidade)}};
    if (r != nullptr) {
        a.pontos_dados.push_back({nome::residuo_x, "Float64", 1, 8 * nvert, reais(r->x)});
        a.pontos_dados.push_back({nome::residuo_y, "Float64", 1, 8 * nvert, reais(r->y)});
    }
    a.celulas = {{"volume", "Int32", 1, 4 * nvol, inteiros_volumes(0)},
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
    a.pontos = {{"Points", "Float64", 3, 24 * nvert, [&m](fluxo_vtk& f) {
                     for (std::int64_t v = 1; v <= m.nvert; ++v) {
                         const double ponto[3] = {m.x[static_cast<std::size_t>(v)],
                                                  m.y[static_cast<std::size_t>(v)], 0.0};
                         f.bytes(ponto, sizeof ponto);
                     }
                 }}};
    // The corners of volume (i, j) in the order of the volume file, as the
    // structured grid's cells have them.
    a.blocos_celulas = {{"connectivity", "Int64", 1, 32 * nvol,
                         [&m](fluxo_vtk& f) {
                             for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
                                 for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
                                     const auto c = cantos(m, vertice(m, i, j) - 1);
                                     f.bytes(c.data(), sizeof c);
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
    return a;
}

// The sections in the order of the file, each array inline (the .vtu) or
// named with its offset into the appended data that follows (the .vts).
void escreve_secoes(saida_atomica& s, fluxo_vtk& fluxo, const arrays_malha& a, bool nao_estruturada) {
    std::vector<std::pair<const char*, const std::vector<array_vtk>*>> secoes = {
        {"PointData", &a.pontos_dados}, {"CellData", &a.celulas}, {"Points", &a.pontos}};
    if (nao_estruturada) secoes.push_back({"Cells", &a.blocos_celulas});
    std::uint64_t deslocamento = 0;
    for (const auto& [secao, arrays] : secoes) {
        escreve(s, "<");
        escreve(s, secao);
        escreve(s, ">\n");
        for (const array_vtk& v : *arrays) {
            if (nao_estruturada) {
                escreve(s, abertura_array(v, "binary") + ">\n");
                fluxo.valor<std::uint64_t>(v.bytes);
                fluxo.fim();
                v.dados(fluxo);
                fluxo.fim();
                escreve(s, "\n</DataArray>\n");
            } else {
                escreve(s, abertura_array(v, "appended") + " offset=\"" + std::to_string(deslocamento) +
                               "\"/>\n");
                deslocamento += 8 + v.bytes;
            }
        }
        escreve(s, "</");
        escreve(s, secao);
        escreve(s, ">\n");
    }
    escreve(s,
            std::string("</Piece>\n</") + (nao_estruturada ? "UnstructuredGrid" : "StructuredGrid") + ">\n");
    if (nao_estruturada) return;
    escreve(s, "<AppendedData encoding=\"raw\">\n_");
    for (const auto& secao : secoes)
        for (const array_vtk& v : *secao.second) {
            fluxo.valor<std::uint64_t>(v.bytes);
            v.dados(fluxo);
        }
    escreve(s, "\n</AppendedData>\n");
}

}  // namespace

void escreve_vtk(const std::string& nome, const malha_lida& m, const medidas_malha& med,
                 const residuo_malha* r) {
    const arrays_malha a = arrays_de(m, med, r);
    const bool nao_estruturada = caminhos::termina_em(nome, ".vtu");
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
            (nao_estruturada ? ">\n<Piece NumberOfPoints=\"" + std::to_string(m.nvert) +
                                   "\" NumberOfCells=\"" + std::to_string(m.nvol) + "\">\n"
                             : " WholeExtent=\"" + extensao + "\">\n<Piece Extent=\"" + extensao + "\">\n"));
    escreve_secoes(s, fluxo, a, nao_estruturada);
    escreve(s, "</VTKFile>\n");
    conclui_saida(s);
}

}  // namespace malhas_qualidade
