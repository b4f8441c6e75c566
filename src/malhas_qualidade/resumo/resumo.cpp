#include "malhas_qualidade/resumo/resumo.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>

#include "tempo_execucao/fios.hpp"

namespace malhas_qualidade {

void acrescenta(std::string& s, const char* formato, ...) {
    // Room for the longest line of any summary; a longer one is cut, not lost.
    char linha[1024];
    std::va_list args;
    va_start(args, formato);
    const int n = std::vsnprintf(linha, sizeof linha, formato, args);
    va_end(args);
    if (n > 0) s.append(linha, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof linha - 1));
}

void acrescenta_indefinidos(std::string& s, std::int64_t n, const char* unidades) {
    if (n > 0)
        acrescenta(s, "; undefined at %lld %s (%s)", static_cast<long long>(n), unidades,
                   causa_indefinida_medida);
}

estatistica estatistica_de(const std::vector<double>& v, bool pior_menor) {
    estatistica e;
    double soma = 0.0;
    for (std::size_t k = 1; k < v.size(); ++k) {
        const double x = v[k];
        if (!std::isfinite(x)) {
            if (e.indefinidos++ == 0) e.primeiro_indefinido = static_cast<std::int64_t>(k);
            continue;
        }
        if (e.contados == 0) {
            e.minimo = e.maximo = x;
            e.pior = static_cast<std::int64_t>(k);
        } else {
            if (x < e.minimo) {
                e.minimo = x;
                if (pior_menor) e.pior = static_cast<std::int64_t>(k);
            }
            if (x > e.maximo) {
                e.maximo = x;
                if (!pior_menor) e.pior = static_cast<std::int64_t>(k);
            }
        }
        soma += x;
        ++e.contados;
    }
    if (e.contados > 0) e.media = soma / static_cast<double>(e.contados);
    return e;
}

namespace {

void linha_medida(std::string& s, const char* nome, const estatistica& e, std::int64_t total,
                  const char* unidades, const std::string& onde, const std::string& primeiro_indefinido) {
    if (e.contados == 0) {
        acrescenta(s, "  %-26s %13s %13s %13s   undefined at all %lld %s (%s)\n", nome, "-", "-", "-",
                   static_cast<long long>(total), unidades, causa_indefinida_medida);
        return;
    }
    acrescenta(s, "  %-26s %13.6g %13.6g %13.6g   %s", nome, e.minimo, e.media, e.maximo, onde.c_str());
    if (e.indefinidos > 0)
        acrescenta(s, "; undefined at %lld of %lld %s, the first %s (%s)",
                   static_cast<long long>(e.indefinidos), static_cast<long long>(total), unidades,
                   primeiro_indefinido.c_str(), causa_indefinida_medida);
    s += '\n';
}

std::int64_t conta(const std::vector<double>& v, bool (*condicao)(double)) {
    std::int64_t n = 0;
    for (std::size_t k = 1; k < v.size(); ++k)
        n += condicao(v[k]) ? 1 : 0;
    return n;
}

}  // namespace

namespace {

// Why the residual is undefined at some vertices, most common cause first.
void causas_residuo(std::string& s, const malha_lida& m, const parametros& par, const residuo_malha& r,
                    std::int64_t interiores) {
    if (par.dksi == 0.0 || par.deta == 0.0) {
        acrescenta(s,
                   "  undefined at all %lld interior vertices: %s is 0, so the metric terms divide by zero\n",
                   static_cast<long long>(interiores), par.dksi == 0.0 ? "dksi" : "deta");
        return;
    }
    struct causa {
        std::int64_t n, primeiro;
        const char* texto;
    };
    const causa causas[] = {
        {r.ap_nulo, r.primeiro_ap_nulo,
         "ap is 0: the metric terms underflow to zero (dksi, deta too large for this mesh?)"},
        {r.ap_nao_finito, r.primeiro_ap_nao_finito,
         "ap is not finite: the metric terms overflow (dksi, deta too small for this mesh, or coordinates "
         "too "
         "large?)"},
        {r.movimento_nao_finito, r.primeiro_movimento_nao_finito,
         "the move is not finite: the coefficients or coordinates overflow"}};
    for (const causa& c : causas) {
        if (c.n == 0) continue;
        acrescenta(s, "  undefined at %lld of %lld interior vertices, the first %s: %s\n",
                   static_cast<long long>(c.n), static_cast<long long>(interiores),
                   descreve_vertice(c.primeiro, m.nvert_ksi).c_str(), c.texto);
    }
}

}  // namespace

