// The geometry of the extruded mesh as OpenFOAM computes it: its vector
// arithmetic, a face's centre and area vector, a cell's centre and volume,
// with the same operations in the same order, so that every rounding is
// OpenFOAM's. Shared by the files of checkMesh's figures only.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "malhas_qualidade/medidas/checkmesh.hpp"
#include "malhas_qualidade/medidas/extrusao.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"

namespace malhas_qualidade::checkmesh {

// OpenFOAM's constants of the checks (double precision).
inline constexpr double rootvsmall = 1.0e-150;
inline constexpr double vsmall = 1.0e-300;
inline constexpr double small = 1.0e-15;
inline constexpr double great = 1.0e15;
inline constexpr double vgreat = 1.0e300;
// The cosine within which checkMesh calls a face's plane and another face's
// centre coplanar, for the concave cells.
inline constexpr double cosseno_planar = 1.0e-6;

// Vector arithmetic written out as OpenFOAM's vector operations evaluate it,
// component by component and in the same order, so that every rounding is
// the same.
struct vetor {
    double x, y, z;
};
inline vetor operator+(vetor a, vetor b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline vetor operator-(vetor a, vetor b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline vetor operator*(double s, vetor a) {
    return {s * a.x, s * a.y, s * a.z};
}
inline vetor operator/(vetor a, double s) {
    return {a.x / s, a.y / s, a.z / s};
}
inline double escalar(vetor a, vetor b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline vetor vetorial(vetor a, vetor b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double modulo(vetor a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
inline bool finito(vetor a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

// A face: its points in the file's order, its centre and its area vector.
struct face_dados {
    vetor p[4];
    vetor centro, area;
};

// A cell's centre, volume and aspect ratio; for the complete checks also
// its openness, its determinant and whether it is concave.
struct celula_dados {
    vetor centro;
    double volume, razao_aspecto;
    double abertura = 0.0, determinante = 0.0;
    bool concava = false;
};

struct contexto {
    const extrusao& e;
    const malha_lida& m;
    contagem_faces c;

    vetor ponto(std::int64_t r) const {
        const bool topo = r >= m.nvert;
        const auto v = static_cast<std::size_t>(topo ? r - m.nvert + 1 : r + 1);
        return {m.x[v], m.y[v], topo ? e.espessura : 0.0};
    }

    // The centre and area vector of a face from its points in the file's
    // order: triangles fanned from the mean of the points, the centre
    // weighted by their areas.
    void face(std::int64_t i, std::int64_t j, lado l, face_dados& f) const {
        std::int64_t r[4];
        pontos_face(e, i, j, l, r);
        const vetor* p = f.p;
        for (int k = 0; k < 4; ++k)
            f.p[k] = ponto(r[k]);
        vetor media = p[0];
        for (int k = 1; k < 4; ++k)
            media = media + p[k];
        media = media / 4.0;
        vetor soma_n{0.0, 0.0, 0.0}, soma_ac{0.0, 0.0, 0.0};
        double soma_a = 0.0;
        for (int k = 0; k < 4; ++k) {
            const vetor& seguinte = p[(k + 1) % 4];
            const vetor centro = p[k] + seguinte + media;
            const vetor n = vetorial(seguinte - p[k], media - p[k]);
            const double a = modulo(n);
            soma_n = soma_n + n;
            soma_a += a;
            soma_ac = soma_ac + a * centro;
        }
        if (soma_a < rootvsmall) {
            f.centro = media;
            f.area = {0.0, 0.0, 0.0};
        } else {
            f.centro = ((1.0 / 3.0) * soma_ac) / soma_a;
            f.area = 0.5 * soma_n;
        }
    }

    std::int64_t indice(std::int64_t i, std::int64_t j, lado l, bool interna) const {
        const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
        if (interna) {
            const std::int64_t antes = (j - 1) * (2 * nk - 1) + (i - 1) * (j < ne ? 2 : 1);
            return l == lado::leste ? antes : antes + (i < nk ? 1 : 0);
        }
        const std::int64_t celula = volume(m, i, j) - 1;
        switch (l) {
            case lado::sul:
                return c.inicio[0] + i - 1;
            case lado::norte:
                return c.inicio[1] + i - 1;
            case lado::oeste:
                return c.inicio[2] + j - 1;
            case lado::leste:
                return c.inicio[3] + j - 1;
            case lado::fundo:
                return c.inicio[4] + celula;
            case lado::frente:
                return c.inicio[4] + m.nvol + celula;
        }
        return -1;
    }
};

// The faces of one row of cells, each computed once: leste[0] is the i = 1
// boundary face, leste[i] the face east of volume (i, j).
struct linha_faces {
    std::vector<face_dados> leste, norte, fundo, frente;
    std::vector<celula_dados> celulas;

    void dimensiona(std::int64_t nk) {
        const auto n = static_cast<std::size_t>(nk);
        leste.resize(n + 1);
        norte.resize(n);
        fundo.resize(n);
        frente.resize(n);
        celulas.resize(n);
    }
};

// The faces of row j of cells (checkmesh_faces.cpp).
void calcula_faces(const contexto& x, std::int64_t j, linha_faces& l);
// The cells of row j, from the faces of the row and those south of it
// (checkmesh_celulas.cpp).
void calcula_celulas(const contexto& x, std::int64_t j, linha_faces& l, const std::vector<face_dados>& sul,
                     bool completas);

}  // namespace malhas_qualidade::checkmesh
