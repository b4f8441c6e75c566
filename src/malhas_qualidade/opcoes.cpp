#include "malhas_qualidade/opcoes.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/comum/numeros.hpp"
#include "malhas_qualidade/medidas/medida_volume.hpp"

namespace malhas_qualidade {

const char texto_ajuda[] =
    "Usage: malhas_qualidade [OPTION]... [--] [FOLDER]\n"
    "Judges the mesh that malhas_segmentos wrote in FOLDER (default: the current folder):\n"
    "the quality of every volume, the non-orthogonality and area growth of the grid, the\n"
    "figures OpenFOAM's checkMesh prints for the mesh --openfoam writes, and, for mesh\n"
    "kind 2, the residual of the elliptic equations. Reads <case>.txt and <case>_vert.txt,\n"
    "the case name taken from entradas.txt, and entrada_eq_elipticas.txt for the residual.\n"
    "Prints a summary on standard output.\n"
    "\n"
    "  --caso NAME     take the case name NAME instead of the one in entradas.txt\n"
    "  --csv FILE      write one row per volume with every measure\n"
    "  --vtk FILE      write a VTK XML grid with the measures: structured (.vts), or\n"
    "                  unstructured where FILE ends in .vtu (for meshio)\n"
    "  --msh FILE      write a Gmsh MSH 4.1 mesh with the boundary lines as physical groups\n"
    "  --openfoam DIR  write DIR/constant/polyMesh, the mesh extruded to one layer of\n"
    "                  hexahedra: the two lines of the L as walls, the two edges as patches,\n"
    "                  front and back one empty patch (two-dimensional for every solver);\n"
    "                  where DIR has no system/controlDict, also the system files that are\n"
    "                  missing\n"
    "  --espessura Z   the thickness of that layer (default 1: cell volumes are the areas,\n"
    "                  per unit depth, as a two-dimensional finite-volume code counts them)\n"
    "  --plot3d FILE   write a formatted two-dimensional Plot3D grid, one block, in the\n"
    "                  multi-block form (1, then ni nj, then x, then y)\n"
    "  --su2 FILE      write an SU2 mesh with the boundary lines as markers\n"
    "  --fronteira B=NAME[:TYPE]\n"
    "                  name boundary B NAME in the --openfoam, --su2 and --msh exports, and\n"
    "                  give it the OpenFOAM type TYPE (patch, wall or symmetry, or\n"
    "                  symmetryPlane for an edge); B=:TYPE keeps the name. B is one of\n"
    "                  linha_externa and linha_interna (the lines of the L, walls by\n"
    "                  default), aresta_i_1 and aresta_i_nvert_ksi (the edges, patches) and\n"
    "                  frente_e_tras (front and back, empty); the option may be repeated\n"
    "  --verifica      judge the mesh: every check of checkMesh -allGeometry -allTopology\n"
    "                  (OpenFOAM 1912) on the mesh --openfoam writes, as checkMesh counts\n"
    "                  them, and the companion's own (no inverted volume, a scaled Jacobian\n"
    "                  above 0); every check is listed with its figures\n"
    "  --svg FILE      draw the mesh as an SVG picture, every volume coloured by a measure\n"
    "  --medida NAME   the measure of --svg (default skew): any of the summary's, by its name\n"
    "  --historico FILE  run the smoothing again from the case files and record, after every\n"
    "                  outer iteration, the residual, the quality extremes and the distance\n"
    "                  from the report file's mesh: FILE ending .csv gets the table, .svg the\n"
    "                  plot; the summary gets a short form, the proof that the result files\n"
    "                  come from this smoothing, the least niter that would do, or about how\n"
    "                  many more are needed (the option may be given twice, .csv and .svg);\n"
    "                  with --ortogonaliza: how that mesh settled, iteration by iteration\n"
    "  --tolerancia T  what would do for --historico: the distance from the report file's\n"
    "                  mesh below T times its shortest edge from then on; when\n"
    "                  --ortogonaliza stops: its largest move below T times its shortest\n"
    "                  edge (default 0.001, the summary's 'settled')\n"
    "  --sem-residuo   do not compute the residual\n"
    "  --ortogonaliza  judge and export, instead of the result files, the solver-grade mesh\n"
    "                  made from the case file's sizes: the same L, numbering and boundary\n"
    "                  lines, grid lines square to the boundary (its vertices slide along\n"
    "                  their segments), the interior smoothed by the program's elliptic\n"
    "                  equations with control functions, iterated until settled\n"
    "  --gradua G      with --ortogonaliza: cells shrink toward the re-entrant corner\n"
    "                  (0.5, 0.5), a vertex's distance from it going as the G-th power of\n"
    "                  its distance in indices (G from 1, no grading, the default, to 4;\n"
    "                  2 suits a solution like r^(2/3))\n"
    "  --max-iteracoes N  with --ortogonaliza: stop after N outer iterations (default 20000)\n"
    "                  even if not settled (exit status 4)\n"
    "  --grava DIR     with --ortogonaliza: write that mesh's three result files, in\n"
    "                  malhas_segmentos' formats, into DIR (created if missing; not the\n"
    "                  case's folder), and a case file there when DIR has none\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "  --              end of the options: what follows is the FOLDER\n"
    "\n"
    "An export replaces only a regular file (links are followed to the file they name), and\n"
    "only once it is complete; it may not be one of the case's files or another export.\n"
    "--openfoam replaces constant/polyMesh as a whole, once the new one is complete, and\n"
    "refuses a constant or constant/polyMesh that is a symbolic link. A failed run leaves\n"
    "the exports finished before it replaced (each whole) and the others as they were.\n"
    "\n"
    "Exit status: 0 on success, 1 on a failure (the message names the file and line),\n"
    "2 on a usage error, 3 with --verifica when a check fails (exactly when checkMesh\n"
    "-allGeometry -allTopology would fail the mesh), 4 when some measure, figure or the\n"
    "residual is undefined (the summary says where and why, and gives no verdict there;\n"
    "with --verifica an undefined figure of a check fails it: 3, not 4) or when\n"
    "--ortogonaliza reaches --max-iteracoes before it settles, 5 when\n"
    "--historico's re-run does not give the result files (the first differing\n"
    "vertex is named; or the program's run would end at a floating-point fault). On a\n"
    "terminal --historico shows its progress; Ctrl-C stops it, writes nothing and exits 130.\n";

namespace {

using caminhos::termina_em;

// The largest power of --gradua: beyond it the volumes at the re-entrant
// corner would be too small for double precision on the meshes one makes.
constexpr double maior_gradua = 4.0;

// A positive, finite number, the whole text, read as every number of the
// program is read (comum/numeros.hpp: no blanks, sign or hexadecimal, the
// value rounded once), from minimo to maximo, whole when inteiro: the one
// rule of every option that takes a number. Fails with "OPTION needs WHAT,
// not TEXT".
double numero_positivo(const std::string& opcao, const std::string& texto, const std::string& o_que,
                       double minimo = 0.0, double maximo = std::numeric_limits<double>::max(),
                       bool inteiro = false) {
    double x = 0.0;
    const char* fim = texto.data() + texto.size();
    const auto r = le_real(texto.data(), fim, x);
    const bool certo = r.ec == std::errc() && r.ptr == fim && x > 0.0 && x >= minimo && x <= maximo &&
                       (!inteiro || (x == std::floor(x) && x <= 9007199254740992.0));
    if (!certo) falha_uso(opcao + " needs " + o_que + ", not " + texto);
    return x;
}

// The options without a value: each sets its flag.
struct opcao_chave {
    const char* nome;
    bool opcoes::*campo;
};
const opcao_chave opcoes_chave[] = {{"--help", &opcoes::ajuda},
                                    {"-h", &opcoes::ajuda},
                                    {"--version", &opcoes::versao},
                                    {"--verifica", &opcoes::verifica},
                                    {"--sem-residuo", &opcoes::sem_residuo},
                                    {"--ortogonaliza", &opcoes::ortogonaliza}};

// The options with a value, and what each does with it.
struct opcao_valor {
    const char* nome;
    void (*aplica)(opcoes& o, const std::string& v);
};
const opcao_valor opcoes_valor[] = {
    {"--caso", [](opcoes& o, const std::string& v) { o.caso = v; }},
    {"--csv", [](opcoes& o, const std::string& v) { o.csv = v; }},
    {"--vtk", [](opcoes& o, const std::string& v) { o.vtk = v; }},
    {"--msh", [](opcoes& o, const std::string& v) { o.msh = v; }},
    {"--plot3d", [](opcoes& o, const std::string& v) { o.plot3d = v; }},
    {"--su2", [](opcoes& o, const std::string& v) { o.su2 = v; }},
    {"--openfoam", [](opcoes& o, const std::string& v) { o.openfoam = v; }},
    {"--espessura",
     [](opcoes& o, const std::string& v) {
         o.espessura = numero_positivo("--espessura", v, "a positive number (the thickness of the layer)");
     }},
    {"--fronteira",
     [](opcoes& o, const std::string& v) {
         aplica_fronteira(o.fronteira, v);
         o.fronteira_dada = true;
     }},
    {"--svg",
     [](opcoes& o, const std::string& v) {
         if (!termina_em(v, ".svg")) falha_uso("--svg wants a file name ending in .svg, not " + v);
         o.svg = v;
     }},
    {"--medida",
     [](opcoes& o, const std::string& v) {
         if (procura_medida_volume(v) == nullptr)
             falha_uso("--medida: no measure " + v + "; the measures are " + nomes_medidas_volume());
         o.medida = v;
     }},
    {"--historico",
     [](opcoes& o, const std::string& v) {
         if (!termina_em(v, ".csv") && !termina_em(v, ".svg"))
             falha_uso("--historico wants a file name ending in .csv (the table) or .svg (the plot), not " +
                       v);
         o.historico.push_back(v);
     }},
    {"--tolerancia",
     [](opcoes& o, const std::string& v) {
         o.tolerancia =
             numero_positivo("--tolerancia", v, "a positive number (a share of the shortest edge)");
     }},
    {"--gradua",
     [](opcoes& o, const std::string& v) {
         o.gradua = numero_positivo(
             "--gradua", v,
             "a power from 1 (no grading) to " + std::to_string(static_cast<int>(maior_gradua)), 1.0,
             maior_gradua);
     }},
    {"--max-iteracoes",
     [](opcoes& o, const std::string& v) {
         o.max_iteracoes = static_cast<std::int64_t>(
             numero_positivo("--max-iteracoes", v, "a positive whole number of outer iterations", 1.0,
                             std::numeric_limits<double>::max(), true));
     }},
    {"--grava", [](opcoes& o, const std::string& v) { o.grava = v; }},
};

// What the options ask for together.
void confere_combinacoes(const opcoes& o) {
    if (o.pasta.empty()) falha_uso("the folder may not be an empty name");
    if (!o.medida.empty() && o.svg.empty())
        falha_uso("--medida names the measure of --svg, which is not given");
    if (o.tolerancia != 0.0 && o.historico.empty() && !o.ortogonaliza)
        falha_uso(
            "--tolerancia is the tolerance of --historico or --ortogonaliza, neither of which is given");
    for (auto [dada, opcao] :
         {std::pair{o.gradua != 1.0, "--gradua"}, std::pair{o.max_iteracoes != 0, "--max-iteracoes"},
          std::pair{!o.grava.empty(), "--grava"}})
        if (dada && !o.ortogonaliza)
            falha_uso(std::string(opcao) + " is an option of --ortogonaliza, which is not given");
    if (o.fronteira_dada && o.openfoam.empty() && o.su2.empty() && o.msh.empty())
        falha_uso("--fronteira names the boundaries of --openfoam, --su2 and --msh, none of which is given");
    confere_fronteiras(o.fronteira);
    const auto saidas = saidas_de(o);
    for (std::size_t a = 0; a < saidas.size(); ++a)
        for (std::size_t b = a + 1; b < saidas.size(); ++b)
            if (caminhos::mesmo_arquivo(*saidas[a].second, *saidas[b].second))
                falha_uso(std::string(saidas[a].first) + " and " + saidas[b].first +
                          " name the same file: " + *saidas[a].second);
}

}  // namespace

std::vector<std::pair<const char*, const std::string*>> saidas_de(const opcoes& o) {
    std::vector<std::pair<const char*, const std::string*>> saidas;
    for (auto [opcao, nome] :
         {std::pair{"--csv", &o.csv}, std::pair{"--vtk", &o.vtk}, std::pair{"--msh", &o.msh},
          std::pair{"--plot3d", &o.plot3d}, std::pair{"--su2", &o.su2}, std::pair{"--svg", &o.svg}})
        if (!nome->empty()) saidas.emplace_back(opcao, nome);
    for (const std::string& nome : o.historico)
        saidas.emplace_back("--historico", &nome);
    return saidas;
}

opcoes analisa_argumentos(const std::vector<std::string>& argumentos) {
    opcoes o;
    bool pasta_dada = false, fim_das_opcoes = false;
    for (std::size_t k = 0; k < argumentos.size(); ++k) {
        const std::string& a = argumentos[k];
        if (fim_das_opcoes || a == "-" || a.empty() || a[0] != '-') {
            if (pasta_dada) falha_uso("more than one folder given: " + o.pasta + " and " + a);
            o.pasta = a;
            pasta_dada = true;
            continue;
        }
        if (a == "--") {
            fim_das_opcoes = true;
            continue;
        }
        bool conhecida = false;
        for (const opcao_chave& c : opcoes_chave)
            if (a == c.nome) o.*c.campo = conhecida = true;
        for (const opcao_valor& v : opcoes_valor) {
            if (a != v.nome) continue;
            if (k + 1 >= argumentos.size()) falha_uso("option " + a + " needs a value");
            const std::string& valor = argumentos[++k];
            if (valor.empty()) falha_uso("option " + a + " needs a non-empty value");
            v.aplica(o, valor);
            conhecida = true;
            break;
        }
        if (!conhecida) falha_uso("unknown option " + a);
    }
    confere_combinacoes(o);
    return o;
}

}  // namespace malhas_qualidade
