// The mesh as a picture (--svg): every volume filled by the colour of a
// measure, the worst one outlined, axes in x and y, and a colour bar.
#include <algorithm>
#include <cmath>
#include <limits>

#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/figuras/svg.hpp"

namespace malhas_qualidade {

namespace {

constexpr double margem_esquerda = 80, margem_direita = 240, margem_base = 56;
// Room for the title and the line of the worst volume; two lines more when
// the picture says it is drawn by cells.
constexpr double topo_simples = 80, topo_celulas = 112;
constexpr double lado_maximo = 720;
constexpr char cor_indefinida[] = "#a0a0a0";

struct quadro {
    double xmin, ymax, escala, topo;
    double x(double vx) const { return margem_esquerda + (vx - xmin) * escala; }
    double y(double vy) const { return topo + (ymax - vy) * escala; }
};

std::string ponto(const quadro& q, const malha_lida& m, std::int64_t vv) {
    const auto k = static_cast<std::size_t>(vv);
    return svg::num(q.x(m.x[k])) + "," + svg::num(q.y(m.y[k]));
}

// "every", "every 2nd", "every 3rd", "every 11th", ...
std::string cada(std::int64_t n) {
    if (n == 1) return "every";
    const std::int64_t d = n % 10, c = n % 100;
    const char* sufixo = c >= 11 && c <= 13 ? "th" : d == 1 ? "st" : d == 2 ? "nd" : d == 3 ? "rd" : "th";
    return "every " + std::to_string(n) + sufixo;
}

// The volume (or cell) whose value is worst, and the best one: the first of
// each in volume order, as the summary names them.
struct extremos {
    std::int64_t pior = 0, melhor = 0;
    double minimo = 0.0, maximo = 0.0;
    std::int64_t indefinidos = 0;
};

extremos extremos_de(const std::vector<double>& valores, bool pior_menor) {
    extremos e;
    for (std::size_t p = 1; p < valores.size(); ++p) {
        const double x = valores[p];
        if (!std::isfinite(x)) {
            ++e.indefinidos;
            continue;
        }
        const auto pp = static_cast<std::int64_t>(p);
        if (e.pior == 0) {
            e.pior = e.melhor = pp;
            e.minimo = e.maximo = x;
            continue;
        }
        if (x < e.minimo) {
            e.minimo = x;
            (pior_menor ? e.pior : e.melhor) = pp;
        }
        if (x > e.maximo) {
            e.maximo = x;
            (pior_menor ? e.melhor : e.pior) = pp;
        }
    }
    return e;
}

// What every part of the picture is drawn from.
struct desenho {
    const malha_lida& m;
    const medida_volume& medida;
    const std::vector<double>& valores;
    double xmin = 0.0, ymin = 0.0, dx = 1.0, dy = 1.0, w = 0.0, h = 0.0;
    extremos e;
    double faixa = 0.0;
    std::int64_t passo_i = 1, passo_j = 1;  // volumes per cell drawn, in ksi and in eta
    bool blocos = false;
    double margem_topo = topo_simples;
    quadro q{};

    desenho(const malha_lida& malha, const medida_volume& me, const std::vector<double>& v)
        : m(malha), medida(me), valores(v) {
        // The frame: one scale for x and y, so that the mesh keeps its shape.
        double xmax = m.x[1], ymax = m.y[1];
        xmin = m.x[1], ymin = m.y[1];
        for (std::int64_t vv = 1; vv <= m.nvert; ++vv) {
            const auto k = static_cast<std::size_t>(vv);
            xmin = std::min(xmin, m.x[k]);
            xmax = std::max(xmax, m.x[k]);
            ymin = std::min(ymin, m.y[k]);
            ymax = std::max(ymax, m.y[k]);
        }
        dx = xmax - xmin, dy = ymax - ymin;
        if (!(dx > 0.0) || !std::isfinite(dx)) dx = std::isfinite(dy) && dy > 0.0 ? dy : 1.0;
        if (!(dy > 0.0) || !std::isfinite(dy)) dy = dx;
        const double escala = std::min(lado_maximo / dx, lado_maximo / dy);
        w = dx * escala, h = dy * escala;
        e = extremos_de(valores, medida.pior_menor);
        faixa = e.maximo - e.minimo;
        passo_i = (m.nvol_ksi + celulas_maximas_svg - 1) / celulas_maximas_svg;
        passo_j = (m.nvol_eta + celulas_maximas_svg - 1) / celulas_maximas_svg;
        blocos = passo_i > 1 || passo_j > 1;
        margem_topo = blocos ? topo_celulas : topo_simples;
        q = {xmin, ymin + dy, escala, margem_topo};
    }

