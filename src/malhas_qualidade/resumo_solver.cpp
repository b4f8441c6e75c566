// The summary's figures for a finite-volume solver, and the verdict of
// --verifica.
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "malhas_qualidade/resumo.hpp"

namespace malhas_qualidade {

namespace {

std::string volume_texto(const malha_lida& m, std::int64_t p) {
    if (p == 0) return "-";
    const std::int64_t i = (p - 1) % m.nvol_ksi + 1, j = (p - 1) / m.nvol_ksi + 1;
    return "volume " + std::to_string(p) + " (" + std::to_string(i) + ", " + std::to_string(j) + ")";
}

constexpr const char* causa = "coordinates too large for double arithmetic";

void indefinidos(std::string& s, std::int64_t n, const char* unidades) {
    if (n > 0) acrescenta(s, "; undefined at %lld %s (%s)", static_cast<long long>(n), unidades, causa);
}

}  // namespace

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
                   ll(internas), causa);
    } else {
        acrescenta(s,
                   "  %s: max %.6g, average %.6g (degrees, %lld internal faces); limit %g: %lld faces "
                   "beyond",
                   nome::nao_ortogonalidade_face, f.nao_ortogonalidade_max, f.nao_ortogonalidade_media,
                   ll(internas), limite_nao_ortogonalidade, ll(f.faces_nao_ortogonais));
        if (f.faces_acima_de_90 > 0) acrescenta(s, " (%lld beyond 90)", ll(f.faces_acima_de_90));
        indefinidos(s, f.nao_ortogonalidade_indefinida, "faces");
        acrescenta(s, "\n      worst: %s\n", descreve_face(m, f.pior_nao_ortogonal).c_str());
    }

    if (f.assimetria_indefinida == f.faces.total) {
        acrescenta(s, "  %s: undefined at all %lld faces (%s)\n", nome::assimetria_face, ll(f.faces.total),
                   causa);
    } else {
        acrescenta(s, "  %s: max %.6g (%lld faces); limit %g: %lld faces beyond", nome::assimetria_face,
                   f.assimetria_max, ll(f.faces.total), limite_assimetria_face, ll(f.faces_assimetricas));
        indefinidos(s, f.assimetria_indefinida, "faces");
        acrescenta(s, "\n      worst: %s\n", descreve_face(m, f.pior_assimetria).c_str());
    }

    if (f.razao_aspecto_indefinida == m.nvol) {
        acrescenta(s, "  %s: undefined at all %lld cells (%s)\n", nome::razao_aspecto_celula, ll(m.nvol),
                   causa);
    } else {
        acrescenta(s, "  %s: max %.6g (%lld cells); limit %g: %lld cells beyond", nome::razao_aspecto_celula,
                   f.razao_aspecto_max, ll(m.nvol), limite_razao_aspecto_celula, ll(f.celulas_alongadas));
        indefinidos(s, f.razao_aspecto_indefinida, "cells");
        acrescenta(s, "\n      worst: %s\n", volume_texto(m, f.pior_razao_aspecto).c_str());
    }

    if (f.volume_indefinido == m.nvol) {
        acrescenta(s, "  %s: undefined at all %lld cells (%s)\n", nome::volume_celula, ll(m.nvol), causa);
    } else {
        acrescenta(s, "  %s: min %.6g, max %.6g, total %.6g; limit %g: %lld cells below", nome::volume_celula,
                   f.volume_min, f.volume_max, f.volume_total, menor_volume_celula,
                   ll(f.volumes_nao_positivos));
        indefinidos(s, f.volume_indefinido, "cells");
        acrescenta(s, "\n      smallest: %s; largest: %s\n", volume_texto(m, f.menor_volume).c_str(),
                   volume_texto(m, f.maior_volume).c_str());
    }
}

verificacao verifica_malha(const dados_resumo& d, bool indefinido) {
    const malha_lida& m = *d.malha;
    const medidas_malha& med = *d.medidas;
    const figuras_checkmesh& f = *d.checkmesh;
    const auto ll = [](std::int64_t v) { return static_cast<long long>(v); };
    verificacao v;
    auto falha_se = [&](bool falhou, const std::string& texto) {
        ++v.checagens;
        if (falhou) v.falhas.push_back(texto);
    };
    std::string t;

    std::int64_t invertidos = 0, primeiro = 0;
    for (std::size_t p = 1; p < med.invertido.size(); ++p)
        if (med.invertido[p] && invertidos++ == 0) primeiro = static_cast<std::int64_t>(p);
    t.clear();
    acrescenta(t, "%s volumes: %lld, the first %s; there must be none", nome::invertido, ll(invertidos),
               volume_texto(m, primeiro).c_str());
    falha_se(invertidos > 0, t);

    const estatistica jac = estatistica_de(med.jacobiano_escalado, true);
    t.clear();
    acrescenta(t, "%s: min %.6g at %s; it must be above 0 everywhere", nome::jacobiano_escalado, jac.minimo,
               volume_texto(m, jac.pior).c_str());
    falha_se(jac.contados > 0 && !(jac.minimo > 0.0), t);

    t.clear();
    acrescenta(t, "%s: max %.6g, beyond checkMesh's limit %g at %lld faces, the worst %s",
               nome::nao_ortogonalidade_face, f.nao_ortogonalidade_max, limite_nao_ortogonalidade,
               ll(f.faces_nao_ortogonais), descreve_face(m, f.pior_nao_ortogonal).c_str());
    falha_se(f.faces_nao_ortogonais > 0, t);

    t.clear();
    acrescenta(t, "%s: max %.6g, beyond checkMesh's limit %g at %lld faces, the worst %s",
               nome::assimetria_face, f.assimetria_max, limite_assimetria_face, ll(f.faces_assimetricas),
               descreve_face(m, f.pior_assimetria).c_str());
    falha_se(f.faces_assimetricas > 0, t);

    t.clear();
    acrescenta(t, "%s: max %.6g, beyond checkMesh's limit %g at %lld cells, the worst %s",
               nome::razao_aspecto_celula, f.razao_aspecto_max, limite_razao_aspecto_celula,
               ll(f.celulas_alongadas), volume_texto(m, f.pior_razao_aspecto).c_str());
    falha_se(f.celulas_alongadas > 0, t);

    t.clear();
    acrescenta(t, "%s: min %.6g, below checkMesh's limit %g at %lld cells, the smallest %s",
               nome::volume_celula, f.volume_min, menor_volume_celula, ll(f.volumes_nao_positivos),
               volume_texto(m, f.menor_volume).c_str());
    falha_se(f.volumes_nao_positivos > 0, t);

    falha_se(indefinido,
             "undefined: some measure, figure or the residual is undefined (the summary says where)");
    return v;
}

std::string texto_verificacao(const verificacao& v) {
    std::string s;
    if (v.falhas.empty()) {
        acrescenta(s, "\nverification (--verifica): passed, none of the %d checks fails\n", v.checagens);
        return s;
    }
    acrescenta(s, "\nverification (--verifica): FAILED, %zu of %d checks:\n", v.falhas.size(), v.checagens);
    for (const std::string& f : v.falhas)
        s += "  " + f + "\n";
    return s;
}

}  // namespace malhas_qualidade
