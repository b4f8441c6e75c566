// The figures OpenFOAM's checkMesh prints for the mesh extruded to one layer
// of hexahedra (extrusao.hpp), computed as OpenFOAM 1912 computes them.
#pragma once

#include <cstdint>
#include <string>

#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/extrusao.hpp"

namespace malhas_qualidade {

// checkMesh's limits: faces beyond 70 degrees are severely non-orthogonal
// (a warning; beyond 90 an error), faces of skewness above 4 highly skew,
// cells of aspect ratio above 1000 of high aspect ratio, and a cell volume
// or face area below 1e-300 (OpenFOAM's VSMALL) zero or negative.
inline constexpr double limite_nao_ortogonalidade = 70.0;
inline constexpr double limite_assimetria_face = 4.0;
inline constexpr double limite_razao_aspecto_celula = 1000.0;
inline constexpr double menor_volume_celula = 1.0e-300;
inline constexpr double menor_area_face = 1.0e-300;
// The limits of the rest of checkMesh -allGeometry: a boundary or a cell
// whose face area vectors do not sum to zero within 1e-6 of their sizes is
// open; a face pyramid below -1e-15 (-SMALL) is inverted; a decomposition
// tet of quality below 1e-30 (SMALL squared) is bad; and the cell
// determinant, the face interpolation weight and the volume ratio of the
// two cells of a face below these are failures.
inline constexpr double limite_abertura = 1.0e-6;
inline constexpr double limite_piramide = -1.0e-15;
inline constexpr double limite_qualidade_tetraedro = 1.0e-30;
inline constexpr double limite_determinante = 1.0e-3;
inline constexpr double limite_peso_face = 0.05;
inline constexpr double limite_razao_volumes = 0.01;
// checkMesh's warnings, which fail no check: face corners concave by more
// than 10 degrees, faces whose area is below 0.8 of the sum of their
// triangles' areas, and edges shorter than 1e-6 of the bounding box.
inline constexpr double limite_angulo_concavo = 10.0;
inline constexpr double limite_planicidade = 0.8;
inline constexpr double fracao_aresta_curta = 1.0e-6;

// A face of the extruded mesh, for saying where a worst value is.
struct face_extrudida {
    std::int64_t indice = -1;   // in the faces file; -1: none
    std::int64_t i = 0, j = 0;  // the owner's volume
    lado l = lado::leste;
    bool interna = false;
};

// The worst value of a figure over the faces (cells), where the first of
// equal worst values is, and how many faces (cells) fail its limit.
struct pior_face {
    double valor = 0.0;
    face_extrudida onde;
    std::int64_t falhas = 0;
};
struct pior_celula {
    double valor = 0.0;
    std::int64_t onde = 0;  // volume number; 0: none
    std::int64_t falhas = 0;
};

struct figuras_checkmesh {
    double espessura = 1.0;
    contagem_faces faces;

    // Internal faces: the largest angle between the line joining the cell
    // centres and the face normal, and the angle whose cosine is the mean
    // cosine (checkMesh's "average"), in degrees.
    double nao_ortogonalidade_max = 0.0, nao_ortogonalidade_media = 0.0;
    std::int64_t faces_nao_ortogonais = 0;  // beyond the limit
    std::int64_t faces_acima_de_90 = 0;     // among them, beyond 90 degrees
    face_extrudida pior_nao_ortogonal;
    std::int64_t nao_ortogonalidade_indefinida = 0;

    // The faces of the four boundary lines: the angle between the line from
    // the owner's centre to the face centre and the face normal, which
    // checkMesh does not print and a fixedValue boundary gradient ignores.
    // The average as checkMesh's: the angle of the mean cosine.
    double nao_ortogonalidade_fronteira_max = 0.0, nao_ortogonalidade_fronteira_media = 0.0;
    face_extrudida pior_nao_ortogonal_fronteira;
    std::int64_t nao_ortogonalidade_fronteira_indefinida = 0;

    double assimetria_max = 0.0;  // every face
    std::int64_t faces_assimetricas = 0;
    face_extrudida pior_assimetria;
    std::int64_t assimetria_indefinida = 0;

    double razao_aspecto_max = 0.0;
    std::int64_t celulas_alongadas = 0;
    std::int64_t pior_razao_aspecto = 0;  // volume number; 0: none
    std::int64_t razao_aspecto_indefinida = 0;

    double volume_min = 0.0, volume_max = 0.0, volume_total = 0.0;
    std::int64_t volumes_nao_positivos = 0;
    std::int64_t menor_volume = 0, maior_volume = 0;  // volume numbers
    std::int64_t volume_indefinido = 0;

    // The rest of checkMesh -allGeometry -allTopology, computed only when
    // asked for (completas). The topology, the edges' alignment with the
    // two solution directions and the coupled points pass for every mesh
    // the export writes, whatever its coordinates: they depend on the
    // numbering, on z being exactly 0 and the thickness, and on there being
    // no coupled patch.
    bool completas = false;
    double abertura_fronteira = 0.0;  // the largest component of the boundary's openness
    pior_celula abertura_celula;      // the largest, and the cells beyond limite_abertura
    pior_face area_face;              // the smallest magnitude, and the faces below menor_area_face
    double area_face_max = 0.0;
    pior_face piramides;       // the first face with an inverted pyramid; falhas as checkMesh counts them
    pior_face tetraedros;      // the first face with a bad decomposition tet; falhas as checkMesh counts them
    pior_celula determinante;  // the smallest, and the cells below limite_determinante
    double determinante_medio = 0.0;
    pior_celula celulas_concavas;  // the first concave cell, and how many
    pior_face peso_face;           // the smallest interpolation weight of an internal face
    double peso_face_medio = 0.0;
    pior_face razao_volumes;  // the smallest volume ratio across an internal face
    double razao_volumes_media = 0.0;
    // The warnings.
    pior_face angulo_concavo;  // the largest concave corner, in degrees (0: none), and how many faces
    pior_face planicidade;     // the smallest flatness, and the faces below limite_planicidade
    double aresta_min = 0.0, aresta_max = 0.0, aresta_curta = 0.0;
    std::int64_t pontos_arestas_curtas = 0;
    // Values these checks could not compute (not finite).
    std::int64_t completas_indefinidas = 0;

    bool indefinido() const {
        return nao_ortogonalidade_indefinida + nao_ortogonalidade_fronteira_indefinida +
                   assimetria_indefinida + razao_aspecto_indefinida + volume_indefinido +
                   completas_indefinidas >
               0;
    }

    // The checks that fail, as checkMesh counts them ("Failed n mesh
    // checks"): those of a plain checkMesh, and those -allGeometry adds.
    int falhas_checkmesh_simples() const;
    int falhas_checkmesh_geometria() const;
};

// The figures as OpenFOAM 1912 computes them for the mesh extruded to the
// given thickness, with the same arithmetic in the same order; with
// completas, also the rest of checkMesh -allGeometry -allTopology, which
// costs several times as much.
void calcula_figuras_checkmesh(const extrusao& e, figuras_checkmesh& f, bool completas = false);

// The face as a person reads it: "the face between volume 5 (5, 1) and
// volume 6 (6, 1)", "the face of volume 5 (5, 1) on linha_externa".
std::string descreve_face(const malha_lida& m, const face_extrudida& f);

}  // namespace malhas_qualidade