    // The colour of a value: its position on the scale, 0 best, 1 worst.
    std::string cor_de(double x) const {
        if (!std::isfinite(x)) return cor_indefinida;
        if (!(faixa > 0.0) || !std::isfinite(faixa)) return svg::cor(0.0);
        const double t = (x - e.minimo) / faixa;
        return svg::cor(medida.pior_menor ? 1.0 - t : t);
    }
    std::string onde(std::int64_t p) const { return descreve_volume(p, m.nvol_ksi); }
};

// The title, the worst and best volumes, and how coarsely it is drawn.
void escreve_titulo(saida_atomica& s, const desenho& d, const std::string& nome_caso) {
    const malha_lida& m = d.m;
    const std::string titulo = nome_caso + ": " + d.medida.nome + " of the " + std::to_string(m.nvol) +
                               " volumes (" + std::to_string(m.nvol_ksi) + " x " +
                               std::to_string(m.nvol_eta) + "; " + std::to_string(m.nvert_ksi) + " x " +
                               std::to_string(m.nvert_eta) + " vertices)";
    const double largura = margem_esquerda + std::max(d.w, 320.0) + margem_direita;
    const double altura = d.margem_topo + std::max(d.h, 260.0) + margem_base;
    escreve(s, svg::inicio(largura, altura, titulo));
    escreve(s, "<text x=\"" + svg::num(margem_esquerda) +
                   "\" y=\"24\" font-size=\"16\" font-weight=\"bold\">" + svg::texto(titulo) + "</text>\n");
    std::string linha2;
    if (d.e.pior != 0) {
        linha2 = "worst (outlined in blue): " + d.onde(d.e.pior) + ", " +
                 svg::rotulo(d.valores[static_cast<std::size_t>(d.e.pior)]) +
                 "; best: " + d.onde(d.e.melhor) + ", " +
                 svg::rotulo(d.valores[static_cast<std::size_t>(d.e.melhor)]);
    } else {
        linha2 = "undefined at every volume";
    }
    if (d.e.indefinidos > 0) linha2 += "; undefined (grey) at " + std::to_string(d.e.indefinidos);
    escreve(s, "<text x=\"" + svg::num(margem_esquerda) + "\" y=\"44\">" + svg::texto(linha2) + "</text>\n");
    if (!d.blocos) return;
    const std::string notas[2] = {
        "the grid lines of " + cada(d.passo_i) + " index in ksi and of " + cada(d.passo_j) + " in eta;",
        "each cell coloured by the worst of the up to " + std::to_string(d.passo_i) + " x " +
            std::to_string(d.passo_j) + " volumes in it"};
    for (int k = 0; k < 2; ++k)
        escreve(s, "<text x=\"" + svg::num(margem_esquerda) + "\" y=\"" + svg::num(64 + 18 * k) +
                       "\" font-style=\"italic\">" + svg::texto(notas[k]) + "</text>\n");
}

// The volumes, or the cells of passo_i x passo_j volumes, each coloured by
// the worst of its volumes (undefined when any of them is).
void escreve_volumes(saida_atomica& s, const desenho& d) {
    const malha_lida& m = d.m;
    // Lines of small cells lighter, so that they do not hide the colours.
    escreve(s, "<g stroke=\"#3c3c3c\" stroke-width=\"" + std::string(d.blocos ? "0.3" : "0.5") + "\"" +
                   (d.blocos ? " stroke-opacity=\"0.45\"" : "") + " stroke-linejoin=\"round\">\n");
    std::string t;
    for (std::int64_t j0 = 1; j0 <= m.nvol_eta; j0 += d.passo_j) {
        const std::int64_t j1 = std::min<std::int64_t>(j0 + d.passo_j - 1, m.nvol_eta);
        for (std::int64_t i0 = 1; i0 <= m.nvol_ksi; i0 += d.passo_i) {
            const std::int64_t i1 = std::min<std::int64_t>(i0 + d.passo_i - 1, m.nvol_ksi);
            double valor = std::numeric_limits<double>::quiet_NaN();
            std::int64_t p = 0;
            bool indefinido = false;
            for (std::int64_t j = j0; j <= j1; ++j)
                for (std::int64_t i = i0; i <= i1; ++i) {
                    const std::int64_t pp = volume(m, i, j);
                    const double x = d.valores[static_cast<std::size_t>(pp)];
                    if (!std::isfinite(x))
                        indefinido = true;
                    else if (p == 0 || (d.medida.pior_menor ? x < valor : x > valor)) {
                        valor = x;
                        p = pp;
                    }
                }
            if (indefinido) valor = std::numeric_limits<double>::quiet_NaN();
            // The cell's corners: those of its first volume's, its last's.
            const std::int64_t cantos[4] = {vertice(m, i0, j0), vertice(m, i1 + 1, j0),
                                            vertice(m, i1 + 1, j1 + 1), vertice(m, i0, j1 + 1)};
            t.clear();
            t += "<polygon";
            if (!d.blocos) t += " id=\"v" + std::to_string(volume(m, i0, j0)) + "\"";
            t += " points=\"";
            for (int k = 0; k < 4; ++k) {
                if (k > 0) t += ' ';
                t += ponto(d.q, m, cantos[k]);
            }
            t += "\" fill=\"" + d.cor_de(valor) + "\"><title>";
            if (d.blocos)
                t += "volumes i " + std::to_string(i0) + ".." + std::to_string(i1) + ", j " +
                     std::to_string(j0) + ".." + std::to_string(j1) + ": worst ";
            else
                t += d.onde(volume(m, i0, j0)) + ": ";
            t += std::string(d.medida.nome) + " " + (std::isfinite(valor) ? svg::rotulo(valor) : "undefined");
            t += "</title></polygon>\n";
            escreve(s, t);
        }
    }
    escreve(s, "</g>\n");
}

// The domain's outline, exact even where the cells are drawn coarser, and
// the worst volume outlined.
void escreve_contorno(saida_atomica& s, const desenho& d) {
    const malha_lida& m = d.m;
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta;
    std::string t = "<polygon fill=\"none\" stroke=\"black\" stroke-width=\"1.2\" points=\"";
    auto segue = [&](std::int64_t i, std::int64_t j) { t += ponto(d.q, m, vertice(m, i, j)) + ' '; };
    for (std::int64_t i = 1; i <= nk; ++i)
        segue(i, 1);
    for (std::int64_t j = 2; j <= ne; ++j)
        segue(nk, j);
    for (std::int64_t i = nk - 1; i >= 1; --i)
        segue(i, ne);
    for (std::int64_t j = ne - 1; j >= 2; --j)
        segue(1, j);
    t.back() = '"';
    t += "/>\n";
    escreve(s, t);
    if (d.e.pior == 0) return;

    const std::int64_t p = d.e.pior;
    const variaveis::indices ij = variaveis::indices_volume(p, m.nvol_ksi);
    const auto c = cantos(m, vertice(m, ij.i, ij.j));
    escreve(s, "<polygon id=\"pior\" fill=\"none\" stroke=\"#0040ff\" stroke-width=\"2.5\" points=\"" +
                   ponto(d.q, m, c[0]) + " " + ponto(d.q, m, c[1]) + " " + ponto(d.q, m, c[2]) + " " +
                   ponto(d.q, m, c[3]) + "\"><title>worst: " + d.onde(p) + "</title></polygon>\n");
    // A volume a few pixels wide gets a ring round it, to be found at all.
    const auto b = static_cast<std::size_t>(c[0]);
    double x0 = d.q.x(m.x[b]), x1 = x0, y0 = d.q.y(m.y[b]), y1 = y0, cx = 0.0, cy = 0.0;
    for (std::int64_t k : c) {
        const double px = d.q.x(m.x[static_cast<std::size_t>(k)]),
                     py = d.q.y(m.y[static_cast<std::size_t>(k)]);
        x0 = std::min(x0, px);
        x1 = std::max(x1, px);
        y0 = std::min(y0, py);
        y1 = std::max(y1, py);
        cx += px / 4;
        cy += py / 4;
    }
    if (std::max(x1 - x0, y1 - y0) < 8.0)
        escreve(s, "<circle cx=\"" + svg::num(cx) + "\" cy=\"" + svg::num(cy) +
                       "\" r=\"9\" fill=\"none\" stroke=\"#0040ff\" stroke-width=\"2.5\"/>\n");
}

// Axes in x and y, beside the frame.
void escreve_eixos(saida_atomica& s, const desenho& d) {
    const double base = d.margem_topo + d.h + 8, esquerda = margem_esquerda - 8;
    std::string t = "<g stroke=\"black\" stroke-width=\"1\" fill=\"none\">\n<line x1=\"" +
                    svg::num(margem_esquerda) + "\" y1=\"" + svg::num(base) + "\" x2=\"" +
                    svg::num(margem_esquerda + d.w) + "\" y2=\"" + svg::num(base) + "\"/>\n<line x1=\"" +
                    svg::num(esquerda) + "\" y1=\"" + svg::num(d.margem_topo) + "\" x2=\"" +
                    svg::num(esquerda) + "\" y2=\"" + svg::num(d.margem_topo + d.h) + "\"/>\n";
    std::string rotulos = "<g font-size=\"12\">\n";
    const int alvo_x = std::max(2, static_cast<int>(d.w / 90)),
              alvo_y = std::max(2, static_cast<int>(d.h / 60));
    for (double vx : svg::marcas(d.xmin, d.xmin + d.dx, alvo_x)) {
        const std::string px = svg::num(d.q.x(vx));
        t += "<line x1=\"" + px + "\" y1=\"" + svg::num(base) + "\" x2=\"" + px + "\" y2=\"" +
             svg::num(base + 5) + "\"/>\n";
        rotulos += "<text x=\"" + px + "\" y=\"" + svg::num(base + 19) + "\" text-anchor=\"middle\">" +
                   svg::rotulo(vx) + "</text>\n";
    }
    for (double vy : svg::marcas(d.ymin, d.ymin + d.dy, alvo_y)) {
        const std::string py = svg::num(d.q.y(vy));
        t += "<line x1=\"" + svg::num(esquerda - 5) + "\" y1=\"" + py + "\" x2=\"" + svg::num(esquerda) +
             "\" y2=\"" + py + "\"/>\n";
        rotulos += "<text x=\"" + svg::num(esquerda - 8) + "\" y=\"" + svg::num(d.q.y(vy) + 4) +
                   "\" text-anchor=\"end\">" + svg::rotulo(vy) + "</text>\n";
    }
    rotulos += "<text x=\"" + svg::num(margem_esquerda + d.w / 2) + "\" y=\"" + svg::num(base + 38) +
               "\" text-anchor=\"middle\" font-size=\"14\">x</text>\n<text x=\"" + svg::num(esquerda - 52) +
               "\" y=\"" + svg::num(d.margem_topo + d.h / 2) +
               "\" text-anchor=\"middle\" font-size=\"14\">y</text>\n";
    escreve(s, t + "</g>\n" + rotulos + "</g>\n");
}

// The colour bar: the measure's range from bottom to top, the best end pale
// and the worst dark.
void escreve_barra(saida_atomica& s, const desenho& d) {
    const medida_volume& medida = d.medida;
    const double faixa = d.faixa;
    const double bx = margem_esquerda + std::max(d.w, 320.0) + 36, bw = 22;
    const double by = d.margem_topo, bh = std::max(std::min(d.h, 400.0), 200.0);
    std::string t = "<defs><linearGradient id=\"escala\" x1=\"0\" y1=\"1\" x2=\"0\" y2=\"0\">\n";
    for (int k = 0; k < svg::n_paradas; ++k) {
        const double f = static_cast<double>(k) / (svg::n_paradas - 1);
        const double c = !(faixa > 0.0) ? 0.0 : medida.pior_menor ? 1.0 - f : f;
        t += "<stop offset=\"" + svg::rotulo(f) + "\" stop-color=\"" + svg::cor(c) + "\"/>\n";
    }
    t += "</linearGradient></defs>\n<rect id=\"barra\" x=\"" + svg::num(bx) + "\" y=\"" + svg::num(by) +
         "\" width=\"" + svg::num(bw) + "\" height=\"" + svg::num(bh) +
         "\" fill=\"url(#escala)\" stroke=\"black\"/>\n";
    t += "<text x=\"" + svg::num(bx) + "\" y=\"" + svg::num(by - (*medida.unidade != '\0' ? 26 : 10)) +
         "\" font-weight=\"bold\">" + svg::texto(medida.nome) + "</text>\n";
    if (*medida.unidade != '\0')
        t += "<text x=\"" + svg::num(bx) + "\" y=\"" + svg::num(by - 10) + "\">(" +
             svg::texto(medida.unidade) + ")</text>\n";
    if (d.e.pior != 0) {
        std::vector<double> ms = svg::marcas(d.e.minimo, d.e.maximo, 6);
        if (!(faixa > 0.0)) ms = {d.e.minimo};
        for (double x : ms) {
            const double f = faixa > 0.0 ? (x - d.e.minimo) / faixa : 0.5;
            const double yy = by + bh * (1.0 - f);
            t += "<line x1=\"" + svg::num(bx + bw) + "\" y1=\"" + svg::num(yy) + "\" x2=\"" +
                 svg::num(bx + bw + 5) + "\" y2=\"" + svg::num(yy) + "\" stroke=\"black\"/>\n<text x=\"" +
                 svg::num(bx + bw + 8) + "\" y=\"" + svg::num(yy + 4) + "\" font-size=\"12\">" +
                 svg::rotulo(x) + "</text>\n";
        }
        const std::string topo = medida.pior_menor ? "best" : "worst",
                          fundo = medida.pior_menor ? "worst" : "best";
        t += "<text x=\"" + svg::num(bx) + "\" y=\"" + svg::num(by + bh + 18) + "\" font-size=\"12\">" +
             svg::rotulo(d.e.minimo) + " (" + fundo + ")</text>\n";
        t += "<text x=\"" + svg::num(bx) + "\" y=\"" + svg::num(by + bh + 34) + "\" font-size=\"12\">to " +
             svg::rotulo(d.e.maximo) + " (" + topo + ")</text>\n";
    }
    escreve(s, t);
}

}  // namespace

void escreve_svg_malha(const std::string& nome, const std::string& nome_caso, const malha_lida& m,
                       const medida_volume& medida, const std::vector<double>& valores) {
    const desenho d(m, medida, valores);
    saida_atomica s;
    abre_saida(s, nome);
    escreve_titulo(s, d, nome_caso);
    escreve_volumes(s, d);
    escreve_contorno(s, d);
    escreve_eixos(s, d);
    escreve_barra(s, d);
    escreve(s, svg::fim);
    conclui_saida(s);
}

}  // namespace malhas_qualidade
