// The OpenFOAM case around the mesh: its folders, what the export may
// replace, and the system files a case without them needs.
#include <cerrno>

#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/exportacao/openfoam.hpp"
#include "malhas_qualidade/leitura/arquivo_lido.hpp"
#include "tempo_execucao/sistema.hpp"

namespace malhas_qualidade {

using caminhos::junta;

namespace openfoam {

std::string polymesh_de(const std::string& pasta) {
    return junta(junta(pasta, "constant"), "polyMesh");
}

// constant/polyMesh is replaced as a whole: through a link (or a link in
// place of constant) that would put the new mesh in a folder outside the
// case and remove the folder the link leads to, with whatever the user
// keeps there. Such a case is refused; the link and its folder stay.
void confere_sem_link(const std::string& pasta) {
    for (const std::string& p : {junta(pasta, "constant"), polymesh_de(pasta)})
        if (sistema::e_link(p))
            falha(p, 0,
                  "cannot write the OpenFOAM case: it is a symbolic link; --openfoam replaces "
                  "constant/polyMesh as a whole, never a folder outside the case (make it a folder "
                  "of the case's own, or give the case the link leads to)");
}

std::string cabecalho(const char* classe, const char* local, const char* objeto, const std::string& nota) {
    std::string s = "FoamFile\n{\n    version     2.0;\n    format      ascii;\n    class       " +
                    std::string(classe) + ";\n";
    if (!nota.empty()) s += "    note        \"" + nota + "\";\n";
    s += "    location    \"" + std::string(local) + "\";\n    object      " + objeto + ";\n}\n\n";
    return s;
}

// The reason reported is the one the folder's making gave (EROFS on a
// read-only file system), not that of a second look at the name.
void cria_pasta(const std::string& pasta) {
    if (sistema::e_pasta(pasta)) return;
    if (sistema::cria_pasta(pasta.c_str()) == 0) return;
    const int numero = errno;
    if (sistema::e_pasta(pasta)) return;  // made meanwhile by another run
    falha(pasta, 0, "cannot make the folder: " + sistema::descricao_erro(numero));
}

namespace {

const char* const arquivos_sistema[] = {"controlDict", "fvSchemes", "fvSolution"};

// The system files: enough for checkMesh and a first run of a solver such as
// laplacianFoam; the user's to edit, never written over.
const char texto_control_dict[] =
    "// Written by malhas_qualidade because the case had no controlDict; it is\n"
    "// never written over. writePrecision 6 makes checkMesh print the six digits\n"
    "// that malhas_qualidade's summary prints.\n"
    "application     laplacianFoam;\n"
    "startFrom       startTime;\n"
    "startTime       0;\n"
    "stopAt          endTime;\n"
    "endTime         1;\n"
    "deltaT          0.01;\n"
    "writeControl    timeStep;\n"
    "writeInterval   20;\n"
    "purgeWrite      0;\n"
    "writeFormat     ascii;\n"
    "writePrecision  6;\n"
    "writeCompression off;\n"
    "timeFormat      general;\n"
    "timePrecision   6;\n"
    "runTimeModifiable true;\n";

const char texto_fv_schemes[] =
    "// Written by malhas_qualidade because the case had no controlDict.\n"
    "ddtSchemes\n{\n    default         Euler;\n}\n\n"
    "gradSchemes\n{\n    default         Gauss linear;\n}\n\n"
    "divSchemes\n{\n    default         none;\n}\n\n"
    "// corrected: the non-orthogonal part of every face is taken into account.\n"
    "laplacianSchemes\n{\n    default         Gauss linear corrected;\n}\n\n"
    "interpolationSchemes\n{\n    default         linear;\n}\n\n"
    "snGradSchemes\n{\n    default         corrected;\n}\n";

const char texto_fv_solution[] =
    "// Written by malhas_qualidade because the case had no controlDict.\n"
    "solvers\n{\n"
    "    // Any field, symmetric matrix or not.\n"
    "    \".*\"\n    {\n"
    "        solver          GAMG;\n"
    "        smoother        GaussSeidel;\n"
    "        tolerance       1e-06;\n"
    "        relTol          0;\n"
    "    }\n}\n\n"
    "// Two extra solutions per step for the non-orthogonal part of the faces.\n"
    "SIMPLE\n{\n    nNonOrthogonalCorrectors 2;\n}\n\n"
    "PIMPLE\n{\n    nNonOrthogonalCorrectors 2;\n}\n";

std::string texto_sistema(int k) {
    const char* const textos[] = {texto_control_dict, texto_fv_schemes, texto_fv_solution};
    return cabecalho("dictionary", "system", arquivos_sistema[k]) + textos[k];
}

// Whether the file holds exactly the text, read up to one byte past it; a
// file that cannot be read does not.
bool contem_exatamente(const std::string& nome, const std::string& texto) {
    arquivo_lido a;
    try {
        abre_lido(a, nome, false);
    } catch (const falha_qualidade&) {
        return false;
    }
    std::string lido(texto.size() + 1, '\0');
    std::size_t cheio = 0;
    while (cheio < lido.size()) {
        const std::size_t n = le_bytes(a, lido.data() + cheio, lido.size() - cheio);
        if (n == 0) break;
        cheio += n;
    }
    return cheio == texto.size() && lido.compare(0, cheio, texto) == 0;
}

}  // namespace

// The system files go as a set: each missing one is written whole to a
// temporary first, and they take their names only once all are written,
// controlDict last. A failure while they are written names none; one
// between the namings leaves the set without its controlDict, which the
// next run completes. A controlDict that is not this program's marks a
// case of the user's, whose files are left as they are; one that is
// exactly this program's, with files missing beside it (a run of an earlier
// version that failed halfway), has them completed.
std::vector<std::string> escreve_sistema(const std::string& pasta) {
    std::vector<std::string> escritos;
    const std::string sistema_pasta = junta(pasta, "system");
    const std::string dict = junta(sistema_pasta, arquivos_sistema[0]);
    const sistema::tipo_nome tipo_dict = sistema::tipo_do_nome(dict);
    if (tipo_dict == sistema::tipo_nome::outro) return escritos;
    if (tipo_dict == sistema::tipo_nome::regular && !contem_exatamente(dict, texto_sistema(0)))
        return escritos;
    cria_pasta(sistema_pasta);
    saida_atomica saidas[3];
    bool pedidos[3] = {};
    for (int k : {1, 2, 0}) {
        const std::string nome = junta(sistema_pasta, arquivos_sistema[k]);
        if (sistema::tipo_do_nome(nome) != sistema::tipo_nome::ausente) continue;
        abre_saida(saidas[k], nome);
        escreve(saidas[k], texto_sistema(k));
        fecha_saida(saidas[k]);
        pedidos[k] = true;
    }
    bool nomeados[3] = {};
    for (int k : {1, 2, 0})
        nomeados[k] = pedidos[k] && conclui_saida_nova(saidas[k]);
    for (int k = 0; k < 3; ++k)
        if (nomeados[k]) escritos.push_back(saidas[k].nome);
    return escritos;
}

}  // namespace openfoam

using namespace openfoam;

void confere_destino_openfoam(const std::string& pasta) {
    const std::string pastas[] = {pasta, junta(pasta, "constant"), polymesh_de(pasta),
                                  junta(pasta, "system")};
    for (const std::string& p : pastas) {
        const std::string destino = caminhos::resolvido(p);
        if (sistema::nome_de_dispositivo(destino))
            falha(p, 0, "cannot write the OpenFOAM case: the name of a device, not of a folder");
        if (sistema::tipo_do_nome(destino) != sistema::tipo_nome::ausente && !sistema::e_pasta(destino))
            falha(p, 0, "cannot write the OpenFOAM case: it is not a folder");
    }
    confere_sem_link(pasta);
}

bool openfoam_alcanca(const std::string& pasta, const std::string& nome) {
    const std::string constant = junta(pasta, "constant"), sistema_pasta = junta(pasta, "system");
    for (const std::string& p : {pasta, constant, polymesh_de(pasta), sistema_pasta})
        if (caminhos::mesmo_arquivo(nome, p)) return true;
    for (const char* a : arquivos_sistema)
        if (caminhos::mesmo_arquivo(nome, junta(sistema_pasta, a))) return true;
    return dentro_do_polymesh(pasta, nome);
}

bool dentro_do_polymesh(const std::string& pasta, const std::string& nome) {
    return caminhos::dentro_de(nome, polymesh_de(pasta));
}

}  // namespace malhas_qualidade
