// Quality measures of the volumes and vertices of a mesh.
//
// The quadrilateral measures are those of VTK's vtkMeshQuality (Verdict), so
// that the numbers are the ones ParaView shows: they are taken against the
// quadrilateral's own normal, and a clockwise volume gets the values of its
// mirror image. Whether a volume turns against the mesh is judged apart, from
// the signs of its corner cross products in the x-y plane.
#pragma once

#include <cstdint>
#include <vector>

#include "malhas_qualidade/leitura/malha_lida.hpp"

namespace malhas_qualidade {

// The name of each measure: one name for a measure in the summary, the CSV
// header, the VTK arrays (what ParaView shows) and the manual page.
namespace nome {
inline constexpr char area[] = "area";
inline constexpr char razao_aspecto[] = "aspect_ratio";
inline constexpr char assimetria[] = "skew";
inline constexpr char jacobiano_escalado[] = "scaled_jacobian";
inline constexpr char angulo_minimo[] = "min_angle";
inline constexpr char angulo_maximo[] = "max_angle";
inline constexpr char invertido[] = "inverted";
inline constexpr char crescimento_ksi[] = "area_growth_ksi";
inline constexpr char crescimento_eta[] = "area_growth_eta";
inline constexpr char nao_ortogonalidade[] = "non_orthogonality";
inline constexpr char nao_ortogonalidade_max[] = "non_orthogonality_max";  // of a volume's corners
inline constexpr char residuo_x[] = "residual_x";
inline constexpr char residuo_y[] = "residual_y";
// checkMesh's figures of the mesh extruded to one layer of hexahedra.
inline constexpr char nao_ortogonalidade_face[] = "face_non_orthogonality";
inline constexpr char nao_ortogonalidade_fronteira[] = "boundary_face_non_orthogonality";
inline constexpr char assimetria_face[] = "face_skewness";
inline constexpr char razao_aspecto_celula[] = "cell_aspect_ratio";
inline constexpr char volume_celula[] = "cell_volume";
}  // namespace nome

inline constexpr double pi = 3.14159265358979323846;
// An angle in degrees: radians * 180 / pi, for the measures and for
// checkMesh's figures alike (OpenFOAM's radToDeg).
inline double graus(double radianos) {
    return radianos * 180.0 / pi;
}

// Verdict's stand-in for an unbounded value (a zero area's aspect ratio).
inline constexpr double valor_enorme = 1.0e30;

struct medidas_quadrilatero {
    double area = 0.0;
    double razao_aspecto = 0.0;
    double assimetria = 0.0;  // skew
    double jacobiano_escalado = 0.0;
    double angulo_minimo = 0.0;  // degrees
    double angulo_maximo = 0.0;
    // The four corner cross products in the x-y plane, corner k between the
    // edges that arrive at and leave corner k (slots 1 to 4).
    double c[4] = {0.0, 0.0, 0.0, 0.0};
    double menor_aresta = 0.0;
};

// The corners in the order of the slots 1 to 4. Without com_angulos the two
// angles are left at 0 (and their arccosines not taken), for whoever needs
// only the other measures of many meshes.
medidas_quadrilatero mede_quadrilatero(const double px[4], const double py[4], bool com_angulos = true);

// A volume turns against the mesh's orientation (+1 counter-clockwise, -1
// clockwise) when one of its corners does.
bool invertido(const medidas_quadrilatero& q, int orientacao);

struct medidas_malha {
    int orientacao = 1;
    // Per volume, indexed by volume number 1 .. nvol (element 0 unused).
    std::vector<double> area, razao_aspecto, assimetria, jacobiano_escalado, angulo_minimo, angulo_maximo;
    std::vector<double> crescimento_ksi, crescimento_eta;
    std::vector<std::uint8_t> invertido;
    // Per vertex, indexed by vertex number 1 .. nvert: the deviation from
    // 90 degrees of the angle between the ksi and eta grid directions of the
    // central differences; not a number at boundary vertices.
    std::vector<double> nao_ortogonalidade;
    double menor_aresta = 0.0;  // the shortest volume edge of the mesh
};

void calcula_medidas(const malha_lida& m, medidas_malha& med);

// The non-orthogonality at an interior vertex from its four neighbours.
double nao_ortogonalidade(double xe, double ye, double xw, double yw, double xn, double yn, double xs,
                          double ys);

// Its two terms: the cross and dot products of the ksi and eta central
// differences, whose angle it measures.
inline void termos_nao_ortogonalidade(double xe, double ye, double xw, double yw, double xn, double yn,
                                      double xs, double ys, double& vetorial, double& escalar) {
    const double ax = xe - xw, ay = ye - yw;
    const double bx = xn - xs, by = yn - ys;
    vetorial = ax * by - ay * bx;
    escalar = ax * bx + ay * by;
}

// The largest non-orthogonality at the corners of the volume whose first
// corner is vertex b that are interior vertices; not a number when none is.
double nao_ortogonalidade_volume(const malha_lida& m, const medidas_malha& med, std::int64_t b);

// The larger of a/b and b/a for two areas, with Verdict's convention for an
// unbounded value.
double razao_crescimento(double a, double b);

}  // namespace malhas_qualidade
