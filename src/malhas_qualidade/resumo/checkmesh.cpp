// The summary's section of checkMesh's figures for the mesh --openfoam writes.
#include <algorithm>

#include "malhas_qualidade/resumo/resumo.hpp"

namespace malhas_qualidade {

// Six significant digits, as checkMesh prints them (OpenFOAM writes a double
// as the C++ stream does by default, which is printf's %.6g).
void acrescenta_figuras_checkmesh(std::string& s, const dados_resumo& d, bool& indefinido) {
    const malha_lida& m = *d.malha;
    const figuras_checkmesh& f = *d.checkmesh;
    const auto ll = [](std::int64_t v) { return static_cast<long long>(v); };
    indefinido = indefinido || f.indefinido();
    acrescenta(s,
               "\ncheckMesh's figures for the mesh --openfoam writes (one layer of hexahedra %g thick), as "
               "OpenFOAM 1912\ncomputes them, to the digits checkMesh prints:\n",
               f.espessura);

    const std::int64_t internas = f.faces.internas;
    if (internas == 0) {
        acrescenta(s, "  %s: no internal face\n", nome::nao_ortogonalidade_face);
    } else if (f.nao_ortogonalidade_indefinida == internas) {
        acrescenta(s, "  %s: undefined at all %lld internal faces (%s)\n", nome::nao_ortogonalidade_face,
                   ll(internas), causa_indefinida_medida);
    } else {
        acrescenta(s,
                   "  %s: max %.6g, average %.6g (degrees, %lld internal faces); limit %g: %lld faces "
                   "beyond",
                   nome::nao_ortogonalidade_face, f.nao_ortogonalidade_max, f.nao_ortogonalidade_media,
                   ll(internas), limite_nao_ortogonalidade, ll(f.faces_nao_ortogonais));
        if (f.faces_acima_de_90 > 0) acrescenta(s, " (%lld beyond 90)", ll(f.faces_acima_de_90));
        acrescenta_indefinidos(s, f.nao_ortogonalidade_indefinida, "faces");
        acrescenta(s, "\n      worst: %s\n", descreve_face(m, f.pior_nao_ortogonal).c_str());
    }

    const std::int64_t fronteira = 2 * (m.nvol_ksi + m.nvol_eta);
    if (f.nao_ortogonalidade_fronteira_indefinida == fronteira) {
        acrescenta(s, "  %s: undefined at all %lld faces of the boundary lines (%s)\n",
                   nome::nao_ortogonalidade_fronteira, ll(fronteira), causa_indefinida_medida);
    } else {
        acrescenta(s, "  %s: max %.6g, average %.6g (degrees, %lld faces of the four boundary lines)",
                   nome::nao_ortogonalidade_fronteira, f.nao_ortogonalidade_fronteira_max,
                   f.nao_ortogonalidade_fronteira_media, ll(fronteira));
        acrescenta_indefinidos(s, f.nao_ortogonalidade_fronteira_indefinida, "faces");
        acrescenta(
            s,
            "\n      worst: %s\n      (checkMesh does not print it: the angle between the line from the "
            "cell centre\n      to the face centre and the face normal. OpenFOAM's fixedValue boundary "
            "gradient\n      ignores it, so where it is not 0 a solution is only first-order accurate at "
            "a\n      Dirichlet boundary)\n",
            descreve_face(m, f.pior_nao_ortogonal_fronteira).c_str());
    }

    if (f.assimetria_indefinida == f.faces.total) {
        acrescenta(s, "  %s: undefined at all %lld faces (%s)\n", nome::assimetria_face, ll(f.faces.total),
                   causa_indefinida_medida);
    } else {
        acrescenta(s, "  %s: max %.6g (%lld faces); limit %g: %lld faces beyond", nome::assimetria_face,
                   f.assimetria_max, ll(f.faces.total), limite_assimetria_face, ll(f.faces_assimetricas));
        acrescenta_indefinidos(s, f.assimetria_indefinida, "faces");
        acrescenta(s, "\n      worst: %s\n", descreve_face(m, f.pior_assimetria).c_str());
    }

    if (f.razao_aspecto_indefinida == m.nvol) {
        acrescenta(s, "  %s: undefined at all %lld cells (%s)\n", nome::razao_aspecto_celula, ll(m.nvol),
                   causa_indefinida_medida);
    } else {
        acrescenta(s, "  %s: max %.6g (%lld cells); limit %g: %lld cells beyond", nome::razao_aspecto_celula,
                   f.razao_aspecto_max, ll(m.nvol), limite_razao_aspecto_celula, ll(f.celulas_alongadas));
        acrescenta_indefinidos(s, f.razao_aspecto_indefinida, "cells");
        acrescenta(s, "\n      worst: %s\n", descreve_volume(f.pior_razao_aspecto, m.nvol_ksi).c_str());
    }

    if (f.volume_indefinido == m.nvol) {
        acrescenta(s, "  %s: undefined at all %lld cells (%s)\n", nome::volume_celula, ll(m.nvol),
                   causa_indefinida_medida);
    } else {
        acrescenta(s, "  %s: min %.6g, max %.6g, total %.6g; limit %g: %lld cells below", nome::volume_celula,
                   f.volume_min, f.volume_max, f.volume_total, menor_volume_celula,
                   ll(f.volumes_nao_positivos));
        acrescenta_indefinidos(s, f.volume_indefinido, "cells");
        acrescenta(s, "\n      smallest: %s; largest: %s\n",
                   descreve_volume(f.menor_volume, m.nvol_ksi).c_str(),
                   descreve_volume(f.maior_volume, m.nvol_ksi).c_str());
    }
}

}  // namespace malhas_qualidade
