#include "malhas_qualidade/svg.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "malhas_qualidade/saida.hpp"

namespace malhas_qualidade {

namespace svg {

namespace {

// Yellow to dark red: a sequential scale whose lightness falls steadily,
// readable in grey and by the common colour blindnesses.
constexpr unsigned char paradas[n_paradas][3] = {{255, 255, 204}, {255, 237, 160}, {254, 217, 118},
                                                 {254, 178, 76},  {253, 141, 60},  {252, 78, 42},
                                                 {227, 26, 28},   {189, 0, 38},    {128, 0, 38}};

}  // namespace

std::string texto(std::string_view t) {
    std::string s;
    for (const char c : t) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                s += "&amp;";
                break;
            case '<':
                s += "&lt;";
                break;
            case '>':
                s += "&gt;";
                break;
            case '"':
                s += "&quot;";
                break;
            default:
                if (b >= 0x80)
                    s += "&#" + std::to_string(b) + ";";
                else if (b < 0x20 || b == 0x7F)
                    s += '?';
                else
                    s += c;
        }
    }
    return s;
}

std::string num(double x) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2f", x);
    std::string s = b;
    // Trailing zeros make the file longer and say nothing.
    while (s.size() > 1 && s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

std::string rotulo(double x) {
    char b[32];
    std::snprintf(b, sizeof b, "%.6g", x == 0.0 ? 0.0 : x);
    return b;
}

std::vector<double> marcas(double a, double b, int alvo) {
    std::vector<double> m;
    if (!(b > a) || !std::isfinite(b - a)) {
        if (std::isfinite(a)) m.push_back(a);
        return m;
    }
    const double bruto = (b - a) / std::max(1, alvo);
    const double potencia = std::pow(10.0, std::floor(std::log10(bruto)));
    double passo = potencia;
    for (double f : {1.0, 2.0, 5.0, 10.0}) {
        passo = f * potencia;
        if (passo >= bruto) break;
    }
    const double primeiro = std::ceil(a / passo - 1e-9);
    for (double k = primeiro; k * passo <= b + passo * 1e-9 && m.size() < 100; k += 1.0) {
        const double x = k * passo;
        m.push_back(std::fabs(x) < passo * 1e-9 ? 0.0 : x);
    }
    return m;
}

std::string cor(double t) {
    if (!(t >= 0.0)) t = 0.0;  // not a number too
    if (t > 1.0) t = 1.0;
    const double posicao = t * (n_paradas - 1);
    const int k = std::min(n_paradas - 2, static_cast<int>(posicao));
    const double f = posicao - k;
    char b[8];
    unsigned char c[3];
    for (int i = 0; i < 3; ++i)
        c[i] =
            static_cast<unsigned char>(std::lround(paradas[k][i] + f * (paradas[k + 1][i] - paradas[k][i])));
    std::snprintf(b, sizeof b, "#%02x%02x%02x", c[0], c[1], c[2]);
    return b;
}

std::string inicio(double largura, double altura, std::string_view titulo) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
           num(largura) + "\" height=\"" + num(altura) + "\" viewBox=\"0 0 " + num(largura) + " " +
           num(altura) +
           "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\" font-size=\"13\">\n<title>" +
           texto(titulo) + "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
}

}  // namespace svg

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

}  // namespace

