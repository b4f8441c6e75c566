// The measures a picture of the mesh can colour its volumes by, by name: one
// entry per measure, each giving one value per volume. A measure of the
// vertices is given per volume as the worst at its corners. A new measure
// (one of the faces, say) is one more entry in the table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"

namespace malhas_qualidade {

// What the values are computed from; residuo is null when the residual was
// not computed.
struct fontes_medida {
    const malha_lida* malha = nullptr;
    const medidas_malha* medidas = nullptr;
    const residuo_malha* residuo = nullptr;
};

struct medida_volume {
    const char* nome;     // the measure's one name (medidas.hpp)
    const char* unidade;  // for the colour bar: "" or "degrees"
    bool pior_menor;      // the worst volume has the smallest value
    bool precisa_residuo;
    // Fills valores[1 .. nvol] (element 0 unused); not a number where the
    // measure is undefined.
    void (*valores)(const fontes_medida& f, std::vector<double>& valores);
};

const std::vector<medida_volume>& medidas_volume();

// The entry of that name, or null.
const medida_volume* procura_medida_volume(std::string_view nome);

// The names, comma-separated, for messages and the help text.
std::string nomes_medidas_volume();

}  // namespace malhas_qualidade