namespace {

// The measures' table: each measure's extremes and mean, and the worst volume.
void secao_medidas(std::string& s, const malha_lida& m, const medidas_malha& med, bool& indefinido) {
    acrescenta(s, "\n  %-26s %13s %13s %13s   %s\n", "measure (angles in degrees)", "min", "mean", "max",
               "worst");
    struct linha {
        const char* nome;
        const std::vector<double>* valores;
        bool pior_menor;
    };
    const linha linhas[] = {{nome::area, &med.area, true},
                            {nome::razao_aspecto, &med.razao_aspecto, false},
                            {nome::assimetria, &med.assimetria, false},
                            {nome::jacobiano_escalado, &med.jacobiano_escalado, true},
                            {nome::angulo_minimo, &med.angulo_minimo, true},
                            {nome::angulo_maximo, &med.angulo_maximo, false},
                            {nome::crescimento_ksi, &med.crescimento_ksi, false},
                            {nome::crescimento_eta, &med.crescimento_eta, false}};
    // Each measure's figures on a thread of the run, each in its own one
    // pass: the sums keep their order.
    constexpr int n_linhas = sizeof linhas / sizeof linhas[0];
    estatistica es[n_linhas + 1];
    auto calcula = [&](int k) {
        es[k] = k < n_linhas ? estatistica_de(*linhas[k].valores, linhas[k].pior_menor)
                             : estatistica_de(med.nao_ortogonalidade, false);
    };
    const int n =
        m.nvol < (std::int64_t{1} << 16)
            ? 1
            : tempo_execucao::reserva_fios(std::min(tempo_execucao::fios_de_execucao(), n_linhas + 1));
    auto parte = [&](int fio) {
        for (int k = fio; k <= n_linhas; k += n)
            calcula(k);
    };
    if (n < 2)
        parte(0);
    else
        tempo_execucao::em_fios_mascarados(n, parte);
    for (int k = 0; k < n_linhas; ++k) {
        const linha& l = linhas[k];
        const estatistica& e = es[k];
        indefinido = indefinido || e.indefinidos > 0;
        linha_medida(s, l.nome, e, m.nvol, "volumes", descreve_volume(e.pior, m.nvol_ksi),
                     descreve_volume(e.primeiro_indefinido, m.nvol_ksi));
    }
    const std::int64_t interiores = vertices_interiores(m.nvert_ksi, m.nvert_eta);
    if (interiores == 0) {
        acrescenta(s, "  %-26s %13s %13s %13s   (no interior vertex)\n", nome::nao_ortogonalidade, "-", "-",
                   "-");
        return;
    }
    // Boundary vertices hold no value by design: only the interior ones count.
    estatistica no = es[n_linhas];
    const std::int64_t fronteira = m.nvert - interiores;
    no.indefinidos -= fronteira;
    if (no.indefinidos == 0) no.primeiro_indefinido = 0;
    if (no.indefinidos > 0) {
        for (std::int64_t v = 1; v <= m.nvert && no.primeiro_indefinido == 0; ++v) {
            const auto [i, j] = variaveis::indices_vertice(v, m.nvert_ksi);
            const bool interior = i > 1 && i < m.nvert_ksi && j > 1 && j < m.nvert_eta;
            if (interior && !std::isfinite(med.nao_ortogonalidade[static_cast<std::size_t>(v)]))
                no.primeiro_indefinido = v;
        }
    }
    indefinido = indefinido || no.indefinidos > 0;
    linha_medida(s, nome::nao_ortogonalidade, no, interiores, "interior vertices",
                 descreve_vertice(no.pior, m.nvert_ksi),
                 descreve_vertice(no.primeiro_indefinido, m.nvert_ksi));
}

// The counts: inverted volumes, and those beyond the usual thresholds.
void secao_contagens(std::string& s, const malha_lida& m, const medidas_malha& med) {
    std::int64_t invertidos = 0, primeiro = 0;
    for (std::size_t p = 1; p < med.invertido.size(); ++p) {
        if (med.invertido[p] && invertidos++ == 0) primeiro = static_cast<std::int64_t>(p);
    }
    acrescenta(s, "\n  %s volumes:             %lld of %lld", nome::invertido,
               static_cast<long long>(invertidos), static_cast<long long>(m.nvol));
    if (invertidos > 0) acrescenta(s, " (first: %s)", descreve_volume(primeiro, m.nvol_ksi).c_str());
    // A volume whose corners overflow has no orientation to judge.
    const std::int64_t sem_orientacao = conta(med.area, [](double v) { return std::isnan(v); });
    if (sem_orientacao > 0) acrescenta(s, "; undefined at %lld", static_cast<long long>(sem_orientacao));
    acrescenta(s, "\n  volumes with %s > 0.5:      %lld\n", nome::assimetria,
               static_cast<long long>(conta(med.assimetria, [](double v) { return v > 0.5; })));
    acrescenta(s, "  volumes with %s < 0.5: %lld\n", nome::jacobiano_escalado,
               static_cast<long long>(conta(med.jacobiano_escalado, [](double v) { return v < 0.5; })));
    acrescenta(s, "  vertices with %s > 45: %lld of %lld interior\n", nome::nao_ortogonalidade,
               static_cast<long long>(conta(med.nao_ortogonalidade, [](double v) { return v > 45.0; })),
               static_cast<long long>(vertices_interiores(m.nvert_ksi, m.nvert_eta)));
}

// The residual and its verdict.
void secao_residuo(std::string& s, const dados_resumo& d, bool& indefinido) {
    const malha_lida& m = *d.malha;
    const medidas_malha& med = *d.medidas;
    if (d.residuo == nullptr) {
        if (d.tipo_malha != 2)
            s += "\nresidual: not computed (not an elliptic mesh, kind 2)\n";
        else
            s += "\nresidual: not computed\n";
        return;
    }
    const parametros& par = *d.parametros_lidos;
    acrescenta(s,
               "\nresidual of the elliptic equations (niter %d, niter_solver %d, dksi %g, deta %g), the "
               "move one more point update would make:\n",
               par.niter, par.niter_solver, par.dksi, par.deta);
    const std::int64_t interiores = vertices_interiores(m.nvert_ksi, m.nvert_eta);
    if (interiores == 0) {
        s += "  no interior vertex: nothing moves\n";
        return;
    }
    const residuo_malha& r = *d.residuo;
    const resumo_residuo rx = resume_residuo(m, r.x), ry = resume_residuo(m, r.y);
    if (rx.definidos == 0) {
        acrescenta(s, "  %s, %s: undefined at every interior vertex\n", nome::residuo_x, nome::residuo_y);
    } else {
        acrescenta(s, "  %s: max %.6g at %s, RMS %.6g\n", nome::residuo_x, rx.maximo,
                   descreve_vertice(rx.onde, m.nvert_ksi).c_str(), rx.rms);
        acrescenta(s, "  %s: max %.6g at %s, RMS %.6g\n", nome::residuo_y, ry.maximo,
                   descreve_vertice(ry.onde, m.nvert_ksi).c_str(), ry.rms);
    }
    const std::int64_t indefinidos = interiores - rx.definidos;
    if (indefinidos > 0) {
        indefinido = true;
        causas_residuo(s, m, par, r, interiores);
        acrescenta(s, "  no verdict: the residual is undefined at %lld of %lld interior vertices\n",
                   static_cast<long long>(indefinidos), static_cast<long long>(interiores));
        return;
    }
    const double maior = std::max(rx.maximo, ry.maximo);
    if (!(med.menor_aresta > 0.0 && std::isfinite(med.menor_aresta))) {
        // A move is judged against the shortest edge; without one there is no scale.
        indefinido = true;
        acrescenta(s, "  largest move %.3g; no verdict: the shortest edge is %g\n", maior, med.menor_aresta);
        return;
    }
    const double fracao = maior / med.menor_aresta;
    acrescenta(s, "  largest move %.3g = %.3g of the shortest edge (%.6g): %s\n", maior, fracao,
               med.menor_aresta,
               fracao >= fracao_visivel ? "more outer iterations would still move the mesh visibly"
                                        : "settled; more outer iterations would not move the mesh visibly");
}

}  // namespace

std::string texto_resumo(const dados_resumo& d, bool& indefinido) {
    const malha_lida& m = *d.malha;
    const medidas_malha& med = *d.medidas;
    std::string s;
    indefinido = false;
    s += "case " + d.nome_caso + ": " + d.relatorio + ", " + d.volumes + "\n";
    acrescenta(s, "mesh: %d x %d volumes (%lld), %d x %d vertices (%lld)", m.nvol_ksi, m.nvol_eta,
               static_cast<long long>(m.nvol), m.nvert_ksi, m.nvert_eta, static_cast<long long>(m.nvert));
    if (d.tipo_malha != 0) acrescenta(s, ", mesh kind %d", d.tipo_malha);
    acrescenta(s, "; %s\n", med.orientacao > 0 ? "volumes counter-clockwise" : "volumes clockwise");
    secao_medidas(s, m, med, indefinido);
    secao_contagens(s, m, med);
    if (d.checkmesh != nullptr) acrescenta_figuras_checkmesh(s, d, indefinido);
    secao_residuo(s, d, indefinido);
    return s;
}

}  // namespace malhas_qualidade
