// The mesh for the solvers: checkMesh's figures against values worked out by
// hand, the numbering of the extruded mesh, --verifica and --openfoam through
// whole runs. OpenFOAM itself judges the exported files in
// verifica_openfoam.py.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "apoio.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/checkmesh.hpp"
#include "malhas_qualidade/principal.hpp"
#include "roda_qualidade.hpp"

namespace {

namespace fs = std::filesystem;
using apoio::pasta_temporaria;
using namespace malhas_qualidade;

const double pi = 3.14159265358979323846;

// A grid of nk x ne parallelograms dx wide and dy high, leaning by angulo
// degrees from the vertical, mirrored in x when espelhada (its volumes then
// turn clockwise).
malha_lida grade(int nk, int ne, double dx, double dy, double angulo = 0.0, bool espelhada = false) {
    malha_lida m;
    dimensiona(m, nk, ne);
    const double t = std::tan(angulo * pi / 180.0);
    for (int j = 1; j <= ne + 1; ++j)
        for (int i = 1; i <= nk + 1; ++i) {
            const auto v = static_cast<std::size_t>(vertice(m, i, j));
            m.x[v] = ((i - 1) * dx + (j - 1) * dy * t) * (espelhada ? -1.0 : 1.0);
            m.y[v] = (j - 1) * dy;
        }
    return m;
}

struct caso_figuras {
    const char* nome;
    int nk, ne;
    double dx, dy, angulo, espessura;
    bool espelhada;
    double nao_ortogonalidade, assimetria, razao_aspecto;
    int falhas;  // checkMesh -allGeometry's
};

// A rectangle's faces meet the lines between cell centres squarely and at
// their middles; a parallelogram leaning by a has every internal face a
// degrees off, its internal faces unskewed, and its j boundary faces skewed
// by tan a (for dx = dy: the centre's offset dy tan a / 2 over the half
// face dx / 2). The aspect ratio is the sum of |S_x| over the sum of |S_y|
// or its inverse: dx / dy for a rectangle, 1 + tan a for the unit
// parallelogram. The thickness changes none of them. A boundary face of a
// parallelogram is a degrees off the line from its cell's centre too. A
// row of one cell across has no cell determinant: its neighbours lie along
// one line.
const caso_figuras casos_figuras[] = {
    {"quadrados", 4, 3, 1.0, 1.0, 0.0, 1.0, false, 0.0, 0.0, 1.0, 0},
    {"retangulos 3 x 1", 5, 2, 3.0, 1.0, 0.0, 1.0, false, 0.0, 0.0, 3.0, 0},
    {"retangulos finos e espessos", 3, 4, 0.25, 2.0, 0.0, 7.5, false, 0.0, 0.0, 8.0, 0},
    {"retangulos espelhados", 4, 3, 2.0, 1.0, 0.0, 1.0, true, 0.0, 0.0, 2.0, 0},
    {"paralelogramos de 30 graus", 4, 4, 1.0, 1.0, 30.0, 1.0, false, 30.0, std::tan(pi / 6.0),
     1.0 + std::tan(pi / 6.0), 0},
    {"paralelogramos espelhados", 3, 5, 1.0, 1.0, 30.0, 0.5, true, 30.0, std::tan(pi / 6.0),
     1.0 + std::tan(pi / 6.0), 0},
    {"uma fileira", 5, 1, 1.0, 1.0, 0.0, 1.0, false, 0.0, 0.0, 1.0, 1},
};

TEST(QualidadeSolver, FigurasDoCheckMeshFeitasAMao) {
    for (const caso_figuras& c : casos_figuras) {
        SCOPED_TRACE(c.nome);
        const malha_lida m = grade(c.nk, c.ne, c.dx, c.dy, c.angulo, c.espelhada);
        figuras_checkmesh f;
        calcula_figuras_checkmesh({&m, c.espessura, c.espelhada ? -1 : 1}, f, true);
        EXPECT_FALSE(f.indefinido());
        EXPECT_NEAR(f.nao_ortogonalidade_max, c.nao_ortogonalidade, 1e-6);
        EXPECT_NEAR(f.nao_ortogonalidade_media, c.nao_ortogonalidade, 1e-6);
        EXPECT_NEAR(f.nao_ortogonalidade_fronteira_max, c.nao_ortogonalidade, 1e-6);
        EXPECT_NEAR(f.nao_ortogonalidade_fronteira_media, c.nao_ortogonalidade, 1e-6);
        EXPECT_EQ(f.falhas_checkmesh_geometria(), c.falhas);
        EXPECT_EQ(f.determinante.falhas, c.falhas == 0 ? 0 : c.nk);
        EXPECT_NEAR(f.assimetria_max, c.assimetria, 1e-9);
        EXPECT_NEAR(f.razao_aspecto_max, c.razao_aspecto, 1e-12 * c.razao_aspecto);
        const double volume = c.dx * c.dy * c.espessura;
        EXPECT_NEAR(f.volume_min, volume, 1e-12 * volume);
        EXPECT_NEAR(f.volume_max, volume, 1e-12 * volume);
        EXPECT_NEAR(f.volume_total, volume * c.nk * c.ne, 1e-12 * volume * c.nk * c.ne);
        EXPECT_EQ(
            f.faces_nao_ortogonais + f.faces_assimetricas + f.celulas_alongadas + f.volumes_nao_positivos, 0);
        EXPECT_EQ(f.faces.internas, (c.nk - 1) * c.ne + c.nk * (c.ne - 1));
    }
}

// Every face once, internal ones first in upper-triangular order, the
// patches after them in the counted sizes, six faces to a cell, and every
// normal pointing out of its owner: for counter-clockwise and clockwise
// meshes alike.
TEST(QualidadeSolver, NumeracaoEOrientacaoDasFaces) {
    for (bool espelhada : {false, true}) {
        SCOPED_TRACE(espelhada ? "clockwise" : "counter-clockwise");
        const malha_lida m = grade(4, 3, 1.0, 0.5, 10.0, espelhada);
        const extrusao e{&m, 0.1, espelhada ? -1 : 1};
        const contagem_faces c = conta_faces(m);
        std::vector<int> faces_da_celula(static_cast<std::size_t>(m.nvol), 0);
        std::int64_t n = 0, dono_anterior = -1, vizinho_anterior = -1;
        auto ponto = [&](std::int64_t r, double p[3]) {
            const auto v = static_cast<std::size_t>(r % m.nvert + 1);
            p[0] = m.x[v], p[1] = m.y[v], p[2] = r >= m.nvert ? e.espessura : 0.0;
        };
        para_cada_face(m, [&](std::int64_t i, std::int64_t j, lado l, std::int64_t dono,
                              std::int64_t vizinho) {
            EXPECT_EQ(dono, (j - 1) * m.nvol_ksi + i - 1);
            if (n < c.internas) {
                ASSERT_GT(vizinho, dono);
                EXPECT_TRUE(dono > dono_anterior || (dono == dono_anterior && vizinho > vizinho_anterior));
                dono_anterior = dono, vizinho_anterior = vizinho;
                ++faces_da_celula[static_cast<std::size_t>(vizinho)];
            } else {
                EXPECT_EQ(vizinho, -1);
            }
            ++faces_da_celula[static_cast<std::size_t>(dono)];
            // The face's area vector (two triangles) against the way from the
            // owner's centroid to the face's.
            std::int64_t r[4] = {};
            pontos_face(e, i, j, l, r);
            double p[4][3], centro_celula[3] = {0.0, 0.0, e.espessura / 2.0};
            for (int k = 0; k < 4; ++k)
                ponto(r[k], p[k]);
            const std::int64_t b = vertice(m, i, j);
            for (std::int64_t v : {b, b + 1, b + m.nvert_ksi, b + m.nvert_ksi + 1}) {
                centro_celula[0] += m.x[static_cast<std::size_t>(v)] / 4.0;
                centro_celula[1] += m.y[static_cast<std::size_t>(v)] / 4.0;
            }
            double s[3] = {0.0, 0.0, 0.0}, rumo = 0.0;
            for (int k : {1, 2}) {
                const double a[3] = {p[k][0] - p[0][0], p[k][1] - p[0][1], p[k][2] - p[0][2]};
                const double d[3] = {p[k + 1][0] - p[0][0], p[k + 1][1] - p[0][1], p[k + 1][2] - p[0][2]};
                s[0] += a[1] * d[2] - a[2] * d[1];
                s[1] += a[2] * d[0] - a[0] * d[2];
                s[2] += a[0] * d[1] - a[1] * d[0];
            }
            for (int q = 0; q < 3; ++q)
                rumo += s[q] * ((p[0][q] + p[1][q] + p[2][q] + p[3][q]) / 4.0 - centro_celula[q]);
            EXPECT_GT(rumo, 0.0) << "face " << n << " of volume (" << i << ", " << j << ")";
            ++n;
        });
        EXPECT_EQ(n, c.total);
        EXPECT_EQ(c.inicio[4] + c.tamanho[4], c.total);
        for (int k = 0; k < n_patches; ++k)
            EXPECT_EQ(c.inicio[k], k == 0 ? c.internas : c.inicio[k - 1] + c.tamanho[k - 1]);
        for (int f : faces_da_celula)
            EXPECT_EQ(f, 6);
    }
}

// --- Whole runs -------------------------------------------------------------------

void prepara(const pasta_temporaria& p) {
    apoio::grava_entradas(p.caminho(), "perfil_l", 24, 10, 2, apoio::texto_parametros(20, 60));
    const auto r = apoio::executa_malhas(p.caminho());
    ASSERT_EQ(r.status, 0) << r.erro;
}

// A dksi of 0 after the run: the residual's metric terms divide by zero.
void prepara_sem_residuo(const pasta_temporaria& p) {
    prepara(p);
    apoio::grava_arquivo(p / "entrada_eq_elipticas.txt", apoio::texto_parametros(20, 60, "0.0"));
}

// Moves vertex (2, 2) into the triangle of the corners (1, 1), (2, 1) and
// (1, 2): volume (1, 1) folds over itself.
void dobra_um_volume(const pasta_temporaria& p) {
    const std::string relatorio = apoio::le_arquivo(p / "perfil_l.txt");
    std::vector<std::string> linhas;
    for (std::size_t a = 0, b; (b = relatorio.find("\r\n", a)) != std::string::npos; a = b + 2)
        linhas.push_back(relatorio.substr(a, b - a));
    auto coordenadas = [&](int v) {
        const std::string& l = linhas[static_cast<std::size_t>(5 + v)];
        return std::pair{std::stod(l.substr(10, 25)), std::stod(l.substr(35, 25))};
    };
    const int nk = 25, v = nk + 2;
    const auto [x0, y0] = coordenadas(1);
    const auto [x1, y1] = coordenadas(2);
    const auto [x2, y2] = coordenadas(nk + 1);
    char linha[80];
    std::snprintf(linha, sizeof linha, "%10d%25.15E%25.15E", v, x0 + 0.1 * (x1 + x2 - 2 * x0),
                  y0 + 0.1 * (y1 + y2 - 2 * y0));
    linhas[static_cast<std::size_t>(5 + v)] = linha;
    std::string novo;
    for (const std::string& l : linhas)
        novo += l + "\r\n";
    apoio::grava_arquivo(p / "perfil_l.txt", novo);
}

// --verifica exits 3 exactly when checkMesh -allGeometry -allTopology would
// fail the mesh (verifica_checkmesh.py holds the comparison with OpenFOAM
// itself), saying which checks fail and whether a plain checkMesh would see
// them; an undefined residual is no check of the mesh: 4, as without it.
TEST(QualidadeSolver, VerificaDaZeroOuTresNomeandoAsFalhas) {
    struct caso {
        const char* nome;
        void (*prepara)(const pasta_temporaria&);
        std::vector<std::string> opcoes;
        int status;
        std::vector<std::string> trechos;
    };
    const caso casos[] = {
        {"malha do exemplo",
         [](const pasta_temporaria& p) { prepara(p); },
         {"--verifica"},
         0,
         {"verification (--verifica): passed: checkMesh -allGeometry -allTopology would say \"Mesh OK\"",
          "    passed  cell determinant: min 0.0",
          "  boundary_face_non_orthogonality: max 44.3192, average 22.5916 (degrees, 68 faces",
          "only first-order accurate at a\n      Dirichlet boundary"}},
        {"um volume dobrado",
         [](const pasta_temporaria& p) {
             prepara(p);
             dobra_um_volume(p);
         },
         {"--verifica"},
         status_verificacao,
         {"FAILED: checkMesh -allGeometry -allTopology would say \"Failed ",
          "    FAILED  inverted volumes: 1, the first volume 1 (1, 1)", "    FAILED  scaled_jacobian: min -",
          "    FAILED  concave cells: "}},
        // One volume across: each cell's neighbours lie along one line, so
        // its determinant is 0, which only -allGeometry looks at.
        {"uma fileira de volumes",
         [](const pasta_temporaria& p) {
             apoio::grava_entradas(p.caminho(), "perfil_l", 20, 1, 2, apoio::texto_parametros(20, 30));
             ASSERT_EQ(apoio::executa_malhas(p.caminho()).status, 0);
         },
         {"--verifica"},
         status_verificacao,
         {"would say \"Failed 1 mesh checks\", a plain checkMesh \"Mesh OK\"",
          "    FAILED  cell determinant: min 0 at volume 1 (1, 1), average "}},
        // The residual is undefined (dksi 0): no check of the mesh fails.
        {"residuo indefinido",
         prepara_sem_residuo,
         {"--verifica"},
         status_indefinido,
         {"(--verifica): passed"}},
        {"sem --verifica", prepara_sem_residuo, {}, status_indefinido, {}},
    };
    for (const caso& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria p;
        c.prepara(p);
        std::vector<std::string> argumentos = c.opcoes;
        argumentos.push_back(p.caminho().string());
        const auto r = apoio::roda_qualidade(argumentos);
        EXPECT_EQ(r.status, c.status) << r.erro;
        for (const std::string& t : c.trechos)
            EXPECT_NE(r.saida.find(t), std::string::npos) << t << "\n" << r.saida;
    }
}

// An existing case: constant/polyMesh is replaced as a whole, the user's
// system files stay, the missing ones are written only where controlDict is
// missing, nothing temporary stays behind.
TEST(QualidadeSolver, OpenfoamSubstituiSoOPolyMesh) {
    pasta_temporaria p;
    prepara(p);
    const fs::path caso = p / "caso_of", malha = caso / "constant" / "polyMesh";
    fs::create_directories(malha / "sets");
    apoio::grava_arquivo(malha / "points", "old points");
    apoio::grava_arquivo(malha / "sets" / "celulas", "an old set");
    fs::create_directories(caso / "system");
    apoio::grava_arquivo(caso / "system" / "fvSchemes", "the user's schemes");

    auto r = apoio::roda_qualidade({p.caminho().string(), "--openfoam", caso.string(), "--espessura", "0.5"});
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_NE(apoio::le_arquivo(malha / "points"), "old points");
    EXPECT_NE(apoio::le_arquivo(malha / "points").find("(0.5 1 0.5)"), std::string::npos);
    EXPECT_FALSE(fs::exists(malha / "sets"));
    EXPECT_EQ(apoio::le_arquivo(caso / "system" / "fvSchemes"), "the user's schemes");
    EXPECT_TRUE(fs::exists(caso / "system" / "controlDict"));
    EXPECT_TRUE(fs::exists(caso / "system" / "fvSolution"));
    EXPECT_EQ(r.erro.find("fvSchemes"), std::string::npos) << r.erro;
    for (const char* arquivo : {"points", "faces", "owner", "neighbour", "boundary"})
        EXPECT_TRUE(fs::is_regular_file(malha / arquivo)) << arquivo;
    EXPECT_NE(r.saida.find("one layer of hexahedra 0.5 thick"), std::string::npos) << r.saida;

    // With a controlDict of the user's, no system file is written.
    fs::remove(caso / "system" / "fvSolution");
    apoio::grava_arquivo(caso / "system" / "controlDict", "the user's controlDict");
    r = apoio::roda_qualidade({p.caminho().string(), "--openfoam", caso.string()});
    ASSERT_EQ(r.status, 0) << r.erro;
    EXPECT_EQ(apoio::le_arquivo(caso / "system" / "controlDict"), "the user's controlDict");
    EXPECT_FALSE(fs::exists(caso / "system" / "fvSolution"));
    for (const auto& e : fs::directory_iterator(caso / "constant"))
        EXPECT_EQ(e.path().filename(), "polyMesh");
}

TEST(QualidadeSolver, OpenfoamRecusadoAntesDeEscrever) {
    struct caso {
        const char* nome;
        std::vector<std::string> argumentos;  // "@" stands for the case folder
        int status;
        const char* trecho;
    };
    const caso casos[] = {
        {"pasta que e um arquivo", {"--openfoam", "@/perfil_l_vert.txt"}, 1, "it is not a folder"},
        {"exportacao dentro do polyMesh",
         {"--openfoam", "@/of", "--csv", "@/of/constant/polyMesh/q.csv"},
         2,
         "would be replaced or removed by --openfoam"},
        {"exportacao sobre um arquivo do sistema",
         {"--openfoam", "@/of", "--su2", "@/of/system/controlDict"},
         2,
         "would be replaced or removed by --openfoam"},
        {"o caso dentro do polyMesh", {"--openfoam", "@/../.."}, 2, "would remove the case's file"},
        {"espessura nula",
         {"--openfoam", "@/of", "--espessura", "0"},
         2,
         "--espessura needs a positive number"},
        {"espessura nao numerica", {"--espessura", "1mm"}, 2, "--espessura needs a positive number"},
        {"fronteira desconhecida", {"--openfoam", "@/of", "--fronteira", "lado=x"}, 2, "no boundary lado"},
        {"nome que nao e palavra", {"--openfoam", "@/of", "--fronteira", "aresta_i_1=a;b"}, 2, "a name is"},
        {"tipo desconhecido", {"--openfoam", "@/of", "--fronteira", "aresta_i_1=:inlet"}, 2, "no type inlet"},
        {"plano de simetria numa linha do L",
         {"--openfoam", "@/of", "--fronteira", "linha_externa=:symmetryPlane"},
         2,
         "no plane"},
        {"frente e tras que nao sao vazias",
         {"--openfoam", "@/of", "--fronteira", "frente_e_tras=:wall"},
         2,
         "stay empty"},
        {"dois nomes iguais",
         {"--openfoam", "@/of", "--fronteira", "aresta_i_1=borda", "--fronteira", "aresta_i_nvert_ksi=borda"},
         2,
         "would both be named borda"},
        {"o nome do dominio",
         {"--openfoam", "@/of", "--fronteira", "linha_externa=dominio"},
         2,
         "may not be named dominio"},
        {"fronteira sem exportacao", {"--fronteira", "aresta_i_1=entrada"}, 2, "none of which is given"},
    };
    for (const caso& c : casos) {
        SCOPED_TRACE(c.nome);
        pasta_temporaria raiz;
        // The case in raiz/constant/polyMesh, for the case that needs it.
        const fs::path pasta = raiz / "constant" / "polyMesh";
        fs::create_directories(pasta);
        apoio::grava_entradas(pasta, "perfil_l", 24, 10, 2, apoio::texto_parametros(2, 2));
        ASSERT_EQ(apoio::executa_malhas(pasta).status, 0);
        const std::string vert = apoio::le_arquivo(pasta / "perfil_l_vert.txt");
        std::vector<std::string> argumentos{pasta.string()};
        for (std::string a : c.argumentos) {
            if (a[0] == '@') a = pasta.string() + a.substr(1);
            argumentos.push_back(a);
        }
        const auto r = apoio::roda_qualidade(argumentos);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.erro.find(c.trecho), std::string::npos) << r.erro;
        EXPECT_FALSE(fs::exists(pasta / "of"));
        EXPECT_EQ(apoio::le_arquivo(pasta / "perfil_l_vert.txt"), vert);
    }
}

