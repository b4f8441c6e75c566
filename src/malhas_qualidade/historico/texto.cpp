// The history's part of the summary: the records, the faults the program's
// run would end at, the proof and the recommendation.
#include <algorithm>
#include <cfenv>
#include <cmath>

#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/historico/historico.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/resumo/resumo.hpp"
#include "tempo_execucao/relatorio_erro.hpp"

namespace malhas_qualidade {

namespace {

// The MATH report of the flags: the very one when a single flag is set.
std::string relatorio_fp(int sinalizadas) {
    struct tipo {
        int flag;
        int codigo;
        const char* texto;
    };
    const tipo tipos[] = {{FE_INVALID, tempo_execucao::codigo_fp_invalido, "invalid"},
                          {FE_DIVBYZERO, tempo_execucao::codigo_fp_divisao_zero, "divide by zero"},
                          {FE_OVERFLOW, tempo_execucao::codigo_fp_overflow, "overflow"}};
    std::vector<const tipo*> dados;
    for (const tipo& t : tipos)
        if ((sinalizadas & t.flag) != 0) dados.push_back(&t);
    if (dados.size() == 1)
        return "the report \"run-time error M" + std::to_string(dados[0]->codigo) +
               ": MATH\" (floating-point error: " + dados[0]->texto + ")";
    std::string lista;
    for (const tipo* t : dados)
        lista += std::string(lista.empty() ? "" : " or ") + "M" + std::to_string(t->codigo) + " (" +
                 t->texto + ")";
    return "a MATH report (" + lista + ", whichever comes first)";
}

void registro_curto(std::string& s, const registro_historico& l) {
    acrescenta(s, "  %9lld %10.3g %10.3g %10.3g %10.3g %10.3g %10.3g %15.4g %9.4g %17.4g %9.3f\n",
               static_cast<long long>(l.k), l.movimento_relativo, l.distancia_final, l.residuo_x_max,
               l.residuo_x_rms, l.residuo_y_max, l.residuo_y_rms, l.jacobiano_minimo, l.assimetria_maxima,
               l.nao_ortogonalidade_maxima, l.segundos);
}

// The heading and the records the summary shows.
void acrescenta_tabela(std::string& s, const historico& h, const pedido_historico& p) {
    acrescenta(s,
               "\nhistory of the smoothing, re-run from %s and %s (niter %d, niter_solver %d): %lld rows in "
               "%.3g s\n",
               p.entradas.c_str(), p.parametros.c_str(), h.par.niter, h.par.niter_solver,
               static_cast<long long>(h.registros), h.segundos);
    if (h.registros > 0) {
        acrescenta(s, "  %9s %10s %10s %21s %21s %15s %9s %17s %9s\n", "", "largest", "distance",
                   nome::residuo_x, nome::residuo_y, nome::jacobiano_escalado, nome::assimetria,
                   nome::nao_ortogonalidade, "");
        acrescenta(s, "  %9s %10s %10s %10s %10s %10s %10s %15s %9s %17s %9s\n", "k", "move/edge",
                   "from final", "max", "RMS", "max", "RMS", "min", "max", "max", "seconds");
        for (const registro_historico& l : h.curtas)
            registro_curto(s, l);
        acrescenta(s,
                   "  (rows 0, 1, every %lldth and the last; every row in the table of --historico FILE.csv; "
                   "distance from "
                   "final:\n  the largest distance of a vertex from the report file's, over its shortest "
                   "edge %.6g)\n",
                   static_cast<long long>(h.passo_curtas), h.aresta_final);
    }
}

// Where the program's own run of the case files would end at a fault:
// true when it would, the result files then coming from no such run.
bool acrescenta_falha(std::string& s, const historico& h, const std::string& relatorio) {
    switch (h.falha.etapa) {
        case falha_reexecucao::onde::nenhuma:
            return false;
        case falha_reexecucao::onde::malha_inicial:
            acrescenta(
                s,
                "  the program's own run of these case files ends while it builds the initial mesh, with "
                "%s, and writes no result file: %s does not come from it\n",
                relatorio_fp(h.falha.sinalizadas).c_str(), relatorio.c_str());
            return true;
        case falha_reexecucao::onde::coeficientes:
        case falha_reexecucao::onde::varreduras: {
            std::string onde;
            if (h.falha.etapa == falha_reexecucao::onde::coeficientes) {
                onde = "in the metric terms and coefficients";
                if (h.falha.vertice < 0) onde = "in the metric terms' factors 0.5/dksi and 0.5/deta";
                if (h.falha.vertice > 0)
                    onde += " of " + descreve_vertice(h.falha.vertice, h.tamanhos.nvert_ksi);
            } else {
                onde = "in the sweeps";
                if (h.falha.coordenada != 0)
                    onde += std::string(" (sweep ") + std::to_string(h.falha.varredura) + " of " +
                            h.falha.coordenada + ")";
            }
            acrescenta(
                s,
                "  the program's own run of these case files ends at outer iteration %lld, %s, with %s, and "
                "writes no result file: %s does not come from it; the history stops at iteration %lld\n",
                static_cast<long long>(h.falha.k), onde.c_str(), relatorio_fp(h.falha.sinalizadas).c_str(),
                relatorio.c_str(), static_cast<long long>(h.falha.k - 1));
            return true;
        }
    }
    return false;
}

// An iteration that moved nothing, and the proof: true when the result
// files do not come from this smoothing.
bool acrescenta_prova(std::string& s, const historico& h, const pedido_historico& p) {
    const std::string& relatorio = p.relatorio;
    bool diferem = false;
    if (h.ponto_fixo >= 0 && h.ponto_fixo < h.par.niter)
        acrescenta(
            s,
            "  iteration %lld left every coordinate exactly as it found it: every later one repeats it to "
            "the bit, so the re-run stops there (rows %lld to %d would all be row %lld)\n",
            static_cast<long long>(h.ponto_fixo), static_cast<long long>(h.ponto_fixo + 1), h.par.niter,
            static_cast<long long>(h.ponto_fixo));

    switch (h.resultado_prova) {
        case historico::prova::confere:
            acrescenta(
                s,
                "  proof: the re-run's final coordinates are %s's, all %lld vertices digit for digit: the "
                "result files come from this smoothing\n",
                relatorio.c_str(), static_cast<long long>(h.tamanhos.nvert));
            break;
        case historico::prova::tamanhos:
            acrescenta(
                s,
                "  MISMATCH: the case files make a %d x %d mesh and %s holds %d x %d volumes: the result "
                "files do not come from these case files (another run, or the case file changed since); "
                "the history above is that of the case files as they stand\n",
                h.tamanhos.nvol_ksi, h.tamanhos.nvol_eta, relatorio.c_str(), p.nvol_ksi_relatorio,
                p.nvol_eta_relatorio);
            diferem = true;
            break;
        case historico::prova::vertice:
            acrescenta(
                s,
                "  MISMATCH: the re-run does not give %s: at %s the re-run's %c is %s where the file holds "
                "%s (a file from another run, edited, or parameters changed after the run); the history "
                "above is that of the case files as they stand\n",
                relatorio.c_str(), descreve_vertice(h.vertice_diferente, h.tamanhos.nvert_ksi).c_str(),
                h.coordenada_diferente, h.texto_reexecucao.c_str(), citacao(h.texto_arquivo).c_str());
            diferem = true;
            break;
        case historico::prova::arquivo_curto:
            acrescenta(s, "  MISMATCH: %s ends before vertex %lld (did it change while it was read?)\n",
                       relatorio.c_str(), static_cast<long long>(h.vertice_diferente));
            diferem = true;
            break;
        case historico::prova::nao_feita:
            break;
    }
    return diferem;
}

// The least niter that would do, and where the smoothing goes from there.
void acrescenta_suficiente(std::string& s, const historico& h, const pedido_historico& p,
                           const std::string& taxa) {
    const double t = p.tolerancia;
    const registro_historico& u = h.ultima;
    const estimativa_contracao& e = h.contracao;
    using caso = estimativa_contracao::caso;
    const std::int64_t k = h.recomendado;
    acrescenta(
        s,
        "  recommendation (distance from the final mesh below %g of its shortest edge from then on): niter "
        "= %lld would do",
        t, static_cast<long long>(k));
    if (k > 0)
        acrescenta(s, " (%.3g at iteration %lld, %.3g at %lld)", h.registro_recomendado.distancia_final,
                   static_cast<long long>(k), h.registro_anterior.distancia_final,
                   static_cast<long long>(k - 1));
    s += k >= std::max<std::int64_t>(h.par.niter, u.k) ? "; it is the present count\n" : "\n";
    switch (e.c) {
        case caso::ponto_fixo:
            s += "  where the smoothing goes: the final mesh is there, an iteration having moved nothing\n";
            break;
        case caso::arredondamento:
            acrescenta(
                s,
                "  where the smoothing goes: the final mesh is there; the last iteration moved it by %.3g "
                "of the shortest edge, the rounding of its coordinates\n",
                e.restante);
            break;
        case caso::estimada:
            acrescenta(
                s,
                "  where the smoothing goes: %s, so at the largest of these factors the displacements still "
                "to come add up to about %.3g of the shortest edge, within the tolerance: more iterations "
                "would not move the mesh further than that\n",
                taxa.c_str(), e.restante);
            break;
        case caso::poucas:
            acrescenta(
                s,
                "  where the smoothing goes: not known; the rate at which the displacements fall wants at "
                "least 3 outer iterations (niter %d)\n",
                h.par.niter);
            break;
        case caso::nenhum:
        case caso::nao_contrai:
            break;
    }
}

// The recommendation: the least niter that would do, or how many more
// iterations are needed, or why there is none.
void acrescenta_recomendacao(std::string& s, const historico& h, const pedido_historico& p) {
    const double t = p.tolerancia;
    const registro_historico& u = h.ultima;
    const estimativa_contracao& e = h.contracao;
    using caso = estimativa_contracao::caso;
    if (h.resultado_prova != historico::prova::confere) {
        s += "  recommendation: none; the report file's mesh is not this smoothing's final mesh\n";
        return;
    }
    if (std::isnan(u.distancia_final)) {
        acrescenta(s, "  recommendation: none; the final mesh's shortest edge is %g\n", h.aresta_final);
        return;
    }
    // The rate: "falls by a factor of r per outer iteration over iterations
    // a to b (r1 to r2)".
    std::string taxa;
    acrescenta(taxa,
               "the largest displacement of an outer iteration falls by a factor of %.3g per iteration over "
               "iterations %lld to %lld (%.3g to %.3g)",
               e.taxa, static_cast<long long>(e.de), static_cast<long long>(e.ate), e.taxa_min, e.taxa_max);
    if (e.c == caso::nao_contrai) {
        acrescenta(
            s,
            "  recommendation: none; %s: the iterations do not settle the mesh at this rate, so no count "
            "of them would do\n",
            taxa.c_str());
        return;
    }
    if (e.c == caso::estimada && !(e.restante < t)) {
        const std::int64_t niter = std::max<std::int64_t>(h.par.niter, u.k);
        if (e.mais < 0)
            s += "  recommendation: more outer iterations are needed, too many to count";
        else
            acrescenta(s, "  recommendation: more outer iterations are needed, about %lld (niter = %lld)",
                       static_cast<long long>(e.mais), static_cast<long long>(niter + e.mais));
        acrescenta(
            s,
            ": %s, so at the largest of these factors the displacements still to come add up to about "
            "%.3g of the shortest edge, %.3g times the tolerance %g; the count brings that sum below a "
            "tenth of the tolerance%s\n",
            taxa.c_str(), e.restante, e.restante / t, t,
            e.subindo ? ", but the factor is still rising: the count may fall short, so run --historico "
                        "again with it"
            : e.cedo  ? ", but the iterations so far are fewer than a quarter of it: the count may fall "
                        "short, so run --historico again with it"
                      : "");
        return;
    }

    acrescenta_suficiente(s, h, p, taxa);
}

}  // namespace

std::string texto_historico(const historico& h, const pedido_historico& p, int& status) {
    std::string s;
    acrescenta_tabela(s, h, p);
    if (acrescenta_falha(s, h, p.relatorio)) {
        status = std::max(status, status_nao_reproduz);
        return s;
    }
    if (acrescenta_prova(s, h, p)) status = std::max(status, status_nao_reproduz);
    acrescenta_recomendacao(s, h, p);
    return s;
}

}  // namespace malhas_qualidade
