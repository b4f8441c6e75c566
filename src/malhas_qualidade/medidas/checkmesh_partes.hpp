// What the files of checkMesh's figures share beyond the geometry: what one
// run of rows finds, and the computation that walks the rows.
#pragma once

#include <cstdint>
#include <vector>

#include "malhas_qualidade/medidas/geometria_openfoam.hpp"

namespace malhas_qualidade::checkmesh {

// The boundary's area vectors, summed row by row of cells, so that the sum
// does not depend on how the rows are shared between threads.
struct soma_fronteira {
    vetor soma{0.0, 0.0, 0.0};
    double soma_modulos = 0.0;
};

// What one run of rows finds. The sums that checkMesh forms in face or cell
// order are formed afterwards, over the whole mesh, from the values stored
// in the arrays of calculo: a sum split between threads would round
// differently.
struct parcial {
    std::int64_t faces_nao_ortogonais = 0, faces_acima_de_90 = 0, nao_ortogonalidade_indefinida = 0;
    double menor_cosseno = 0.0;
    face_extrudida pior_nao_ortogonal;
    double menor_cosseno_fronteira = 0.0;
    face_extrudida pior_nao_ortogonal_fronteira;
    std::int64_t nao_ortogonalidade_fronteira_indefinida = 0;
    double assimetria_max = 0.0;
    std::int64_t faces_assimetricas = 0, assimetria_indefinida = 0;
    face_extrudida pior_assimetria;
    double razao_aspecto_max = 0.0;
    std::int64_t celulas_alongadas = 0, pior_razao_aspecto = 0, razao_aspecto_indefinida = 0;
    double volume_min = 0.0, volume_max = 0.0;
    std::int64_t volumes_nao_positivos = 0, menor_volume = 0, maior_volume = 0, volume_indefinido = 0;
    // The complete checks.
    pior_celula abertura_celula, determinante, celulas_concavas;
    pior_face area_face, piramides, tetraedros, peso_face, angulo_concavo, planicidade;
    double area_face_max = 0.0;
    std::int64_t completas_indefinidas = 0;

    // Scratch rows, made before the threads start: a part may not throw.
    linha_faces abaixo, atual, proxima;
    std::vector<face_dados> sul;
};

struct calculo {
    const contexto& x;
    double limite_cosseno;
    bool completas;
    double seno_concavo;                      // the sine of the concave corners' limit
    std::vector<double>& cossenos;            // by internal face
    std::vector<double>& cossenos_fronteira;  // by face of the four boundary lines
    std::vector<double>& volumes;             // by cell
    std::vector<double>& pesos;               // by internal face, with the complete checks
    std::vector<double>& determinantes;       // by cell, with the complete checks
    std::vector<soma_fronteira>& fronteira;   // by row, with the complete checks

    // Volume numbers start at 1; 0 is none.
    static std::int64_t nenhum_se_zero(std::int64_t numero) { return numero == 0 ? -1 : numero; }

    // The first of equal values, in face or cell order, is the worst; a
    // negative indice_atual is none yet.
    static bool pior(double v, std::int64_t indice, double atual, std::int64_t indice_atual, bool maior) {
        if (indice_atual < 0) return true;
        if (v == atual) return indice < indice_atual;
        return maior ? v > atual : v < atual;
    }
    static void guarda(pior_face& w, double v, const face_extrudida& onde, bool maior) {
        if (pior(v, onde.indice, w.valor, w.onde.indice, maior)) {
            w.valor = v;
            w.onde = onde;
        }
    }
    static void guarda(pior_celula& w, double v, std::int64_t numero, bool maior) {
        if (pior(v, numero, w.valor, nenhum_se_zero(w.onde), maior)) {
            w.valor = v;
            w.onde = numero;
        }
    }
    // A failure: the first failing face (cell) is the one named.
    static void falha(pior_face& w, std::int64_t n, const face_extrudida& onde) {
        if (n == 0) return;
        w.falhas += n;
        guarda(w, 0.0, onde, true);
    }

    void face_interna(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
                      const celula_dados& dono, const celula_dados& vizinho) const;

    void face_fronteira(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
                        const vetor& dono) const;

    // The checks of every face: its area, its pyramids, its tets and its
    // shape.
    void face_completa(parcial& p, const face_dados& g, const vetor& dono, const vetor* vizinho,
                       const face_extrudida& onde) const;

    static void assimetria_face(parcial& p, double s, const face_extrudida& f);

    void celula(parcial& p, const celula_dados& c, std::int64_t numero) const;

    // The rows de to ate. A cell needs the faces of the row below it, and a
    // row's north faces the cells of the row above: both are made here too.
    void faixa(parcial& p, std::int64_t de, std::int64_t ate) const;
};

// The checks over the whole mesh at once, after the rows (checkmesh_malha.cpp).
void conclui_completas(const contexto& x, figuras_checkmesh& f, const std::vector<double>& volumes,
                       const std::vector<double>& pesos, const std::vector<double>& determinantes,
                       const std::vector<soma_fronteira>& fronteira);

}  // namespace malhas_qualidade::checkmesh
