#include "malhas_qualidade/ortogonalizacao/historico_ortogonal.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/numeros.hpp"
#include "malhas_qualidade/figuras/svg.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/resumo/resumo.hpp"
#include "tempo_execucao/alocacao.hpp"

namespace malhas_qualidade::ortogonalizacao {

namespace {

constexpr double infinito = std::numeric_limits<double>::infinity();

// The quality extremes of the mesh as the summary takes them: finite values
// only.
void extremos(const malha_lida& m, registro_convergencia& l) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta;
    const double* x = m.x.data();
    const double* y = m.y.data();
    l.jacobiano_minimo = infinito;
    l.assimetria_maxima = l.nao_ortogonalidade_maxima = -infinito;
    for (std::int64_t j = 1; j <= ne - 1; ++j)
        for (std::int64_t i = 1; i <= nk - 1; ++i) {
            const auto c = cantos(m, vertice(m, i, j));
            const double px[4] = {x[c[0]], x[c[1]], x[c[2]], x[c[3]]};
            const double py[4] = {y[c[0]], y[c[1]], y[c[2]], y[c[3]]};
            const medidas_quadrilatero q = mede_quadrilatero(px, py, false);
            if (std::isfinite(q.jacobiano_escalado))
                l.jacobiano_minimo = std::min(l.jacobiano_minimo, q.jacobiano_escalado);
            if (std::isfinite(q.assimetria))
                l.assimetria_maxima = std::max(l.assimetria_maxima, q.assimetria);
        }
    for (std::int64_t j = 2; j <= ne - 1; ++j)
        for (std::int64_t e = vertice(m, 2, j); e <= vertice(m, nk - 1, j); ++e) {
            const double n = nao_ortogonalidade(x[e + 1], y[e + 1], x[e - 1], y[e - 1], x[e + nk], y[e + nk],
                                                x[e - nk], y[e - nk]);
            if (std::isfinite(n)) l.nao_ortogonalidade_maxima = std::max(l.nao_ortogonalidade_maxima, n);
        }
}

void escreve_registro(saida_atomica& s, const registro_convergencia& l) {
    char* const inicio = reserva(s, 512);
    char* q = escreve_inteiro(inicio, l.nivel);
    for (const std::int64_t v : {std::int64_t{l.nvol_ksi}, std::int64_t{l.nvol_eta}, l.k}) {
        *q++ = ',';
        q = escreve_inteiro(q, v);
    }
    for (const double v : {l.movimento, l.menor_aresta, l.relativo, l.jacobiano_minimo, l.assimetria_maxima,
                           l.nao_ortogonalidade_maxima}) {
        *q++ = ',';
        q = escreve_real(q, v);
    }
    *q++ = '\r';
    *q++ = '\n';
    confirma(s, static_cast<std::size_t>(q - inicio));
}

// The plot: the largest move over the shortest edge, on a log scale, against
// the rows in order (the coarser levels first, each in its own shade), the
// tolerance marked.
std::string grafico(const std::vector<registro_convergencia>& registros, const pedido& p,
                    const std::string& nome_caso) {
    constexpr double largura = 820, altura = 440, esq = 80, dir = 30, topo = 50, base = 60;
    const std::string titulo = nome_caso + ": how the solver-grade mesh settled";
    std::string t = svg::inicio(largura, altura, titulo);
    t += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n<text x=\"" + svg::num(largura / 2) +
         "\" y=\"24\" text-anchor=\"middle\" font-size=\"16\">" + svg::texto(titulo) + "</text>\n";
    double menor = p.tolerancia, maior = p.tolerancia;
    for (const registro_convergencia& l : registros)
        if (l.relativo > 0.0 && std::isfinite(l.relativo)) {
            menor = std::min(menor, l.relativo);
            maior = std::max(maior, l.relativo);
        }
    const double a = std::floor(std::log10(menor)), b = std::max(a + 1.0, std::ceil(std::log10(maior)));
    const double n = static_cast<double>(std::max<std::size_t>(registros.size(), 2) - 1);
    auto X = [&](double k) { return esq + (largura - esq - dir) * k / n; };
    auto Y = [&](double v) { return topo + (altura - topo - base) * (b - std::log10(v)) / (b - a); };
    t += "<rect x=\"" + svg::num(esq) + "\" y=\"" + svg::num(topo) + "\" width=\"" +
         svg::num(largura - esq - dir) + "\" height=\"" + svg::num(altura - topo - base) +
         "\" fill=\"none\" stroke=\"black\"/>\n";
    for (double e = a; e <= b; e += 1.0)
        t += "<text x=\"" + svg::num(esq - 6) + "\" y=\"" + svg::num(Y(std::pow(10.0, e)) + 4) +
             "\" text-anchor=\"end\" font-size=\"12\">1e" + svg::rotulo(e) + "</text>\n";
    t += "<text x=\"" + svg::num(largura / 2) + "\" y=\"" + svg::num(altura - 15) +
         "\" text-anchor=\"middle\" font-size=\"13\">outer iterations, level after level (the last is the "
         "mesh asked for)</text>\n<text x=\"18\" y=\"" +
         svg::num(altura / 2) + "\" transform=\"rotate(-90 18 " + svg::num(altura / 2) +
         ")\" text-anchor=\"middle\" font-size=\"13\">largest move / shortest edge</text>\n";
    const double yt = Y(p.tolerancia);
    t += "<line x1=\"" + svg::num(esq) + "\" y1=\"" + svg::num(yt) + "\" x2=\"" + svg::num(largura - dir) +
         "\" y2=\"" + svg::num(yt) + "\" stroke=\"#d00000\" stroke-dasharray=\"6 4\"/>\n<text x=\"" +
         svg::num(largura - dir - 4) + "\" y=\"" + svg::num(yt - 6) +
         "\" text-anchor=\"end\" fill=\"#d00000\" font-size=\"12\">tolerance " + svg::rotulo(p.tolerancia) +
         "</text>\n";
    std::size_t inicio = 0;
    while (inicio < registros.size()) {
        std::size_t fim = inicio;
        while (fim < registros.size() && registros[fim].nivel == registros[inicio].nivel)
            ++fim;
        const bool ultimo = fim == registros.size();
        t += "<polyline fill=\"none\" stroke=\"" + std::string(ultimo ? "#1f4e9e" : "#8a8a8a") +
             "\" stroke-width=\"1.5\" points=\"";
        for (std::size_t r = inicio; r < fim; ++r)
            if (registros[r].relativo > 0.0 && std::isfinite(registros[r].relativo))
                t += svg::num(X(static_cast<double>(r))) + "," + svg::num(Y(registros[r].relativo)) + " ";
        t += "\"/>\n<text x=\"" + svg::num(X(static_cast<double>(inicio)) + 4) + "\" y=\"" +
             svg::num(topo + 16) + "\" font-size=\"11\" fill=\"#444\">" +
             std::to_string(registros[inicio].nvol_ksi) + " x " + std::to_string(registros[inicio].nvol_eta) +
             "</text>\n";
        inicio = fim;
    }
    return t + svg::fim;
}

}  // namespace

