// The verdict of --verifica: every check checkMesh -allGeometry
// -allTopology makes, and the companion's own.
#include "malhas_qualidade/resumo/verificacao.hpp"

#include <cmath>
#include <utility>

namespace malhas_qualidade {

namespace {

// Where the first failure is, when there is one.
void primeira(std::string& t, std::int64_t falhas, const std::string& onde) {
    if (falhas > 0) t += ", the first " + onde;
}

// A check's line: its verdict, then what it says.
void poe(std::vector<checagem>& grupo, bool falhou, std::string texto) {
    grupo.push_back({falhou, std::move(texto)});
}

long long ll(std::int64_t v) {
    return static_cast<long long>(v);
}

// The checks of a plain checkMesh, in its order.
void confere_simples(verificacao& v, const malha_lida& m, const figuras_checkmesh& f) {
    std::string t;
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
        f.abertura_celula.valor, descreve_volume(f.abertura_celula.onde, m.nvol_ksi).c_str(), limite_abertura,
        ll(f.abertura_celula.falhas), nome::razao_aspecto_celula, f.razao_aspecto_max,
        descreve_volume(f.pior_razao_aspecto, m.nvol_ksi).c_str(), limite_razao_aspecto_celula,
        ll(f.celulas_alongadas));
    poe(v.simples, f.abertura_celula.falhas + f.celulas_alongadas > 0, t);
    t.clear();
    // checkMesh starts its extremes of the face areas at 1e15 and -1e15.
    acrescenta(t, "face area: min %.6g at %s, max %.6g; limit %g: %lld faces below",
               std::min(f.area_face.valor, 1.0e15), descreve_face(m, f.area_face.onde).c_str(),
               std::max(f.area_face_max, -1.0e15), menor_area_face, ll(f.area_face.falhas));
    poe(v.simples, f.area_face.falhas > 0, t);
    t.clear();
    acrescenta(t, "%s: min %.6g at %s; limit %g: %lld cells below", nome::volume_celula, f.volume_min,
               descreve_volume(f.menor_volume, m.nvol_ksi).c_str(), menor_volume_celula,
               ll(f.volumes_nao_positivos));
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
}

// The checks -allGeometry adds, and checkMesh's warnings.
void confere_geometria(verificacao& v, const malha_lida& m, const figuras_checkmesh& f) {
    std::string t;
    acrescenta(t, "face tets: %lld failures (a decomposition tet of quality below %g)",
               ll(f.tetraedros.falhas), limite_qualidade_tetraedro);
    primeira(t, f.tetraedros.falhas, descreve_face(m, f.tetraedros.onde));
    poe(v.geometria, f.tetraedros.falhas > 0, t);
    t.clear();
    acrescenta(t, "cell determinant: min %.6g at %s, average %.6g; limit %g: %lld cells below",
               f.determinante.valor, descreve_volume(f.determinante.onde, m.nvol_ksi).c_str(),
               f.determinante_medio, limite_determinante, ll(f.determinante.falhas));
    poe(v.geometria, f.determinante.falhas > 0, t);
    t.clear();
    acrescenta(t, "concave cells: %lld", ll(f.celulas_concavas.falhas));
    primeira(t, f.celulas_concavas.falhas, descreve_volume(f.celulas_concavas.onde, m.nvol_ksi));
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
}

// The companion's own: a volume that turns against the mesh, or a corner
// that folds, is no volume a solver can use, whatever a cell's faces say.
void confere_proprias(verificacao& v, const malha_lida& m, const medidas_malha& med) {
    std::string t;
    std::int64_t invertidos = 0, primeiro = 0;
    for (std::size_t p = 1; p < med.invertido.size(); ++p)
        if (med.invertido[p] && invertidos++ == 0) primeiro = static_cast<std::int64_t>(p);
    std::int64_t sem_orientacao = 0;
    for (std::size_t p = 1; p < med.area.size(); ++p)
        sem_orientacao += std::isnan(med.area[p]) ? 1 : 0;
    t.clear();
    acrescenta(t, "%s volumes: %lld", nome::invertido, ll(invertidos));
    primeira(t, invertidos, descreve_volume(primeiro, m.nvol_ksi));
    t += "; there must be none";
    acrescenta_indefinidos(t, sem_orientacao, "volumes");
    poe(v.proprias, invertidos + sem_orientacao > 0, t);
    const estatistica jac = estatistica_de(med.jacobiano_escalado, true);
    t.clear();
    acrescenta(t, "%s: min %.6g at %s; it must be above 0 everywhere", nome::jacobiano_escalado, jac.minimo,
               descreve_volume(jac.pior, m.nvol_ksi).c_str());
    acrescenta_indefinidos(t, jac.indefinidos, "volumes");
    poe(v.proprias, jac.indefinidos > 0 || (jac.contados > 0 && !(jac.minimo > 0.0)), t);
}

}  // namespace

verificacao verifica_malha(const dados_resumo& d) {
    const figuras_checkmesh& f = *d.checkmesh;
    verificacao v;
    confere_simples(v, *d.malha, f);
    confere_geometria(v, *d.malha, f);
    confere_proprias(v, *d.malha, *d.medidas);
    v.indefinida = f.indefinido();
    if (v.indefinida) {
        const std::string t = "checkMesh's figures: undefined somewhere (" +
                              std::string(causa_indefinida_medida) +
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