// The boundaries by their default names and types, and renamed and retyped
// alike in the three exports that name them.
TEST(QualidadeSolver, FronteirasNomeadasETipadas) {
    pasta_temporaria p;
    prepara(p);
    const fs::path of = p / "of", su2 = p / "q.su2", msh = p / "q.msh";
    const std::vector<std::string> exportacoes = {p.caminho().string(), "--openfoam", of.string(), "--su2",
                                                  su2.string(),         "--msh",      msh.string()};
    // The type of the patch of that name, as the boundary file lists it.
    auto tipo = [&](const std::string& nome) {
        const std::string b = apoio::le_arquivo(of / "constant" / "polyMesh" / "boundary");
        const std::string antes = "    " + nome + "\n    {\n        type            ";
        const auto k = b.find(antes);
        if (k == std::string::npos) return std::string("-");
        return b.substr(k + antes.size(), b.find(';', k) - k - antes.size());
    };
    auto r = apoio::roda_qualidade(exportacoes);
    ASSERT_EQ(r.status, 0) << r.erro;
    const std::pair<const char*, const char*> padrao[] = {{"linha_externa", "wall"},
                                                          {"linha_interna", "wall"},
                                                          {"aresta_i_1", "patch"},
                                                          {"aresta_i_nvert_ksi", "patch"},
                                                          {"frente_e_tras", "empty"}};
    for (const auto& [nome, t] : padrao)
        EXPECT_EQ(tipo(nome), t) << nome;
    EXPECT_NE(apoio::le_arquivo(of / "constant" / "polyMesh" / "boundary").find("1(wall);"),
              std::string::npos);

    std::vector<std::string> renomeadas = exportacoes;
    for (const char* f : {"aresta_i_1=entrada", "aresta_i_nvert_ksi=saida:symmetryPlane",
                          "linha_interna=:patch", "frente_e_tras=lados"})
        renomeadas.insert(renomeadas.end(), {"--fronteira", f});
    r = apoio::roda_qualidade(renomeadas);
    ASSERT_EQ(r.status, 0) << r.erro;
    const std::pair<const char*, const char*> novas[] = {{"linha_externa", "wall"},
                                                         {"linha_interna", "patch"},
                                                         {"entrada", "patch"},
                                                         {"saida", "symmetryPlane"},
                                                         {"lados", "empty"}};
    for (const auto& [nome, t] : novas)
        EXPECT_EQ(tipo(nome), t) << nome;
    const std::string marcadores = apoio::le_arquivo(su2), grupos = apoio::le_arquivo(msh);
    for (const char* nome : {"linha_externa", "linha_interna", "entrada", "saida"}) {
        EXPECT_NE(marcadores.find(std::string("MARKER_TAG= ") + nome + "\n"), std::string::npos) << nome;
        EXPECT_NE(grupos.find(std::string(" \"") + nome + "\"\n"), std::string::npos) << nome;
    }
    EXPECT_EQ(marcadores.find("aresta_i_1"), std::string::npos);
    EXPECT_EQ(grupos.find("aresta_i_1"), std::string::npos);
}

}  // namespace
