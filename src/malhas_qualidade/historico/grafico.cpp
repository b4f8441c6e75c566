#include "malhas_qualidade/historico/grafico.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/figuras/svg.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"

namespace malhas_qualidade {

namespace {

constexpr double largura = 960, altura = 600;
constexpr double me = 90, md = 100, mt = 74, mb = 120;  // margins
constexpr double pw = largura - me - md, ph = altura - mt - mb;

// The most decades the log axis spans: below that, rounding noise.
constexpr double decadas_maximas = 18;

struct serie {
    const char* rotulo;
    const char* cor;
    const char* traco;  // stroke-dasharray, or ""
    double espessura;
    bool logaritmica;  // left axis; else the right one, 0 to 1
    double (*valor)(const registro_historico& l);
};

double rms_relativo(const registro_historico& l) {
    return l.menor_aresta > 0.0 ? std::max(l.residuo_x_rms, l.residuo_y_rms) / l.menor_aresta
                                : std::numeric_limits<double>::quiet_NaN();
}

const serie series[] = {
    {"distance from the final mesh / shortest edge", "#008000", "", 2.0, true,
     [](const registro_historico& l) { return l.distancia_final; }},
    {"largest move / shortest edge", "#000000", "", 2.0, true,
     [](const registro_historico& l) { return l.movimento_relativo; }},
    {"RMS move / shortest edge", "#606060", "5,3", 1.3, true, rms_relativo},
    {"scaled_jacobian min", "#1f5fbf", "", 1.5, false,
     [](const registro_historico& l) { return l.jacobiano_minimo; }},
    {"skew max", "#d95f02", "", 1.5, false, [](const registro_historico& l) { return l.assimetria_maxima; }},
    {"non_orthogonality max / 90 degrees", "#7b3294", "", 1.5, false,
     [](const registro_historico& l) { return l.nao_ortogonalidade_maxima / 90.0; }},
};

// The plot's axes: the iterations, a log axis on the left over whole
// decades around every positive value and the tolerance, and on the right
// the extremes' own range, in tenths, so that their changes show.
struct eixos {
    double kmax = 1.0;
    double baixo = 0.0, alto = 1.0;      // decades of the log axis
    double q_baixo = 0.0, q_alto = 1.0;  // the right axis