historico_convergencia::historico_convergencia(const std::vector<std::string>& saidas) {
    for (const std::string& nome : saidas) {
        if (!caminhos::termina_em(nome, ".csv")) {
            svgs_.push_back(nome);
            continue;
        }
        tempo_execucao::alocando a("the history's table buffers");
        csvs_.push_back(std::make_unique<saida_atomica>());
        abre_saida(*csvs_.back(), nome);
        escreve(*csvs_.back(),
                "level,nvol_ksi,nvol_eta,k,largest_move,shortest_edge,largest_move_per_shortest_edge," +
                    std::string(nome::jacobiano_escalado) + "_min," + nome::assimetria + "_max," +
                    nome::nao_ortogonalidade + "_max\r\n");
    }
}

void historico_convergencia::observa(void* contexto, const iteracao& it) {
    auto& h = *static_cast<historico_convergencia*>(contexto);
    registro_convergencia l;
    l.nivel = it.nivel;
    l.nvol_ksi = it.malha->nvol_ksi;
    l.nvol_eta = it.malha->nvol_eta;
    l.k = it.k;
    l.movimento = it.movimento;
    l.menor_aresta = it.menor_aresta;
    l.relativo = it.relativo;
    extremos(*it.malha, l);
    for (auto& s : h.csvs_)
        escreve_registro(*s, l);
    h.registros_.push_back(l);
}

void historico_convergencia::conclui(const pedido& p, const std::string& nome_caso) {
    for (auto& s : csvs_)
        conclui_saida(*s);
    for (const std::string& nome : svgs_) {
        saida_atomica s;
        abre_saida(s, nome);
        escreve(s, grafico(registros_, p, nome_caso));
        conclui_saida(s);
    }
}

std::string historico_convergencia::texto(const pedido& p) const {
    std::string s = "\nhow it settled (--historico), outer iteration by outer iteration:\n";
    acrescenta(s, "  %5s %11s %9s %12s %15s %9s %17s\n", "level", "volumes", "k", "move/edge",
               nome::jacobiano_escalado, nome::assimetria, nome::nao_ortogonalidade);
    auto curto = [&s](const registro_convergencia& l) {
        acrescenta(s, "  %5d %5d x %-5d %9lld %12.3g %15.4g %9.4g %17.4g\n", l.nivel, l.nvol_ksi, l.nvol_eta,
                   static_cast<long long>(l.k), l.relativo, l.jacobiano_minimo, l.assimetria_maxima,
                   l.nao_ortogonalidade_maxima);
    };
    // Each level's last row; on the last level also its first and every
    // power of ten.
    for (std::size_t r = 0; r < registros_.size(); ++r) {
        const registro_convergencia& l = registros_[r];
        const bool fim_do_nivel = r + 1 == registros_.size() || registros_[r + 1].nivel != l.nivel;
        bool potencia = false;
        for (std::int64_t d = 1; d <= l.k && !potencia; d *= 10)
            potencia = l.k == d;
        if (fim_do_nivel || (l.nivel == registros_.back().nivel && potencia)) curto(l);
    }
    acrescenta(s, "  (the tolerance: %g; every row in the table of --historico FILE.csv)\n", p.tolerancia);
    return s;
}

}  // namespace malhas_qualidade::ortogonalizacao
