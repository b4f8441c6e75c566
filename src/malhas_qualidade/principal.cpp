#include "malhas_qualidade/principal.hpp"

#include <cerrno>
#include <memory>
#include <new>
#include <utility>

#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/exportacao/exportacao.hpp"
#include "malhas_qualidade/exportacao/openfoam.hpp"
#include "malhas_qualidade/figuras/svg.hpp"
#include "malhas_qualidade/historico/historico.hpp"
#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/checkmesh.hpp"
#include "malhas_qualidade/medidas/medida_volume.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"
#include "malhas_qualidade/ortogonalizacao/grava_resultados.hpp"
#include "malhas_qualidade/ortogonalizacao/historico_ortogonal.hpp"
#include "malhas_qualidade/ortogonalizacao/relatorio_ortogonal.hpp"
#include "malhas_qualidade/resumo/resumo.hpp"
#include "malhas_qualidade/resumo/verificacao.hpp"
#include "processamento/nomes_resultado.hpp"
#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/sistema.hpp"

#ifndef MALHAS_VERSAO
#define MALHAS_VERSAO "unknown"
#endif

namespace malhas_qualidade {

namespace {

using caminhos::junta;
namespace orto = ortogonalizacao;

// --max-iteracoes by default: far more than a mesh of a million volumes
// needs, few enough to end a run that cannot settle.
constexpr std::int64_t max_iteracoes_padrao = 20000;

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

// What a run reads, computes and writes, step by step.
struct execucao {
    execucao(const opcoes& opcoes_dadas, std::FILE* s, std::FILE* e) : o(opcoes_dadas), saida(s), erro(e) {}
    const opcoes& o;
    std::FILE* saida;
    std::FILE* erro;
    std::string nome_entradas, nome_parametros, nome_caso, relatorio, volumes;
    caso c;
    bool caso_lido = false;
    malha_lida m;
    medidas_malha med;
    figuras_checkmesh figuras;
    parametros par;
    residuo_malha r;
    bool com_residuo = false;
    dados_resumo d;
    // --ortogonaliza: what was asked, what came of it, how it settled
    // (--historico), and the files --grava writes.
    orto::pedido pedido_orto;
    orto::resultado orto_feita;
    std::unique_ptr<orto::historico_convergencia> convergencia;
    std::vector<std::string> gravados;
};

// The case file names the case and says whether it was smoothed; with
// --caso it is only consulted when it is there.
void le_caso_da_pasta(execucao& x) {
    const opcoes& o = x.o;
    x.nome_entradas = junta(o.pasta, processamento::nome_entradas);
    x.nome_parametros = junta(o.pasta, processamento::nome_eq_elipticas);
    if (!sistema::e_pasta(o.pasta)) falha(o.pasta, 0, "not a folder");
    if (o.caso.empty() || existe(x.nome_entradas)) {
        x.c = le_caso(x.nome_entradas);
        x.caso_lido = true;
    }
    // The history re-runs the case files: without them, or for a mesh that
    // is not smoothed, there is nothing to re-run, and that is said first.
    if (!o.historico.empty() && !o.ortogonaliza) {
        if (!x.caso_lido) x.c = le_caso(x.nome_entradas);
        x.caso_lido = true;
        if (x.c.tipo_malha != 2)
            falha(x.nome_entradas, 0,
                  "mesh kind " + std::to_string(x.c.tipo_malha) +
                      ": only mesh kind 2 is smoothed, so there is no history to record (--historico)");
    }
    // The solver-grade mesh is made from the case file's sizes.
    if (o.ortogonaliza && !x.caso_lido) {
        x.c = le_caso(x.nome_entradas);
        x.caso_lido = true;
    }
    x.nome_caso = o.caso.empty() ? x.c.nome_caso : o.caso;
    x.relatorio = junta(o.pasta, processamento::nome_relatorio(x.nome_caso));
    x.volumes = junta(o.pasta, processamento::nome_volumes(x.nome_caso));
}

// An export must not destroy one of the case's files, and must replace
// nothing but a regular file: both are settled before anything is read or
// written.
void confere_saidas(execucao& x) {
    const opcoes& o = x.o;
    const std::string malha = junta(o.pasta, processamento::nome_malha);
    const std::string* protegidos[] = {&x.relatorio, &x.volumes, &x.nome_entradas, &x.nome_parametros,
                                       &malha};
    for (const auto& [opcao, nome] : saidas_de(o)) {
        for (const std::string* e : protegidos)
            if (caminhos::mesmo_arquivo(*nome, *e))
                falha_uso(std::string(opcao) + " " + *nome + " would overwrite the case's file " + *e);
        if (!o.openfoam.empty() && openfoam_alcanca(o.openfoam, *nome))
            falha_uso(std::string(opcao) + " " + *nome + " would be replaced or removed by --openfoam " +
                      o.openfoam);
        confere_destino(*nome);
    }
    if (!o.grava.empty()) {
        if (caminhos::mesmo_arquivo(o.grava, o.pasta))
            falha_uso("--grava " + o.grava + " is the case's own folder: its result files would be replaced");
        x.gravados = orto::arquivos_gravados(o.grava, x.nome_caso);
        for (const std::string& g : x.gravados) {
            for (const auto& [opcao, nome] : saidas_de(o))
                if (caminhos::mesmo_arquivo(*nome, g))
                    falha_uso(std::string(opcao) + " " + *nome + " would be one of the files --grava writes");
            if (!o.openfoam.empty() && openfoam_alcanca(o.openfoam, g))
                falha_uso("--grava " + o.grava + " lies where --openfoam " + o.openfoam + " replaces files");
            confere_destino(g);
        }
    }
    if (o.openfoam.empty()) return;
    for (const std::string* e : protegidos)
        if (dentro_do_polymesh(o.openfoam, *e))
            falha_uso("--openfoam " + o.openfoam + " would remove the case's file " + *e +
                      " with the constant/polyMesh it replaces");
    confere_destino_openfoam(o.openfoam);
}

// The solver-grade mesh, from the case file's sizes; with --historico, how
// it settled recorded as it goes.
void faz_malha_ortogonal(execucao& x) {
    const opcoes& o = x.o;
    orto::pedido& p = x.pedido_orto;
    p.nvol_ksi = x.c.nvol_ksi;
    p.nvol_eta = x.c.nvol_eta;
    p.gradua = o.gradua;
    p.tolerancia = o.tolerancia != 0.0 ? o.tolerancia : fracao_visivel;
    p.max_iteracoes = o.max_iteracoes != 0 ? o.max_iteracoes : max_iteracoes_padrao;
    if (!o.historico.empty()) {
        x.convergencia = std::make_unique<orto::historico_convergencia>(o.historico);
        p.observa = orto::historico_convergencia::observa;
        p.contexto = x.convergencia.get();
    }
    x.orto_feita = orto::faz_malha_com_progresso(p, x.erro == stderr,
                                                 x.erro == stderr && sistema::erro_padrao_e_terminal());
    x.m = std::move(x.orto_feita.malha);
}

// The mesh of the result files, and a note when the case file asks for
// another since.
void le_malha(execucao& x) {
    if (x.o.ortogonaliza) {
        faz_malha_ortogonal(x);
        return;
    }
    {
        tempo_execucao::alocando nome("the mesh read from the result files");
        le_relatorio(x.relatorio, x.m);
        le_volumes(x.volumes, x.m);
    }
    if (!x.caso_lido || (x.c.nvol_ksi == x.m.nvol_ksi && x.c.nvol_eta == x.m.nvol_eta)) return;
    // The folder's name is the user's bytes: by the one rule for them.
    char tamanhos[160];
    std::snprintf(tamanhos, sizeof tamanhos,
                  " now asks for %d x %d volumes; the result files hold %d x %d (written before the case "
                  "file changed?)\n",
                  x.c.nvol_ksi, x.c.nvol_eta, x.m.nvol_ksi, x.m.nvol_eta);
    escreve_visivel(x.erro, "malhas_qualidade: note: ");
    escreve_visivel(x.erro, x.nome_entradas);
    escreve_visivel(x.erro, tamanhos);
}

// The measures, checkMesh's figures of the mesh --openfoam writes (whether
// or not it is written), and the residual.
void mede(execucao& x) {
    const opcoes& o = x.o;
    {
        tempo_execucao::alocando nome("the quality measures");
        calcula_medidas(x.m, x.med);
    }
    {
        tempo_execucao::alocando nome("checkMesh's figures");
        // The rest of checkMesh -allGeometry's checks cost several times
        // the summary's figures: only --verifica wants them.
        calcula_figuras_checkmesh(extrusao{&x.m, o.espessura, x.med.orientacao}, x.figuras, o.verifica);
    }
    // The residual belongs to the elliptic mesh kind; when the kind is not
    // known (--caso without a case file), the parameter file's presence decides.
    const bool eliptica = x.caso_lido ? x.c.tipo_malha == 2 : existe(x.nome_parametros);
    // The residual is that of the equations without control functions: it
    // does not judge the solver-grade mesh, which reports its own settling.
    x.com_residuo = eliptica && !o.sem_residuo && !o.ortogonaliza;
    if (!o.medida.empty() && procura_medida_volume(o.medida)->precisa_residuo && !x.com_residuo)
        falha_uso("--medida " + o.medida +
                  " needs the residual, which is computed for mesh kind 2 without --sem-residuo");
    if (!x.com_residuo) return;
    if (!existe(x.nome_parametros))
        falha(x.nome_parametros, 0,
              "cannot open: no such file; the residual of mesh kind 2 needs it (--sem-residuo goes without)");
    x.par = le_parametros(x.nome_parametros);
    tempo_execucao::alocando nome("the residual and its work arrays");
    calcula_residuo(x.m, x.par, x.r);
}

// The summary on standard output; its exit status.
int escreve_resumo(execucao& x) {
    dados_resumo& d = x.d;
    d.nome_caso = processamento::base_do_nome(x.nome_caso);
    d.relatorio = x.relatorio;
    d.volumes = x.volumes;
    d.tipo_malha = x.caso_lido && !x.o.ortogonaliza ? x.c.tipo_malha : 0;
    if (x.o.ortogonaliza) {
        d.relatorio = "the solver-grade mesh (--ortogonaliza) of " + x.nome_entradas;
        d.volumes = "not the result files";
    }
    d.malha = &x.m;
    d.medidas = &x.med;
    d.parametros_lidos = x.com_residuo ? &x.par : nullptr;
    d.residuo = x.com_residuo ? &x.r : nullptr;
    d.checkmesh = &x.figuras;
    bool indefinido = false;
    std::string texto = texto_resumo(d, indefinido);
    if (x.o.ortogonaliza)
        texto += orto::texto_ortogonalizacao(x.orto_feita, x.pedido_orto, x.nome_entradas,
                                             orto::mede_fronteira(x.m, x.med));
    if (x.convergencia != nullptr) {
        x.convergencia->conclui(x.pedido_orto, d.nome_caso);
        texto += x.convergencia->texto(x.pedido_orto);
    }
    verificacao v;
    if (x.o.verifica) {
        v = verifica_malha(d);
        texto += texto_verificacao(v);
    }
    escreve_saida(x.saida, texto);
    // A failed verification says more than an undefined figure elsewhere
    // (the residual) or an unsettled solver-grade mesh: 3 takes the place of 4.
    if (x.o.verifica && v.falhou) return status_verificacao;
    return indefinido || (x.o.ortogonaliza && !x.orto_feita.assentada) ? status_indefinido : 0;
}

// The exports, each whole or not at all.
void escreve_exportacoes(execucao& x) {
    const opcoes& o = x.o;
    tempo_execucao::alocando nome("the export buffers");
    const residuo_malha* r = x.com_residuo ? &x.r : nullptr;
    if (!o.csv.empty()) escreve_csv(o.csv, x.m, x.med);
    if (!o.vtk.empty()) escreve_vtk(o.vtk, x.m, x.med, r);
    if (!o.msh.empty()) escreve_msh(o.msh, x.m, o.fronteira);
    if (!o.plot3d.empty()) escreve_plot3d(o.plot3d, x.m);
    if (!o.su2.empty()) escreve_su2(o.su2, x.m, x.med.orientacao, o.fronteira);
    if (!o.openfoam.empty()) {
        const exportacao_openfoam feita =
            escreve_openfoam(o.openfoam, extrusao{&x.m, o.espessura, x.med.orientacao}, o.fronteira);
        // In pieces: the mesh is in place, and nothing from here may fail
        // for want of memory and report as failed what is done.
        for (const std::string& arquivo : feita.sistema) {
            escreve_visivel(x.erro, "malhas_qualidade: note: wrote the missing system file ");
            escreve_visivel(x.erro, arquivo);
            escreve_visivel(x.erro, "\n");
        }
        // An interruption held while the mesh went in stops what is left;
        // with nothing left, the run has done all it was asked.
        if (feita.interrupcao != 0 && (!o.svg.empty() || !o.historico.empty())) {
            std::fflush(x.saida);
            sistema::termina_interrompido(feita.interrupcao);
        }
    }
    if (!o.svg.empty()) {
        const medida_volume& medida = *procura_medida_volume(o.medida.empty() ? nome::assimetria : o.medida);
        std::vector<double> valores;
        medida.valores(fontes_medida{&x.m, &x.med, r}, valores);
        escreve_svg_malha(o.svg, x.d.nome_caso, x.m, medida, valores);
    }
    if (!o.grava.empty()) {
        const std::string caso_escrito = orto::grava_resultados(o.grava, x.nome_caso, x.m);
        escreve_visivel(x.erro, "malhas_qualidade: note: --grava wrote " + x.gravados[0] + ", " +
                                    x.gravados[1] + " and " + x.gravados[2] +
                                    (caso_escrito.empty() ? "" : ", and the case file " + caso_escrito) +
                                    "\n");
    }
}

// The history: its part of the summary; its exit status, which wins.
int escreve_historico(execucao& x, int status) {
    const opcoes& o = x.o;
    pedido_historico p;
    p.entradas = x.nome_entradas;
    p.parametros = x.nome_parametros;
    p.relatorio = x.relatorio;
    p.nvol_ksi_relatorio = x.m.nvol_ksi;
    p.nvol_eta_relatorio = x.m.nvol_eta;
    p.nome_caso = x.d.nome_caso;
    p.saidas = o.historico;
    p.tolerancia = o.tolerancia != 0.0 ? o.tolerancia : fracao_visivel;
    p.progresso = x.erro == stderr;
    p.terminal = p.progresso && sistema::erro_padrao_e_terminal();
    // The re-run takes the memory of a run: what the summary held goes
    // first, but for the coordinates, which every record is measured from.
    p.final_x = std::move(x.m.x);
    p.final_y = std::move(x.m.y);
    x.m = malha_lida();
    x.med = medidas_malha();
    x.r = residuo_malha();
    x.figuras = figuras_checkmesh();
    // The summary stands on the terminal before the progress line starts.
    if (std::fflush(x.saida) != 0)
        falha("", 0, "standard output: cannot write: " + sistema::descricao_erro(errno));
    const historico h = executa_historico(p);
    escreve_saida(x.saida, h.texto);
    return h.status != 0 ? h.status : status;
}

int executa_opcoes(const opcoes& o, std::FILE* saida, std::FILE* erro) {
    execucao x(o, saida, erro);
    le_caso_da_pasta(x);
    confere_saidas(x);
    le_malha(x);
    mede(x);
    const int status = escreve_resumo(x);
    escreve_exportacoes(x);
    if (o.historico.empty() || o.ortogonaliza) return status;
    return escreve_historico(x, status);
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
