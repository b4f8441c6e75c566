#include "malhas_qualidade/figuras/svg.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "malhas_qualidade/comum/saida.hpp"

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

}  // namespace malhas_qualidade
