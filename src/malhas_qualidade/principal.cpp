#include "malhas_qualidade/principal.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <system_error>
#include <utility>

#include "malhas_qualidade/arquivos_caso.hpp"
#include "malhas_qualidade/caminhos.hpp"
#include "malhas_qualidade/erros.hpp"
#include "malhas_qualidade/exportacao.hpp"
#include "malhas_qualidade/exportacao_solver.hpp"
#include "malhas_qualidade/historico.hpp"
#include "malhas_qualidade/malha_lida.hpp"
#include "malhas_qualidade/medida_volume.hpp"
#include "malhas_qualidade/medidas.hpp"
#include "malhas_qualidade/ortogonalizacao/grava_resultados.hpp"
#include "malhas_qualidade/ortogonalizacao/historico_ortogonal.hpp"
#include "malhas_qualidade/ortogonalizacao/relatorio_ortogonal.hpp"
#include "malhas_qualidade/residuo.hpp"
#include "malhas_qualidade/resumo.hpp"
#include "malhas_qualidade/saida.hpp"
#include "malhas_qualidade/svg.hpp"
#include "processamento/nomes_resultado.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/sistema.hpp"

#ifndef MALHAS_VERSAO
#define MALHAS_VERSAO "unknown"
#endif

namespace malhas_qualidade {

namespace {

namespace orto = ortogonalizacao;

// The largest power of --gradua: beyond it the volumes at the re-entrant
// corner would be too small for double precision on the meshes one makes.
constexpr double maior_gradua = 4.0;
// --max-iteracoes by default: far more than a mesh of a million volumes
// needs, few enough to end a run that cannot settle.
constexpr std::int64_t max_iteracoes_padrao = 20000;

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
    "                  hexahedra: the boundary lines as patches, front and back one empty\n"
    "                  patch (two-dimensional for every solver); where DIR has no\n"
    "                  system/controlDict, also the system files that are missing\n"
    "  --espessura Z   the thickness of that layer (default 1: cell volumes are the areas,\n"
    "                  per unit depth, as a two-dimensional finite-volume code counts them)\n"
    "  --plot3d FILE   write a formatted two-dimensional Plot3D grid, one block, in the\n"
    "                  multi-block form (1, then ni nj, then x, then y)\n"
    "  --su2 FILE      write an SU2 mesh with the boundary lines as markers\n"
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

using caminhos::junta;

// Whether the name leads to something (a dangling link leads nowhere).
bool existe(const std::string& nome) {
    return sistema::tipo_do_nome(nome) != sistema::tipo_nome::ausente;
}

// A message on the error stream, in pieces, so that reporting a failure
// allocates nothing.
void relata(std::FILE* erro, const char* mensagem) {
    escreve_visivel(erro, "malhas_qualidade: ");
    escreve_visivel(erro, mensagem);
    escreve_visivel(erro, "\n");
}

// Text for the standard output, checked as it goes.
void escreve_saida(std::FILE* saida, const std::string& texto) {
    if (!escreve_visivel(saida, texto))
        falha("", 0, "standard output: cannot write: " + sistema::descricao_erro(errno));
}

// The exports asked for, with their options, in the order they are written.
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

// A positive, finite number, all of the text.
double tolerancia_de(const std::string& texto) {
    double t = 0.0;
    const char* fim = texto.data() + texto.size();
    const auto r = std::from_chars(texto.data(), fim, t);
    if (r.ec != std::errc() || r.ptr != fim || !(t > 0.0) || !std::isfinite(t))
        falha_uso("--tolerancia wants a positive number (a share of the shortest edge), not " + texto);
    return t;
}

// A number of at least 1, all of the text.
double gradua_de(const std::string& texto) {
    double g = 0.0;
    const char* fim = texto.data() + texto.size();
    const auto r = std::from_chars(texto.data(), fim, g);
    if (r.ec != std::errc() || r.ptr != fim || !(g >= 1.0) || !std::isfinite(g) || g > maior_gradua)
        falha_uso("--gradua wants a power from 1 (no grading) to " +
                  std::to_string(static_cast<int>(maior_gradua)) + ", not " + texto);
    return g;
}

// A positive integer, all of the text.
std::int64_t max_iteracoes_de(const std::string& texto) {
    std::int64_t n = 0;
    const char* fim = texto.data() + texto.size();
    const auto r = std::from_chars(texto.data(), fim, n);
    if (r.ec != std::errc() || r.ptr != fim || n < 1)
        falha_uso("--max-iteracoes wants a positive whole number, not " + texto);
    return n;
}

}  // namespace

opcoes analisa_argumentos(const std::vector<std::string>& argumentos) {
    opcoes o;
    bool pasta_dada = false, fim_das_opcoes = false;
    for (std::size_t k = 0; k < argumentos.size(); ++k) {
        const std::string& a = argumentos[k];
        auto valor = [&](std::string& destino) {
            if (k + 1 >= argumentos.size()) falha_uso("option " + a + " needs a value");
            destino = argumentos[++k];
            if (destino.empty()) falha_uso("option " + a + " needs a non-empty value");
        };
        if (fim_das_opcoes || a == "-" || a.empty() || a[0] != '-') {
            if (pasta_dada) falha_uso("more than one folder given: " + o.pasta + " and " + a);
            o.pasta = a;
            pasta_dada = true;
        } else if (a == "--") {
            fim_das_opcoes = true;
        } else if (a == "--help" || a == "-h") {
            o.ajuda = true;
        } else if (a == "--version") {
            o.versao = true;
        } else if (a == "--caso") {
            valor(o.caso);
        } else if (a == "--csv") {
            valor(o.csv);
        } else if (a == "--vtk") {
            valor(o.vtk);
        } else if (a == "--msh") {
            valor(o.msh);
        } else if (a == "--plot3d") {
            valor(o.plot3d);
        } else if (a == "--su2") {
            valor(o.su2);
        } else if (a == "--openfoam") {
            valor(o.openfoam);
        } else if (a == "--espessura") {
            std::string texto;
            valor(texto);
            char* fim = nullptr;
            o.espessura = std::strtod(texto.c_str(), &fim);
            if (fim != texto.c_str() + texto.size() || !std::isfinite(o.espessura) || !(o.espessura > 0.0))
                falha_uso("--espessura needs a positive number, not " + texto);
        } else if (a == "--verifica") {
            o.verifica = true;
        } else if (a == "--svg") {
            valor(o.svg);
            if (!termina_em(o.svg, ".svg")) falha_uso("--svg wants a file name ending in .svg, not " + o.svg);
        } else if (a == "--medida") {
            valor(o.medida);
            if (procura_medida_volume(o.medida) == nullptr)
                falha_uso("--medida: no measure " + o.medida + "; the measures are " +
                          nomes_medidas_volume());
        } else if (a == "--historico") {
            std::string nome;
            valor(nome);
            if (!termina_em(nome, ".csv") && !termina_em(nome, ".svg"))
                falha_uso(
                    "--historico wants a file name ending in .csv (the table) or .svg (the plot), not " +
                    nome);
            o.historico.push_back(nome);
        } else if (a == "--tolerancia") {
            std::string texto;
            valor(texto);
            o.tolerancia = tolerancia_de(texto);
        } else if (a == "--sem-residuo") {
            o.sem_residuo = true;
        } else if (a == "--ortogonaliza") {
            o.ortogonaliza = true;
        } else if (a == "--gradua") {
            std::string texto;
            valor(texto);
            o.gradua = gradua_de(texto);
        } else if (a == "--max-iteracoes") {
            std::string texto;
            valor(texto);
            o.max_iteracoes = max_iteracoes_de(texto);
        } else if (a == "--grava") {
            valor(o.grava);
        } else {
            falha_uso("unknown option " + a);
        }
    }
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
    const auto saidas = saidas_de(o);
    for (std::size_t a = 0; a < saidas.size(); ++a)
        for (std::size_t b = a + 1; b < saidas.size(); ++b)
            if (caminhos::mesmo_arquivo(*saidas[a].second, *saidas[b].second))
                falha_uso(std::string(saidas[a].first) + " and " + saidas[b].first +
                          " name the same file: " + *saidas[a].second);
    return o;
}

namespace {

int executa_opcoes(const opcoes& o, std::FILE* saida, std::FILE* erro) {
    const std::string nome_entradas = junta(o.pasta, "entradas.txt");
    const std::string nome_parametros = junta(o.pasta, "entrada_eq_elipticas.txt");
    if (!sistema::e_pasta(o.pasta)) falha(o.pasta, 0, "not a folder");

    // The case file names the case and says whether it was smoothed; with
    // --caso it is only consulted when it is there.
    caso c;
    bool caso_lido = false;
    if (o.caso.empty() || existe(nome_entradas)) {
        c = le_caso(nome_entradas);
        caso_lido = true;
    }
    // The history re-runs the case files: without them, or for a mesh that
    // is not smoothed, there is nothing to re-run, and that is said first.
    if (!o.historico.empty() && !o.ortogonaliza) {
        if (!caso_lido) c = le_caso(nome_entradas);
        caso_lido = true;
        if (c.tipo_malha != 2)
            falha(nome_entradas, 0,
                  "mesh kind " + std::to_string(c.tipo_malha) +
                      ": only mesh kind 2 is smoothed, so there is no history to record (--historico)");
    }
    // The solver-grade mesh is made from the case file's sizes.
    if (o.ortogonaliza && !caso_lido) {
        c = le_caso(nome_entradas);
        caso_lido = true;
    }
    std::string nome_caso = o.caso.empty() ? c.nome_caso : o.caso;
    const std::string relatorio = junta(o.pasta, processamento::nome_relatorio(nome_caso));
    const std::string volumes = junta(o.pasta, processamento::nome_volumes(nome_caso));

    // An export must not destroy one of the case's files, and must replace
    // nothing but a regular file: both are settled before anything is read
    // or written.
    const std::string malha = junta(o.pasta, processamento::nome_malha);
    const std::string* protegidos[] = {&relatorio, &volumes, &nome_entradas, &nome_parametros, &malha};
    for (const auto& [opcao, nome] : saidas_de(o)) {
        for (const std::string* e : protegidos)
            if (caminhos::mesmo_arquivo(*nome, *e))
                falha_uso(std::string(opcao) + " " + *nome + " would overwrite the case's file " + *e);
        if (!o.openfoam.empty() && openfoam_alcanca(o.openfoam, *nome))
            falha_uso(std::string(opcao) + " " + *nome + " would be replaced or removed by --openfoam " +
                      o.openfoam);
        confere_destino(*nome);
    }
    std::vector<std::string> gravados;
    if (!o.grava.empty()) {
        if (caminhos::mesmo_arquivo(o.grava, o.pasta))
            falha_uso("--grava " + o.grava + " is the case's own folder: its result files would be replaced");
        gravados = orto::arquivos_gravados(o.grava, nome_caso);
        for (const std::string& g : gravados) {
            for (const auto& [opcao, nome] : saidas_de(o))
                if (caminhos::mesmo_arquivo(*nome, g))
                    falha_uso(std::string(opcao) + " " + *nome + " would be one of the files --grava writes");
            if (!o.openfoam.empty() && openfoam_alcanca(o.openfoam, g))
                falha_uso("--grava " + o.grava + " lies where --openfoam " + o.openfoam + " replaces files");
            confere_destino(g);
        }
    }
    if (!o.openfoam.empty()) {
        for (const std::string* e : protegidos)
            if (dentro_do_polymesh(o.openfoam, *e))
                falha_uso("--openfoam " + o.openfoam + " would remove the case's file " + *e +
                          " with the constant/polyMesh it replaces");
        confere_destino_openfoam(o.openfoam);
    }

    malha_lida m;
    orto::pedido pedido_orto;
    orto::resultado orto_feita;
    std::unique_ptr<orto::historico_convergencia> convergencia;
    if (o.ortogonaliza) {
        pedido_orto.nvol_ksi = c.nvol_ksi;
        pedido_orto.nvol_eta = c.nvol_eta;
        pedido_orto.gradua = o.gradua;
        pedido_orto.tolerancia = o.tolerancia != 0.0 ? o.tolerancia : fracao_visivel;
        pedido_orto.max_iteracoes = o.max_iteracoes != 0 ? o.max_iteracoes : max_iteracoes_padrao;
        // --historico records how it settled.
        if (!o.historico.empty()) {
            convergencia = std::make_unique<orto::historico_convergencia>(o.historico);
            pedido_orto.observa = orto::historico_convergencia::observa;
            pedido_orto.contexto = convergencia.get();
        }
        orto_feita = orto::faz_malha_com_progresso(pedido_orto, erro == stderr,
                                                   erro == stderr && sistema::erro_padrao_e_terminal());
        m = std::move(orto_feita.malha);
    } else {
        tempo_execucao::alocando nome("the mesh read from the result files");
        le_relatorio(relatorio, m);
        le_volumes(volumes, m);
    }
    if (caso_lido && !o.ortogonaliza && (c.nvol_ksi != m.nvol_ksi || c.nvol_eta != m.nvol_eta)) {
        // The folder's name is the user's bytes: by the one rule for them.
        char tamanhos[160];
        std::snprintf(tamanhos, sizeof tamanhos,
                      " now asks for %d x %d volumes; the result files hold %d x %d (written before the case "
                      "file changed?)\n",
                      c.nvol_ksi, c.nvol_eta, m.nvol_ksi, m.nvol_eta);
        escreve_visivel(erro, "malhas_qualidade: note: ");
        escreve_visivel(erro, nome_entradas);
        escreve_visivel(erro, tamanhos);
    }

    medidas_malha med;
    {
        tempo_execucao::alocando nome("the quality measures");
        calcula_medidas(m, med);
    }
    // The figures of the mesh --openfoam writes, whether or not it is written.
    const extrusao ext{&m, o.espessura, med.orientacao};
    figuras_checkmesh figuras;
    {
        tempo_execucao::alocando nome("checkMesh's figures");
        // The rest of checkMesh -allGeometry's checks cost several times
        // the summary's figures: only --verifica wants them.
        calcula_figuras_checkmesh(ext, figuras, o.verifica);
    }

    // The residual belongs to the elliptic mesh kind; when the kind is not
    // known (--caso without a case file), the parameter file's presence decides.
    const bool eliptica = caso_lido ? c.tipo_malha == 2 : existe(nome_parametros);
    parametros par;
    residuo_malha r;
    // The residual is that of the equations without control functions: it
    // does not judge the solver-grade mesh, which reports its own settling.
    const bool com_residuo = eliptica && !o.sem_residuo && !o.ortogonaliza;
    if (!o.medida.empty() && procura_medida_volume(o.medida)->precisa_residuo && !com_residuo)
        falha_uso("--medida " + o.medida +
                  " needs the residual, which is computed for mesh kind 2 without --sem-residuo");
    if (com_residuo) {
        if (!existe(nome_parametros))
            falha(nome_parametros, 0,
                  "cannot open: no such file; the residual of mesh kind 2 needs it (--sem-residuo goes "
                  "without)");
        par = le_parametros(nome_parametros);
        tempo_execucao::alocando nome("the residual and its work arrays");
        calcula_residuo(m, par, r);
    }

    dados_resumo d;
    d.nome_caso = processamento::base_do_nome(nome_caso);
    d.relatorio = relatorio;
    d.volumes = volumes;
    d.tipo_malha = caso_lido && !o.ortogonaliza ? c.tipo_malha : 0;
    if (o.ortogonaliza) {
        d.relatorio = "the solver-grade mesh (--ortogonaliza) of " + nome_entradas;
        d.volumes = "not the result files";
    }
    d.malha = &m;
    d.medidas = &med;
    d.parametros_lidos = com_residuo ? &par : nullptr;
    d.residuo = com_residuo ? &r : nullptr;
    d.checkmesh = &figuras;
    bool indefinido = false;
    std::string texto = texto_resumo(d, indefinido);
    if (o.ortogonaliza)
        texto +=
            orto::texto_ortogonalizacao(orto_feita, pedido_orto, nome_entradas, orto::mede_fronteira(m, med));
    if (convergencia != nullptr) {
        convergencia->conclui(pedido_orto, d.nome_caso);
        texto += convergencia->texto(pedido_orto);
    }
    verificacao v;
    if (o.verifica) {
        v = verifica_malha(d);
        texto += texto_verificacao(v);
    }
    escreve_saida(saida, texto);

    tempo_execucao::alocando nome("the export buffers");

    if (!o.csv.empty()) escreve_csv(o.csv, m, med);
    if (!o.vtk.empty()) escreve_vtk(o.vtk, m, med, com_residuo ? &r : nullptr);
    if (!o.msh.empty()) escreve_msh(o.msh, m);
    if (!o.plot3d.empty()) escreve_plot3d(o.plot3d, m);
    if (!o.su2.empty()) escreve_su2(o.su2, m, med.orientacao);
    if (!o.openfoam.empty()) {
        const exportacao_openfoam feita = escreve_openfoam(o.openfoam, ext);
        // In pieces: the mesh is in place, and nothing from here may fail
        // for want of memory and report as failed what is done.
        for (const std::string& arquivo : feita.sistema) {
            escreve_visivel(erro, "malhas_qualidade: note: wrote the missing system file ");
            escreve_visivel(erro, arquivo);
            escreve_visivel(erro, "\n");
        }
        // An interruption held while the mesh went in stops what is left;
        // with nothing left, the run has done all it was asked.
        if (feita.interrupcao != 0 && (!o.svg.empty() || !o.historico.empty())) {
            std::fflush(saida);
            sistema::termina_interrompido(feita.interrupcao);
        }
    }
    if (!o.svg.empty()) {
        const medida_volume& medida = *procura_medida_volume(o.medida.empty() ? nome::assimetria : o.medida);
        std::vector<double> valores;
        medida.valores(fontes_medida{&m, &med, com_residuo ? &r : nullptr}, valores);
        escreve_svg_malha(o.svg, d.nome_caso, m, medida, valores);
    }
    if (!o.grava.empty()) {
        const std::string caso_escrito = orto::grava_resultados(o.grava, nome_caso, m);
        escreve_visivel(erro, "malhas_qualidade: note: --grava wrote " + gravados[0] + ", " + gravados[1] +
                                  " and " + gravados[2] +
                                  (caso_escrito.empty() ? "" : ", and the case file " + caso_escrito) + "\n");
    }
    // A failed verification says more than an undefined figure elsewhere
    // (the residual) or an unsettled solver-grade mesh: 3 takes the place of 4.
    int status = indefinido ? status_indefinido : 0;
    if (o.ortogonaliza && !orto_feita.assentada) status = status_indefinido;
    if (o.verifica && v.falhou) status = status_verificacao;
    if (o.historico.empty() || o.ortogonaliza) return status;

    pedido_historico p;
    p.entradas = nome_entradas;
    p.parametros = nome_parametros;
    p.relatorio = relatorio;
    p.nvol_ksi_relatorio = m.nvol_ksi;
    p.nvol_eta_relatorio = m.nvol_eta;
    p.nome_caso = d.nome_caso;
    p.saidas = o.historico;
    p.tolerancia = o.tolerancia != 0.0 ? o.tolerancia : fracao_visivel;
    p.progresso = erro == stderr;
    p.terminal = p.progresso && sistema::erro_padrao_e_terminal();
    // The re-run takes the memory of a run: what the summary held goes
    // first, but for the coordinates, which every row is measured from.
    p.final_x = std::move(m.x);
    p.final_y = std::move(m.y);
    m = malha_lida();
    med = medidas_malha();
    r = residuo_malha();
    figuras = figuras_checkmesh();
    // The summary stands on the terminal before the progress line starts.
    if (std::fflush(saida) != 0)
        falha("", 0, "standard output: cannot write: " + sistema::descricao_erro(errno));
    const historico h = executa_historico(p);
    escreve_saida(saida, h.texto);
    return h.status != 0 ? h.status : status;
}

}  // namespace

int executa(const std::vector<std::string>& argumentos, std::FILE* saida, std::FILE* erro) {
    int status = 0;
    try {
        const opcoes o = analisa_argumentos(argumentos);
        if (o.ajuda) {
            escreve_saida(saida, texto_ajuda);
        } else if (o.versao) {
            escreve_saida(saida, std::string("malhas_qualidade ") + MALHAS_VERSAO + "\n");
        } else {
            status = executa_opcoes(o, saida, erro);
        }
        // What was written to the standard output must have reached it: a
        // full disk or a closed pipe there is a failure like any other.
        if (std::fflush(saida) != 0 || std::ferror(saida))
            falha("", 0, "standard output: cannot write: " + sistema::descricao_erro(errno));
        return status;
    } catch (const erro_uso& e) {
        relata(erro, e.what());
        escreve_visivel(erro, "Try 'malhas_qualidade --help'.\n");
        return 2;
    } catch (const falha_qualidade& f) {
        relata(erro, f.what());
        return 1;
    } catch (const std::bad_alloc& falta) {
        // The name is a static text: nothing on this path allocates.
        std::fprintf(erro, "malhas_qualidade: insufficient memory (%s)\n",
                     tempo_execucao::o_que_faltou(falta));
        return 1;
    } catch (const std::exception& e) {
        relata(erro, e.what());
        return 1;
    }
}

}  // namespace malhas_qualidade
