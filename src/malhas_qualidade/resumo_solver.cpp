// The summary's figures for a finite-volume solver, and the verdict of
// --verifica.
#include <algorithm>
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

    const std::int64_t fronteira = 2 * (m.nvol_ksi + m.nvol_eta);
    if (f.nao_ortogonalidade_fronteira_indefinida == fronteira) {
        acrescenta(s, "  %s: undefined at all %lld faces of the boundary lines (%s)\n",
                   nome::nao_ortogonalidade_fronteira, ll(fronteira), causa);
    } else {
        acrescenta(s, "  %s: max %.6g, average %.6g (degrees, %lld faces of the four boundary lines)",
                   nome::nao_ortogonalidade_fronteira, f.nao_ortogonalidade_fronteira_max,
                   f.nao_ortogonalidade_fronteira_media, ll(fronteira));
        indefinidos(s, f.nao_ortogonalidade_fronteira_indefinida, "faces");
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

namespace {

// Where the first failure is, when there is one.
void primeira(std::string& t, std::int64_t falhas, const std::string& onde) {
    if (falhas > 0) t += ", the first " + onde;
}

// A check's line: its verdict, then what it says.
void poe(std::vector<checagem>& grupo, bool falhou, std::string texto) {
    grupo.push_back({falhou, std::move(texto)});
}

}  // namespace

verificacao verifica_malha(const dados_resumo& d) {
    const malha_lida& m = *d.malha;
    const medidas_malha& med = *d.medidas;
    const figuras_checkmesh& f = *d.checkmesh;
    const auto ll = [](std::int64_t v) { return static_cast<long long>(v); };
    verificacao v;
    std::string t;

    // The checks of a plain checkMesh, in its order.
    poe(v.simples, false,
        "topology, edge alignment with the two solution directions, coupled points: the export's numbering, "
        "its planes z = 0 and z = thickness and its patches pass them for every mesh");
    t.clear();
    acrescenta(t, "boundary openness: %.3g; limit %g", f.abertura_fronteira, limite_abertura);
    poe(v.simples, f.abertura_fronteira > limite_abertura, t);
    t.clear();
    acrescenta(
        t,
        "cell openness: max %.3g at %s; limit %g: %lld cells beyond; %s: max %.6g at %s; limit %g: %lld "
        "cells beyond",
        f.abertura_celula.valor, volume_texto(m, f.abertura_celula.onde).c_str(), limite_abertura,
        ll(f.abertura_celula.falhas), nome::razao_aspecto_celula, f.razao_aspecto_max,
        volume_texto(m, f.pior_razao_aspecto).c_str(), limite_razao_aspecto_celula, ll(f.celulas_alongadas));
    poe(v.simples, f.abertura_celula.falhas + f.celulas_alongadas > 0, t);
    t.clear();
    // checkMesh starts its extremes of the face areas at 1e15 and -1e15.
    acrescenta(t, "face area: min %.6g at %s, max %.6g; limit %g: %lld faces below",
               std::min(f.area_face.valor, 1.0e15), descreve_face(m, f.area_face.onde).c_str(),
               std::max(f.area_face_max, -1.0e15), menor_area_face, ll(f.area_face.falhas));
    poe(v.simples, f.area_face.falhas > 0, t);
    t.clear();
    acrescenta(t, "%s: min %.6g at %s; limit %g: %lld cells below", nome::volume_celula, f.volume_min,
               volume_texto(m, f.menor_volume).c_str(), menor_volume_celula, ll(f.volumes_nao_positivos));
    poe(v.simples, f.volumes_nao_positivos > 0, t);
    t.clear();
    acrescenta(t, "%s: max %.6g at %s; beyond 90 (an error): %lld faces; beyond %g (a warning): %lld",
               nome::nao_ortogonalidade_face, f.nao_ortogonalidade_max,
               descreve_face(m, f.pior_nao_ortogonal).c_str(), ll(f.faces_acima_de_90),
               limite_nao_ortogonalidade, ll(f.faces_nao_ortogonais - f.faces_acima_de_90));
    poe(v.simples, f.faces_acima_de_90 > 0, t);
    t.clear();
    acrescenta(t, "face pyramids: %lld inverted (below %g)", ll(f.piramides.falhas), limite_piramide);
    primeira(t, f.piramides.falhas, descreve_face(m, f.piramides.onde));
    poe(v.simples, f.piramides.falhas > 0, t);
    t.clear();
    acrescenta(t, "%s: max %.6g at %s; limit %g: %lld faces beyond", nome::assimetria_face, f.assimetria_max,
               descreve_face(m, f.pior_assimetria).c_str(), limite_assimetria_face, ll(f.faces_assimetricas));
    poe(v.simples, f.faces_assimetricas > 0, t);

    // The checks -allGeometry adds.
    t.clear();
    acrescenta(t, "face tets: %lld failures (a decomposition tet of quality below %g)",
               ll(f.tetraedros.falhas), limite_qualidade_tetraedro);
    primeira(t, f.tetraedros.falhas, descreve_face(m, f.tetraedros.onde));
    poe(v.geometria, f.tetraedros.falhas > 0, t);
    t.clear();
    acrescenta(t, "cell determinant: min %.6g at %s, average %.6g; limit %g: %lld cells below",
               f.determinante.valor, volume_texto(m, f.determinante.onde).c_str(), f.determinante_medio,
               limite_determinante, ll(f.determinante.falhas));
    poe(v.geometria, f.determinante.falhas > 0, t);
    t.clear();
    acrescenta(t, "concave cells: %lld", ll(f.celulas_concavas.falhas));
    primeira(t, f.celulas_concavas.falhas, volume_texto(m, f.celulas_concavas.onde));
    poe(v.geometria, f.celulas_concavas.falhas > 0, t);
    t.clear();
    if (f.faces.internas == 0) {
        poe(v.geometria, false, "face interpolation weight: no internal face");
        poe(v.geometria, false, "face volume ratio: no internal face");
    } else {
        acrescenta(t, "face interpolation weight: min %.6g at %s, average %.6g; limit %g: %lld faces below",
                   f.peso_face.valor, descreve_face(m, f.peso_face.onde).c_str(), f.peso_face_medio,
                   limite_peso_face, ll(f.peso_face.falhas));
        poe(v.geometria, f.peso_face.falhas > 0, t);
        t.clear();
        acrescenta(t, "face volume ratio: min %.6g at %s, average %.6g; limit %g: %lld faces below",
                   f.razao_volumes.valor, descreve_face(m, f.razao_volumes.onde).c_str(),
                   f.razao_volumes_media, limite_razao_volumes, ll(f.razao_volumes.falhas));
        poe(v.geometria, f.razao_volumes.falhas > 0, t);
    }
    acrescenta(v.avisos, "%lld faces with a corner concave by more than %g degrees",
               ll(f.angulo_concavo.falhas), limite_angulo_concavo);
    if (f.angulo_concavo.falhas > 0)
        acrescenta(v.avisos, " (the largest %.6g, at %s)", f.angulo_concavo.valor,
                   descreve_face(m, f.angulo_concavo.onde).c_str());
    acrescenta(
        v.avisos,
        "; face flatness min %.6g, %lld faces below %g; edge length min %.6g, max %.6g, %lld points on "
        "edges shorter than %.3g",
        f.planicidade.valor, ll(f.planicidade.falhas), limite_planicidade, f.aresta_min, f.aresta_max,
        ll(f.pontos_arestas_curtas), f.aresta_curta);

    // The companion's own: a volume that turns against the mesh, or a
    // corner that folds, is no volume a solver can use, whatever a cell's
    // faces say.
    std::int64_t invertidos = 0, primeiro = 0;
    for (std::size_t p = 1; p < med.invertido.size(); ++p)
        if (med.invertido[p] && invertidos++ == 0) primeiro = static_cast<std::int64_t>(p);
    std::int64_t sem_orientacao = 0;
    for (std::size_t p = 1; p < med.area.size(); ++p)
        sem_orientacao += std::isnan(med.area[p]) ? 1 : 0;
    t.clear();
    acrescenta(t, "%s volumes: %lld", nome::invertido, ll(invertidos));
    primeira(t, invertidos, volume_texto(m, primeiro));
    t += "; there must be none";
    indefinidos(t, sem_orientacao, "volumes");
    poe(v.proprias, invertidos + sem_orientacao > 0, t);
    const estatistica jac = estatistica_de(med.jacobiano_escalado, true);
    t.clear();
    acrescenta(t, "%s: min %.6g at %s; it must be above 0 everywhere", nome::jacobiano_escalado, jac.minimo,
               volume_texto(m, jac.pior).c_str());
    indefinidos(t, jac.indefinidos, "volumes");
    poe(v.proprias, jac.indefinidos > 0 || (jac.contados > 0 && !(jac.minimo > 0.0)), t);

    v.indefinida = f.indefinido();
    if (v.indefinida) {
        t = "checkMesh's figures: undefined somewhere (" + std::string(causa) +
            "; the summary says where): checkMesh would stop at a floating-point exception";
        poe(v.simples, true, t);
    }
    v.falhas_simples = f.falhas_checkmesh_simples();
    v.falhas_geometria = f.falhas_checkmesh_geometria();
    v.falhou = v.indefinida || v.falhas_geometria > 0;
    for (const checagem& c : v.proprias)
        v.falhou = v.falhou || c.falhou;
    return v;
}

std::string texto_verificacao(const verificacao& v) {
    std::string s;
    auto veredito = [](int n) {
        return n == 0 ? std::string("\"Mesh OK\"") : "\"Failed " + std::to_string(n) + " mesh checks\"";
    };
    int proprias = 0;
    for (const checagem& c : v.proprias)
        proprias += c.falhou ? 1 : 0;
    if (v.indefinida)
        s = "\nverification (--verifica): FAILED: checkMesh would stop at a floating-point exception";
    else if (!v.falhou)
        s = "\nverification (--verifica): passed: checkMesh -allGeometry -allTopology would say \"Mesh OK\", "
            "so "
            "would a plain checkMesh, and the companion's own checks pass";
    else
        s = "\nverification (--verifica): FAILED: checkMesh -allGeometry -allTopology would say " +
            veredito(v.falhas_geometria) + ", a plain checkMesh " + veredito(v.falhas_simples) +
            "; the companion's own checks: " + std::to_string(proprias) + " of " +
            std::to_string(v.proprias.size()) + " fail";
    s += "\n";
    auto grupo = [&](const char* titulo, const std::vector<checagem>& cs) {
        s += titulo;
        for (const checagem& c : cs)
            s += std::string(c.falhou ? "    FAILED  " : "    passed  ") + c.texto + "\n";
    };
    grupo("  the checks of every checkMesh (OpenFOAM 1912), of the mesh --openfoam writes:\n", v.simples);
    grupo("  the checks checkMesh -allGeometry adds:\n", v.geometria);
    s += "  its warnings, which fail no check: " + v.avisos + "\n";
    grupo("  the companion's own checks:\n", v.proprias);
    return s;
}

}  // namespace malhas_qualidade
