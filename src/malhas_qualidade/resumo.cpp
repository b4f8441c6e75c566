#include "malhas_qualidade/resumo.hpp"

#include <cmath>

namespace malhas_qualidade {

estatistica estatistica_de(const std::vector<double>& v, bool pior_menor) {
    estatistica e;
    double soma = 0.0;
    for (std::size_t k = 1; k < v.size(); ++k) {
        const double x = v[k];
        if (std::isnan(x)) continue;
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

std::string posicao_volume(const malha_lida& m, std::int64_t p) {
    if (p == 0) return "-";
    const std::int64_t i = (p - 1) % m.nvol_ksi + 1, j = (p - 1) / m.nvol_ksi + 1;
    return "volume " + std::to_string(p) + " (" + std::to_string(i) + ", " + std::to_string(j) + ")";
}

std::string posicao_vertice(const malha_lida& m, std::int64_t v) {
    if (v == 0) return "-";
    const std::int64_t i = (v - 1) % m.nvert_ksi + 1, j = (v - 1) / m.nvert_ksi + 1;
    return "vertex " + std::to_string(v) + " (" + std::to_string(i) + ", " + std::to_string(j) + ")";
}

void linha_medida(std::FILE* f, const char* nome, const estatistica& e, const std::string& onde) {
    std::fprintf(f, "  %-26s %13.6g %13.6g %13.6g   %s\n", nome, e.minimo, e.media, e.maximo, onde.c_str());
}

std::int64_t conta(const std::vector<double>& v, bool (*condicao)(double)) {
    std::int64_t n = 0;
    for (std::size_t k = 1; k < v.size(); ++k)
        n += condicao(v[k]) ? 1 : 0;
    return n;
}

struct resumo_residuo {
    double maximo = 0.0, rms = 0.0;
    std::int64_t onde = 0, indefinidos = 0, primeiro_indefinido = 0;
};

resumo_residuo resume(const malha_lida& m, const std::vector<double>& r) {
    resumo_residuo s;
    double soma = 0.0;
    std::int64_t n = 0;
    for (std::int64_t j = 2; j < m.nvert_eta; ++j) {
        for (std::int64_t i = 2; i < m.nvert_ksi; ++i) {
            const std::int64_t v = vertice(m, i, j);
            const double x = r[static_cast<std::size_t>(v)];
            if (std::isnan(x)) {
                if (s.indefinidos++ == 0) s.primeiro_indefinido = v;
                continue;
            }
            if (n == 0 || x > s.maximo) {
                s.maximo = x;
                s.onde = v;
            }
            soma += x * x;
            ++n;
        }
    }
    if (n > 0) s.rms = std::sqrt(soma / static_cast<double>(n));
    return s;
}

}  // namespace

void escreve_resumo(std::FILE* f, const dados_resumo& d) {
    const malha_lida& m = *d.malha;
    const medidas_malha& med = *d.medidas;
    std::fprintf(f, "case %s: %s, %s\n", d.nome_caso.c_str(), d.relatorio.c_str(), d.volumes.c_str());
    std::fprintf(f, "mesh: %d x %d volumes (%lld), %d x %d vertices (%lld)", m.nvol_ksi, m.nvol_eta,
                 static_cast<long long>(m.nvol), m.nvert_ksi, m.nvert_eta, static_cast<long long>(m.nvert));
    if (d.tipo_malha != 0) std::fprintf(f, ", mesh kind %d", d.tipo_malha);
    std::fprintf(f, "; %s\n", med.orientacao > 0 ? "volumes counter-clockwise" : "volumes clockwise");
    std::fprintf(f, "\n  %-26s %13s %13s %13s   %s\n", "measure", "min", "mean", "max", "worst");

    struct linha {
        const char* nome;
        const std::vector<double>* valores;
        bool pior_menor;
    };
    const linha linhas[] = {{"area", &med.area, true},
                            {"aspect ratio", &med.razao_aspecto, false},
                            {"skew", &med.assimetria, false},
                            {"scaled Jacobian", &med.jacobiano_escalado, true},
                            {"minimum angle (deg)", &med.angulo_minimo, true},
                            {"maximum angle (deg)", &med.angulo_maximo, false},
                            {"area growth along ksi", &med.crescimento_ksi, false},
                            {"area growth along eta", &med.crescimento_eta, false}};
    for (const linha& l : linhas) {
        const estatistica e = estatistica_de(*l.valores, l.pior_menor);
        linha_medida(f, l.nome, e, posicao_volume(m, e.pior));
    }
    const estatistica no = estatistica_de(med.nao_ortogonalidade, false);
    if (no.contados > 0)
        linha_medida(f, "non-orthogonality (deg)", no, posicao_vertice(m, no.pior));
    else
        std::fprintf(f, "  %-26s %13s %13s %13s   (no interior vertex)\n", "non-orthogonality (deg)", "-",
                     "-", "-");

    std::int64_t invertidos = 0, primeiro = 0;
    for (std::size_t p = 1; p < med.invertido.size(); ++p) {
        if (med.invertido[p] && invertidos++ == 0) primeiro = static_cast<std::int64_t>(p);
    }
    const std::int64_t interiores =
        std::max<std::int64_t>(0, (m.nvert_ksi - 2)) * std::max<std::int64_t>(0, (m.nvert_eta - 2));
    std::fprintf(f, "\n  inverted volumes:             %lld of %lld", static_cast<long long>(invertidos),
                 static_cast<long long>(m.nvol));
    if (invertidos > 0) std::fprintf(f, " (first: %s)", posicao_volume(m, primeiro).c_str());
    std::fprintf(f, "\n  volumes with skew > 0.5:      %lld\n",
                 static_cast<long long>(conta(med.assimetria, [](double v) { return v > 0.5; })));
    std::fprintf(f, "  volumes with scaled Jacobian < 0.5: %lld\n",
                 static_cast<long long>(conta(med.jacobiano_escalado, [](double v) { return v < 0.5; })));
    std::fprintf(f, "  vertices with non-orthogonality > 45 deg: %lld of %lld interior\n",
                 static_cast<long long>(conta(med.nao_ortogonalidade, [](double v) { return v > 45.0; })),
                 static_cast<long long>(interiores));

    if (d.residuo == nullptr) {
        if (d.tipo_malha != 2)
            std::fprintf(f, "\nresidual: not computed (not an elliptic mesh, kind 2)\n");
        else
            std::fprintf(f, "\nresidual: not computed\n");
        return;
    }
    const parametros& par = *d.parametros_lidos;
    std::fprintf(f,
                 "\nresidual of the elliptic equations (niter %d, niter_solver %d, dksi %g, deta %g), the "
                 "move one more point update would make:\n",
                 par.niter, par.niter_solver, par.dksi, par.deta);
    if (interiores == 0) {
        std::fprintf(f, "  no interior vertex: nothing moves\n");
        return;
    }
    const resumo_residuo rx = resume(m, d.residuo->x), ry = resume(m, d.residuo->y);
    std::fprintf(f, "  x: max %.6g at %s, RMS %.6g\n", rx.maximo, posicao_vertice(m, rx.onde).c_str(),
                 rx.rms);
    std::fprintf(f, "  y: max %.6g at %s, RMS %.6g\n", ry.maximo, posicao_vertice(m, ry.onde).c_str(),
                 ry.rms);
    if (rx.indefinidos + ry.indefinidos > 0) {
        std::fprintf(
            f, "  undefined (ap zero or not finite) at %lld vertices, the first %s\n",
            static_cast<long long>(std::max(rx.indefinidos, ry.indefinidos)),
            posicao_vertice(m, rx.indefinidos > 0 ? rx.primeiro_indefinido : ry.primeiro_indefinido).c_str());
    }
    const double maior = std::max(rx.maximo, ry.maximo);
    const double fracao = med.menor_aresta > 0.0 ? maior / med.menor_aresta : INFINITY;
    std::fprintf(f, "  largest move %.3g = %.3g of the shortest edge (%.6g): %s\n", maior, fracao,
                 med.menor_aresta,
                 fracao >= fracao_visivel ? "more outer iterations would still move the mesh visibly"
                                          : "settled; more outer iterations would not move the mesh visibly");
}

}  // namespace malhas_qualidade