    eixos(const std::vector<registro_historico>& g, double tolerancia) {
        kmax = std::max<double>(1.0, g.empty() ? 1.0 : static_cast<double>(g.back().k));
        double menor = tolerancia, maior = tolerancia;
        double q_menor = 1.0, q_maior = 0.0;
        for (const registro_historico& l : g)
            for (const serie& s : series) {
                const double x = s.valor(l);
                if (s.logaritmica && x > 0.0 && std::isfinite(x)) {
                    menor = std::min(menor, x);
                    maior = std::max(maior, x);
                } else if (!s.logaritmica && std::isfinite(x)) {
                    q_menor = std::min(q_menor, x);
                    q_maior = std::max(q_maior, x);
                }
            }
        alto = std::ceil(std::log10(maior)), baixo = std::floor(std::log10(menor));
        if (alto <= baixo) alto = baixo + 1;
        baixo = std::max(baixo, alto - decadas_maximas);
        q_baixo = std::max(0.0, std::floor(q_menor * 10.0) / 10.0);
        q_alto = std::min(1.0, std::ceil(q_maior * 10.0) / 10.0);
        if (!(q_alto > q_baixo)) {
            q_baixo = 0.0;
            q_alto = 1.0;
        }
    }
    double X(double k) const { return me + k / kmax * pw; }
    // Zero and values below the axis are drawn on its floor.
    double Y_log(double x) const {
        const double d = x > 0.0 ? std::clamp(std::log10(x), baixo, alto) : baixo;
        return mt + (alto - d) / (alto - baixo) * ph;
    }
    double Y_lin(double x) const {
        return mt + (q_alto - std::clamp(x, q_baixo, q_alto)) / (q_alto - q_baixo) * ph;
    }
};

// The title and what the plot shows.
std::string titulo_grafico(const historico& h, const pedido_historico& p) {
    const std::string titulo = p.nome_caso + ": history of the smoothing (niter " +
                               std::to_string(h.par.niter) + ", niter_solver " +
                               std::to_string(h.par.niter_solver) + ")";
    std::string t = svg::inicio(largura, altura, titulo);
    t += "<text x=\"" + svg::num(me) + "\" y=\"26\" font-size=\"16\" font-weight=\"bold\">" +
         svg::texto(titulo) + "</text>\n";
    std::string sub = "after each outer iteration k, the mesh as its report file would hold it";
    if (h.passo_grafico > 1)
        sub += "; each step of " + std::to_string(h.passo_grafico) +
               " iterations drawn by its least and greatest";
    if (h.ponto_fixo >= 0 && h.ponto_fixo < h.par.niter)
        sub += "; nothing moves after k = " + std::to_string(h.ponto_fixo);
    t += "<text x=\"" + svg::num(me) + "\" y=\"46\">" + svg::texto(sub) + "</text>\n";

    return t;
}

// The frame, the grid of decades, the axes' marks and titles.
void acrescenta_quadro(std::string& t, const eixos& ax) {
    // Frame, grid of decades, axes' marks.
    t += "<rect x=\"" + svg::num(me) + "\" y=\"" + svg::num(mt) + "\" width=\"" + svg::num(pw) +
         "\" height=\"" + svg::num(ph) + "\" fill=\"none\" stroke=\"black\"/>\n<g font-size=\"12\">\n";
    const int passo_decadas = ax.alto - ax.baixo > 10 ? 2 : 1;
    for (double d = ax.baixo; d <= ax.alto; d += passo_decadas) {
        const double yy = mt + (ax.alto - d) / (ax.alto - ax.baixo) * ph;
        t += "<line x1=\"" + svg::num(me) + "\" y1=\"" + svg::num(yy) + "\" x2=\"" + svg::num(me + pw) +
             "\" y2=\"" + svg::num(yy) + "\" stroke=\"#e0e0e0\"/>\n<text x=\"" + svg::num(me - 8) +
             "\" y=\"" + svg::num(yy + 4) + "\" text-anchor=\"end\">1e" +
             std::to_string(static_cast<int>(d)) + "</text>\n";
    }
    for (double f : svg::marcas(ax.q_baixo, ax.q_alto, 5)) {
        const double yy = ax.Y_lin(f);
        t += "<line x1=\"" + svg::num(me + pw) + "\" y1=\"" + svg::num(yy) + "\" x2=\"" +
             svg::num(me + pw + 5) + "\" y2=\"" + svg::num(yy) + "\" stroke=\"black\"/>\n<text x=\"" +
             svg::num(me + pw + 8) + "\" y=\"" + svg::num(yy + 4) + "\">" + svg::rotulo(f) + "</text>\n";
    }
    for (double k : svg::marcas(0.0, ax.kmax, 8)) {
        if (k != std::floor(k)) continue;
        const double xx = ax.X(k);
        t += "<line x1=\"" + svg::num(xx) + "\" y1=\"" + svg::num(mt + ph) + "\" x2=\"" + svg::num(xx) +
             "\" y2=\"" + svg::num(mt + ph + 5) + "\" stroke=\"black\"/>\n<text x=\"" + svg::num(xx) +
             "\" y=\"" + svg::num(mt + ph + 19) + "\" text-anchor=\"middle\">" + svg::rotulo(k) + "</text>\n";
    }
    t += "<text x=\"" + svg::num(me + pw / 2) + "\" y=\"" + svg::num(mt + ph + 40) +
         "\" text-anchor=\"middle\" font-size=\"14\">outer iteration k</text>\n";
    t += "<text transform=\"translate(" + svg::num(24) + "," + svg::num(mt + ph / 2) +
         ") rotate(-90)\" text-anchor=\"middle\" font-size=\"14\">over the shortest edge (log)</text>\n";
    t += "<text transform=\"translate(" + svg::num(largura - 24) + "," + svg::num(mt + ph / 2) +
         ") rotate(90)\" text-anchor=\"middle\" font-size=\"14\">quality extremes</text>\n</g>\n";
}

// The tolerance, and the recommended count or how many more are needed.
void acrescenta_recomendacao(std::string& t, const historico& h, const pedido_historico& p, const eixos& ax) {
    // The tolerance and the recommended count.
    const double yt = ax.Y_log(p.tolerancia);
    t += "<line id=\"tolerancia\" x1=\"" + svg::num(me) + "\" y1=\"" + svg::num(yt) + "\" x2=\"" +
         svg::num(me + pw) + "\" y2=\"" + svg::num(yt) +
         "\" stroke=\"#d00000\" stroke-dasharray=\"8,4\"/>\n<text x=\"" + svg::num(me + pw - 6) + "\" y=\"" +
         svg::num(yt - 6) + "\" text-anchor=\"end\" fill=\"#d00000\">tolerance " + svg::rotulo(p.tolerancia) +
         "</text>\n";
    const estimativa_contracao& e = h.contracao;
    if (e.c == estimativa_contracao::caso::estimada && !(e.restante < p.tolerancia)) {
        const std::int64_t niter = std::max<std::int64_t>(h.par.niter, h.ultima.k);
        t += "<text x=\"" + svg::num(me + 8) + "\" y=\"" + svg::num(mt + 16) +
             "\" fill=\"#d00000\" font-weight=\"bold\">" +
             (e.mais < 0 ? std::string("more outer iterations are needed")
                         : "more outer iterations are needed, about " + std::to_string(e.mais) +
                               " (niter = " + std::to_string(niter + e.mais) + ")") +
             "</text>\n";
    } else if (h.recomendado >= 0) {
        const double xr = ax.X(static_cast<double>(h.recomendado));
        t += "<line id=\"recomendado\" x1=\"" + svg::num(xr) + "\" y1=\"" + svg::num(mt) + "\" x2=\"" +
             svg::num(xr) + "\" y2=\"" + svg::num(mt + ph) +
             "\" stroke=\"#008000\" stroke-width=\"2\"/>\n<text x=\"" + svg::num(xr + 6) + "\" y=\"" +
             svg::num(mt + 16) +
             "\" fill=\"#008000\" font-weight=\"bold\">niter = " + std::to_string(h.recomendado) +
             " would do</text>\n";
    } else {
        t += "<text x=\"" + svg::num(me + 8) + "\" y=\"" + svg::num(mt + 16) +
             "\" fill=\"#d00000\" font-weight=\"bold\">no recommendation</text>\n";
    }
}

// The series, a polyline each, broken where a record has no value, and
// the legend under the plot.
void acrescenta_series(std::string& t, const std::vector<registro_historico>& g, const eixos& ax) {
    // The series, a polyline each, broken where a row has no value.
    t += "<g fill=\"none\" stroke-linejoin=\"round\">\n";
    for (const serie& se : series) {
        std::string pontos;
        auto fecha = [&] {
            if (pontos.find(' ') != std::string::npos)
                t += std::string("<polyline stroke=\"") + se.cor + "\" stroke-width=\"" +
                     svg::rotulo(se.espessura) + "\"" +
                     (*se.traco ? std::string(" stroke-dasharray=\"") + se.traco + "\"" : "") + " points=\"" +
                     pontos + "\"/>\n";
            else if (!pontos.empty())
                t += std::string("<circle r=\"2\" fill=\"") + se.cor + "\" cx=\"" +
                     pontos.substr(0, pontos.find(',')) + "\" cy=\"" + pontos.substr(pontos.find(',') + 1) +
                     "\"/>\n";
            pontos.clear();
        };
        for (const registro_historico& l : g) {
            const double x = se.valor(l);
            if (std::isnan(x)) {
                fecha();
                continue;
            }
            if (!pontos.empty()) pontos += ' ';
            pontos += svg::num(ax.X(static_cast<double>(l.k))) + "," +
                      svg::num(se.logaritmica ? ax.Y_log(x) : ax.Y_lin(x));
        }
        fecha();
    }
    t += "</g>\n";

    // The legend, under the plot.
    double lx = me, ly = mt + ph + 66;
    for (const serie& se : series) {
        t += "<line x1=\"" + svg::num(lx) + "\" y1=\"" + svg::num(ly - 4) + "\" x2=\"" + svg::num(lx + 26) +
             "\" y2=\"" + svg::num(ly - 4) + "\" stroke=\"" + se.cor + "\" stroke-width=\"" +
             svg::rotulo(se.espessura) + "\"" +
             (*se.traco ? std::string(" stroke-dasharray=\"") + se.traco + "\"" : "") + "/>\n<text x=\"" +
             svg::num(lx + 32) + "\" y=\"" + svg::num(ly) + "\">" + svg::texto(se.rotulo) + " (" +
             (se.logaritmica ? "left" : "right") + ")</text>\n";
        lx += 390;
        if (lx > me + pw - 300) {
            lx = me;
            ly += 20;
        }
    }
}

}  // namespace

void escreve_svg_historico(const std::string& nome, const historico& h, const pedido_historico& p) {
    const eixos ax(h.grafico, p.tolerancia);
    saida_atomica s;
    abre_saida(s, nome);
    std::string t = titulo_grafico(h, p);
    acrescenta_quadro(t, ax);
    acrescenta_recomendacao(t, h, p, ax);
    acrescenta_series(t, h.grafico, ax);
    t += svg::fim;
    escreve(s, t);
    conclui_saida(s);
}

}  // namespace malhas_qualidade