void escreve_svg_malha(const std::string& nome, const std::string& nome_caso, const malha_lida& m,
                       const medida_volume& medida, const std::vector<double>& valores) {
    // The frame: one scale for x and y, so that the mesh keeps its shape.
    double xmin = m.x[1], xmax = m.x[1], ymin = m.y[1], ymax = m.y[1];
    for (std::int64_t vv = 1; vv <= m.nvert; ++vv) {
        const auto k = static_cast<std::size_t>(vv);
        xmin = std::min(xmin, m.x[k]);
        xmax = std::max(xmax, m.x[k]);
        ymin = std::min(ymin, m.y[k]);
        ymax = std::max(ymax, m.y[k]);
    }
    double dx = xmax - xmin, dy = ymax - ymin;
    if (!(dx > 0.0) || !std::isfinite(dx)) dx = std::isfinite(dy) && dy > 0.0 ? dy : 1.0;
    if (!(dy > 0.0) || !std::isfinite(dy)) dy = dx;
    const double escala = std::min(lado_maximo / dx, lado_maximo / dy);
    const double w = dx * escala, h = dy * escala;

    const extremos e = extremos_de(valores, medida.pior_menor);
    const double faixa = e.maximo - e.minimo;
    // Position on the colour scale: 0 best, 1 worst.
    auto posicao = [&](double x) {
        if (!(faixa > 0.0) || !std::isfinite(faixa)) return 0.0;
        const double t = (x - e.minimo) / faixa;
        return medida.pior_menor ? 1.0 - t : t;
    };
    auto cor_de = [&](double x) {
        return std::isfinite(x) ? svg::cor(posicao(x)) : std::string(cor_indefinida);
    };

    const std::int64_t passo_i = (m.nvol_ksi + celulas_maximas_svg - 1) / celulas_maximas_svg;
    const std::int64_t passo_j = (m.nvol_eta + celulas_maximas_svg - 1) / celulas_maximas_svg;
    const bool blocos = passo_i > 1 || passo_j > 1;
    const double margem_topo = blocos ? topo_celulas : topo_simples;
    const quadro q{xmin, ymin + dy, escala, margem_topo};
    const double largura = margem_esquerda + std::max(w, 320.0) + margem_direita;
    const double altura = margem_topo + std::max(h, 260.0) + margem_base;

    saida_atomica s;
    abre_saida(s, nome);
    const std::string titulo = nome_caso + ": " + medida.nome + " of the " + std::to_string(m.nvol) +
                               " volumes (" + std::to_string(m.nvol_ksi) + " x " +
                               std::to_string(m.nvol_eta) + "; " + std::to_string(m.nvert_ksi) + " x " +
                               std::to_string(m.nvert_eta) + " vertices)";
    escreve(s, svg::inicio(largura, altura, titulo));
    escreve(s, "<text x=\"" + svg::num(margem_esquerda) +
                   "\" y=\"24\" font-size=\"16\" font-weight=\"bold\">" + svg::texto(titulo) + "</text>\n");
    auto onde = [&](std::int64_t p) {
        return "volume " + std::to_string(p) + " (" + std::to_string((p - 1) % m.nvol_ksi + 1) + ", " +
               std::to_string((p - 1) / m.nvol_ksi + 1) + ")";
    };
    std::string linha2;
    if (e.pior != 0) {
        linha2 = "worst (outlined in blue): " + onde(e.pior) + ", " +
                 svg::rotulo(valores[static_cast<std::size_t>(e.pior)]) + "; best: " + onde(e.melhor) + ", " +
                 svg::rotulo(valores[static_cast<std::size_t>(e.melhor)]);
    } else {
        linha2 = "undefined at every volume";
    }
    if (e.indefinidos > 0) linha2 += "; undefined (grey) at " + std::to_string(e.indefinidos);
    escreve(s, "<text x=\"" + svg::num(margem_esquerda) + "\" y=\"44\">" + svg::texto(linha2) + "</text>\n");
    if (blocos) {
        const std::string notas[2] = {
            "the grid lines of " + cada(passo_i) + " index in ksi and of " + cada(passo_j) + " in eta;",
            "each cell coloured by the worst of the up to " + std::to_string(passo_i) + " x " +
                std::to_string(passo_j) + " volumes in it"};
        for (int k = 0; k < 2; ++k)
            escreve(s, "<text x=\"" + svg::num(margem_esquerda) + "\" y=\"" + svg::num(64 + 18 * k) +
                           "\" font-style=\"italic\">" + svg::texto(notas[k]) + "</text>\n");
    }

    // The volumes, or the cells of passo_i x passo_j volumes.
    const std::int64_t nk = m.nvert_ksi;
    // Lines of small cells lighter, so that they do not hide the colours.
    escreve(s, "<g stroke=\"#3c3c3c\" stroke-width=\"" + std::string(blocos ? "0.3" : "0.5") + "\"" +
                   (blocos ? " stroke-opacity=\"0.45\"" : "") + " stroke-linejoin=\"round\">\n");
    std::string t;
    for (std::int64_t j0 = 1; j0 <= m.nvol_eta; j0 += passo_j) {
        const std::int64_t j1 = std::min<std::int64_t>(j0 + passo_j - 1, m.nvol_eta);
        for (std::int64_t i0 = 1; i0 <= m.nvol_ksi; i0 += passo_i) {
            const std::int64_t i1 = std::min<std::int64_t>(i0 + passo_i - 1, m.nvol_ksi);
            // The worst of the cell; undefined when any volume in it is.
            double valor = std::numeric_limits<double>::quiet_NaN();
            std::int64_t p = 0;
            bool indefinido = false;
            for (std::int64_t j = j0; j <= j1; ++j)
                for (std::int64_t i = i0; i <= i1; ++i) {
                    const std::int64_t pp = (j - 1) * m.nvol_ksi + i;
                    const double x = valores[static_cast<std::size_t>(pp)];
                    if (!std::isfinite(x))
                        indefinido = true;
                    else if (p == 0 || (medida.pior_menor ? x < valor : x > valor)) {
                        valor = x;
                        p = pp;
                    }
                }
            if (indefinido) valor = std::numeric_limits<double>::quiet_NaN();
            const std::int64_t b = (j0 - 1) * nk + i0;
            const std::int64_t cantos[4] = {b, (j0 - 1) * nk + i1 + 1, j1 * nk + i1 + 1, j1 * nk + i0};
            t.clear();
            t += "<polygon";
            if (!blocos) t += " id=\"v" + std::to_string((j0 - 1) * m.nvol_ksi + i0) + "\"";
            t += " points=\"";
            for (int k = 0; k < 4; ++k) {
                if (k > 0) t += ' ';
                t += ponto(q, m, cantos[k]);
            }
            t += "\" fill=\"" + cor_de(valor) + "\"><title>";
            if (blocos)
                t += "volumes i " + std::to_string(i0) + ".." + std::to_string(i1) + ", j " +
                     std::to_string(j0) + ".." + std::to_string(j1) + ": worst ";
            else
                t += onde((j0 - 1) * m.nvol_ksi + i0) + ": ";
            t += std::string(medida.nome) + " " + (std::isfinite(valor) ? svg::rotulo(valor) : "undefined");
            t += "</title></polygon>\n";
            escreve(s, t);
        }
    }
    escreve(s, "</g>\n");

    // The domain's outline, exact even where the cells are drawn coarser.
    t = "<polygon fill=\"none\" stroke=\"black\" stroke-width=\"1.2\" points=\"";
    auto junta = [&](std::int64_t vv) { t += ponto(q, m, vv) + ' '; };
    for (std::int64_t i = 1; i <= nk; ++i)
        junta(i);
    for (std::int64_t j = 2; j <= m.nvert_eta; ++j)
        junta((j - 1) * nk + nk);
    for (std::int64_t i = nk - 1; i >= 1; --i)
        junta((m.nvert_eta - 1) * nk + i);
    for (std::int64_t j = m.nvert_eta - 1; j >= 2; --j)
        junta((j - 1) * nk + 1);
    t.back() = '"';
    t += "/>\n";
    escreve(s, t);

    if (e.pior != 0) {
        const std::int64_t p = e.pior;
        const std::int64_t b = ((p - 1) / m.nvol_ksi) * nk + (p - 1) % m.nvol_ksi + 1;
        escreve(s, "<polygon id=\"pior\" fill=\"none\" stroke=\"#0040ff\" stroke-width=\"2.5\" points=\"" +
                       ponto(q, m, b) + " " + ponto(q, m, b + 1) + " " + ponto(q, m, b + nk + 1) + " " +
                       ponto(q, m, b + nk) + "\"><title>worst: " + onde(p) + "</title></polygon>\n");
        // A volume a few pixels wide gets a ring round it, to be found at all.
        const std::int64_t cantos[4] = {b, b + 1, b + nk + 1, b + nk};
        double x0 = q.x(m.x[b]), x1 = x0, y0 = q.y(m.y[b]), y1 = y0, cx = 0.0, cy = 0.0;
        for (std::int64_t k : cantos) {
            const double px = q.x(m.x[static_cast<std::size_t>(k)]),
                         py = q.y(m.y[static_cast<std::size_t>(k)]);
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
    const double base = margem_topo + h + 8, esquerda = margem_esquerda - 8;
    t = "<g stroke=\"black\" stroke-width=\"1\" fill=\"none\">\n<line x1=\"" + svg::num(margem_esquerda) +
        "\" y1=\"" + svg::num(base) + "\" x2=\"" + svg::num(margem_esquerda + w) + "\" y2=\"" +
        svg::num(base) + "\"/>\n<line x1=\"" + svg::num(esquerda) + "\" y1=\"" + svg::num(margem_topo) +
        "\" x2=\"" + svg::num(esquerda) + "\" y2=\"" + svg::num(margem_topo + h) + "\"/>\n";
    std::string rotulos = "<g font-size=\"12\">\n";
    const int alvo_x = std::max(2, static_cast<int>(w / 90)), alvo_y = std::max(2, static_cast<int>(h / 60));
    for (double vx : svg::marcas(xmin, xmin + dx, alvo_x)) {
        const std::string px = svg::num(q.x(vx));
        t += "<line x1=\"" + px + "\" y1=\"" + svg::num(base) + "\" x2=\"" + px + "\" y2=\"" +
             svg::num(base + 5) + "\"/>\n";
        rotulos += "<text x=\"" + px + "\" y=\"" + svg::num(base + 19) + "\" text-anchor=\"middle\">" +
                   svg::rotulo(vx) + "</text>\n";
    }
    for (double vy : svg::marcas(ymin, ymin + dy, alvo_y)) {
        const std::string py = svg::num(q.y(vy));
        t += "<line x1=\"" + svg::num(esquerda - 5) + "\" y1=\"" + py + "\" x2=\"" + svg::num(esquerda) +
             "\" y2=\"" + py + "\"/>\n";
        rotulos += "<text x=\"" + svg::num(esquerda - 8) + "\" y=\"" + svg::num(q.y(vy) + 4) +
                   "\" text-anchor=\"end\">" + svg::rotulo(vy) + "</text>\n";
    }
    rotulos += "<text x=\"" + svg::num(margem_esquerda + w / 2) + "\" y=\"" + svg::num(base + 38) +
               "\" text-anchor=\"middle\" font-size=\"14\">x</text>\n<text x=\"" + svg::num(esquerda - 52) +
               "\" y=\"" + svg::num(margem_topo + h / 2) +
               "\" text-anchor=\"middle\" font-size=\"14\">y</text>\n";
    escreve(s, t + "</g>\n" + rotulos + "</g>\n");

    // The colour bar: the measure's range from bottom to top, the best end
    // pale and the worst dark.
    const double bx = margem_esquerda + std::max(w, 320.0) + 36, bw = 22;
    const double by = margem_topo, bh = std::max(std::min(h, 400.0), 200.0);
    t = "<defs><linearGradient id=\"escala\" x1=\"0\" y1=\"1\" x2=\"0\" y2=\"0\">\n";
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
    if (e.pior != 0) {
        std::vector<double> ms = svg::marcas(e.minimo, e.maximo, 6);
        if (!(faixa > 0.0)) ms = {e.minimo};
        for (double x : ms) {
            const double f = faixa > 0.0 ? (x - e.minimo) / faixa : 0.5;
            const double yy = by + bh * (1.0 - f);
            t += "<line x1=\"" + svg::num(bx + bw) + "\" y1=\"" + svg::num(yy) + "\" x2=\"" +
                 svg::num(bx + bw + 5) + "\" y2=\"" + svg::num(yy) + "\" stroke=\"black\"/>\n<text x=\"" +
                 svg::num(bx + bw + 8) + "\" y=\"" + svg::num(yy + 4) + "\" font-size=\"12\">" +
                 svg::rotulo(x) + "</text>\n";
        }
        const std::string topo = medida.pior_menor ? "best" : "worst",
                          fundo = medida.pior_menor ? "worst" : "best";
        t += "<text x=\"" + svg::num(bx) + "\" y=\"" + svg::num(by + bh + 18) + "\" font-size=\"12\">" +
             svg::rotulo(e.minimo) + " (" + fundo + ")</text>\n";
        t += "<text x=\"" + svg::num(bx) + "\" y=\"" + svg::num(by + bh + 34) + "\" font-size=\"12\">to " +
             svg::rotulo(e.maximo) + " (" + topo + ")</text>\n";
    }
    escreve(s, t);
    escreve(s, svg::fim);
    conclui_saida(s);
}

}  // namespace malhas_qualidade
