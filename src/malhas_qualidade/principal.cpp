#include "malhas_qualidade/principal.hpp"

#include <filesystem>
#include <new>
#include <system_error>

#include "malhas_qualidade/arquivos_caso.hpp"
#include "malhas_qualidade/erros.hpp"
#include "malhas_qualidade/exportacao.hpp"
#include "malhas_qualidade/malha_lida.hpp"
#include "malhas_qualidade/medidas.hpp"
#include "malhas_qualidade/nomes.hpp"
#include "malhas_qualidade/residuo.hpp"
#include "malhas_qualidade/resumo.hpp"
#include "tempo_execucao/alocacao.hpp"

#ifndef MALHAS_VERSAO
#define MALHAS_VERSAO "unknown"
#endif

namespace malhas_qualidade {

namespace {

namespace fs = std::filesystem;

const char texto_ajuda[] =
    "Usage: malhas_qualidade [OPTION]... [FOLDER]\n"
    "Judges the mesh that malhas_segmentos wrote in FOLDER (default: the current folder):\n"
    "the quality of every volume, the non-orthogonality and area growth of the grid, and,\n"
    "for mesh kind 2, the residual of the elliptic equations. Reads <case>.txt and\n"
    "<case>_vert.txt, the case name taken from entradas.txt, and entrada_eq_elipticas.txt\n"
    "for the residual. Prints a summary on standard output.\n"
    "\n"
    "  --caso NAME     take the case name NAME instead of the one in entradas.txt\n"
    "  --csv FILE      write one row per volume with every measure\n"
    "  --vtk FILE      write a VTK XML structured grid (.vts) with the measures\n"
    "  --msh FILE      write a Gmsh MSH 4.1 mesh with the boundary lines as physical groups\n"
    "  --sem-residuo   do not compute the residual\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 on a failure (the message names the file and line),\n"
    "2 on a usage error.\n";

std::string junta(const std::string& pasta, const std::string& nome) {
    return (fs::path(pasta) / fs::path(nome)).string();
}

bool mesmo_arquivo(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
    return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
}

}  // namespace

opcoes analisa_argumentos(const std::vector<std::string>& argumentos) {
    opcoes o;
    bool pasta_dada = false;
    for (std::size_t k = 0; k < argumentos.size(); ++k) {
        const std::string& a = argumentos[k];
        auto valor = [&](std::string& destino) {
            if (k + 1 >= argumentos.size()) falha_uso("option " + a + " needs a value");
            destino = argumentos[++k];
            if (destino.empty()) falha_uso("option " + a + " needs a non-empty value");
        };
        if (a == "--help" || a == "-h") {
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
        } else if (a == "--sem-residuo") {
            o.sem_residuo = true;
        } else if (a.size() > 1 && a[0] == '-') {
            falha_uso("unknown option " + a);
        } else {
            if (pasta_dada) falha_uso("more than one folder given: " + o.pasta + " and " + a);
            o.pasta = a;
            pasta_dada = true;
        }
    }
    const std::string* saidas[] = {&o.csv, &o.vtk, &o.msh};
    for (int a = 0; a < 3; ++a)
        for (int b = a + 1; b < 3; ++b)
            if (!saidas[a]->empty() && !saidas[b]->empty() && mesmo_arquivo(*saidas[a], *saidas[b]))
                falha_uso("two outputs to the same file: " + *saidas[a]);
    return o;
}

namespace {

int executa_opcoes(const opcoes& o, std::FILE* saida, std::FILE* erro) {
    const std::string nome_entradas = junta(o.pasta, "entradas.txt");
    const std::string nome_parametros = junta(o.pasta, "entrada_eq_elipticas.txt");
    std::error_code ec;
    if (!fs::is_directory(o.pasta, ec)) falha(o.pasta, 0, "not a folder");

    // The case file names the case and says whether it was smoothed; with
    // --caso it is only consulted when it is there.
    caso c;
    bool caso_lido = false;
    if (o.caso.empty() || fs::exists(nome_entradas, ec)) {
        c = le_caso(nome_entradas);
        caso_lido = true;
    }
    std::string nome_caso = o.caso.empty() ? c.nome_caso : o.caso;
    const std::string relatorio = junta(o.pasta, nome_relatorio(nome_caso));
    const std::string volumes = junta(o.pasta, nome_volumes(nome_caso));

    // An output must not destroy one of the files it is made from.
    const std::string* entradas[] = {&relatorio, &volumes, &nome_entradas, &nome_parametros};
    for (const std::string* s : {&o.csv, &o.vtk, &o.msh}) {
        if (s->empty()) continue;
        for (const std::string* e : entradas)
            if (mesmo_arquivo(*s, *e)) falha(*s, 0, "the output would overwrite the input file " + *e);
    }

    malha_lida m;
    le_relatorio(relatorio, m);
    le_volumes(volumes, m);
    if (caso_lido && (c.nvol_ksi != m.nvol_ksi || c.nvol_eta != m.nvol_eta))
        std::fprintf(erro,
                     "malhas_qualidade: note: %s now asks for %d x %d volumes; the result files hold %d x %d "
                     "(written before the case file changed?)\n",
                     nome_entradas.c_str(), c.nvol_ksi, c.nvol_eta, m.nvol_ksi, m.nvol_eta);

    medidas_malha med;
    calcula_medidas(m, med);

    // The residual belongs to the elliptic mesh kind; when the kind is not
    // known (--caso without a case file), the parameter file's presence decides.
    const bool eliptica = caso_lido ? c.tipo_malha == 2 : fs::exists(nome_parametros, ec);
    parametros par;
    residuo_malha r;
    const bool com_residuo = eliptica && !o.sem_residuo;
    if (com_residuo) {
        if (!fs::exists(nome_parametros, ec))
            falha(nome_parametros, 0,
                  "cannot open: no such file; the residual of mesh kind 2 needs it (--sem-residuo goes "
                  "without)");
        par = le_parametros(nome_parametros);
        calcula_residuo(m, par, r);
    }

    dados_resumo d;
    d.nome_caso = base_do_nome(nome_caso);
    d.relatorio = relatorio;
    d.volumes = volumes;
    d.tipo_malha = caso_lido ? c.tipo_malha : 0;
    d.malha = &m;
    d.medidas = &med;
    d.parametros_lidos = com_residuo ? &par : nullptr;
    d.residuo = com_residuo ? &r : nullptr;
    escreve_resumo(saida, d);
    std::fflush(saida);

    if (!o.csv.empty()) escreve_csv(o.csv, m, med);
    if (!o.vtk.empty()) escreve_vtk(o.vtk, m, med, com_residuo ? &r : nullptr);
    if (!o.msh.empty()) escreve_msh(o.msh, m);
    return 0;
}

}  // namespace

int executa(const std::vector<std::string>& argumentos, std::FILE* saida, std::FILE* erro) {
    try {
        const opcoes o = analisa_argumentos(argumentos);
        if (o.ajuda) {
            std::fputs(texto_ajuda, saida);
            return 0;
        }
        if (o.versao) {
            std::fprintf(saida, "malhas_qualidade %s\n", MALHAS_VERSAO);
            return 0;
        }
        return executa_opcoes(o, saida, erro);
    } catch (const erro_uso& e) {
        std::fprintf(erro, "malhas_qualidade: %s\nTry 'malhas_qualidade --help'.\n", e.what());
        return 2;
    } catch (const falha_qualidade& f) {
        std::fprintf(erro, "malhas_qualidade: %s\n", f.what());
        return 1;
    } catch (const std::bad_alloc& falta) {
        // The name is a static text: nothing on this path allocates.
        std::fprintf(erro, "malhas_qualidade: insufficient memory (%s)\n",
                     tempo_execucao::o_que_faltou(falta));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(erro, "malhas_qualidade: %s\n", e.what());
        return 1;
    }
}

}  // namespace malhas_qualidade
