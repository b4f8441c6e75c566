// The OpenFOAM case: constant/polyMesh of the mesh extruded to one layer of
// hexahedra, ASCII, and the system files a case without them needs.
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <utility>

#include "malhas_qualidade/arquivo_lido.hpp"
#include "malhas_qualidade/caminhos.hpp"
#include "malhas_qualidade/erros.hpp"
#include "malhas_qualidade/exportacao_solver.hpp"
#include "malhas_qualidade/saida.hpp"
#include "tempo_execucao/linhas_execucao.hpp"
#include "tempo_execucao/sistema.hpp"

namespace malhas_qualidade {

namespace {

const char* const arquivos_polymesh[] = {"points", "faces", "owner", "neighbour", "boundary"};
const char* const arquivos_sistema[] = {"controlDict", "fvSchemes", "fvSolution"};

using caminhos::junta;

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

std::string cabecalho(const char* classe, const char* local, const char* objeto,
                      const std::string& nota = "") {
    std::string s = "FoamFile\n{\n    version     2.0;\n    format      ascii;\n    class       " +
                    std::string(classe) + ";\n";
    if (!nota.empty()) s += "    note        \"" + nota + "\";\n";
    s += "    location    \"" + std::string(local) + "\";\n    object      " + objeto + ";\n}\n\n";
    return s;
}

// The new polyMesh folder while it is written: it and every file in it are
// registered for removal on an interruption, and removed if the run fails
// before the folder takes its place.
struct pasta_nova {
    std::string nome;
    int registro = -1;
    std::vector<std::pair<std::string, int>> arquivos;
    bool no_lugar = false;

    pasta_nova() = default;
    pasta_nova(const pasta_nova&) = delete;
    pasta_nova& operator=(const pasta_nova&) = delete;
    ~pasta_nova() {
        for (const auto& [arquivo, registro_arquivo] : arquivos)
            if (!no_lugar) sistema::remove_arquivo(arquivo.c_str());
        if (!nome.empty() && !no_lugar) sistema::remove_pasta_vazia(nome.c_str());
        esquece();
    }
    // Out of the table of temporaries; allocates nothing.
    void esquece() {
        for (auto& a : arquivos) {
            sistema::esquece_temporario(a.second);
            a.second = -1;
        }
        sistema::esquece_temporario(registro);
        registro = -1;
    }
};

// Writes file k of the new folder, registered before it exists.
template <class F>
void escreve_arquivo(const pasta_nova& p, std::size_t k, F&& conteudo) {
    saida_atomica s;
    abre_saida(s, p.arquivos[k].first);
    conteudo(s);
    conclui_saida(s);
}

// parte(0) and parte(1), on two threads when the run may use two, else one
// after the other. A failure on either is raised here, the first one's
// first, once both have ended.
void em_duas_linhas(const std::function<void(int)>& parte) {
    std::exception_ptr falhas[2];
    auto protegida = [&](int k) {
        try {
            parte(k);
        } catch (...) {
            falhas[k] = std::current_exception();
        }
    };
    if (tempo_execucao::linhas_de_execucao() >= 2 && tempo_execucao::reserva_linhas(2) == 2) {
        tempo_execucao::em_linhas_mascaradas(2, protegida);
    } else {
        protegida(0);
        if (!falhas[0]) protegida(1);
    }
    for (const std::exception_ptr& f : falhas)
        if (f) std::rethrow_exception(f);
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

// A label (0 or more) in decimal, two digits at a time: the faces, owner
// and neighbour files hold tens of millions of them.
constexpr char pares_digitos[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline char* inteiro(char* q, std::int64_t v) {
    auto u = static_cast<std::uint64_t>(v);
    int n = 1;
    for (std::uint64_t limite = 10; n < 20 && u >= limite; limite *= 10)
        ++n;
    char* f = q + n;
    while (u >= 100) {
        f -= 2;
        std::memcpy(f, pares_digitos + 2 * (u % 100), 2);
        u /= 100;
    }
    if (u >= 10) {
        std::memcpy(f - 2, pares_digitos + 2 * u, 2);
    } else {
        f[-1] = static_cast<char>('0' + u);
    }
    return q + n;
}

void escreve_pontos(saida_atomica& s, const extrusao& e) {
    const malha_lida& m = *e.m;
    escreve(s, cabecalho("vectorField", "constant/polyMesh", "points"));
    escreve(s, std::to_string(2 * m.nvert) + "\n(\n");
    char z[40];
    const std::size_t nz = static_cast<std::size_t>(escreve_real(z, e.espessura) - z);
    for (int camada = 0; camada < 2; ++camada) {
        for (std::int64_t v = 1; v <= m.nvert; ++v) {
            char* const inicio = reserva(s, 128);
            char* q = inicio;
            *q++ = '(';
            q = escreve_real(q, m.x[static_cast<std::size_t>(v)]);
            *q++ = ' ';
            q = escreve_real(q, m.y[static_cast<std::size_t>(v)]);
            *q++ = ' ';
            if (camada == 0) {
                *q++ = '0';
            } else {
                std::memcpy(q, z, nz);
                q += nz;
            }
            *q++ = ')';
            *q++ = '\n';
            confirma(s, static_cast<std::size_t>(q - inicio));
        }
    }
    escreve(s, ")\n");
}

void escreve_faces(saida_atomica& s, const extrusao& e, const contagem_faces& c) {
    escreve(s, cabecalho("faceList", "constant/polyMesh", "faces"));
    escreve(s, std::to_string(c.total) + "\n(\n");
    para_cada_face(*e.m, [&](std::int64_t i, std::int64_t j, lado l, std::int64_t, std::int64_t) {
        std::int64_t r[4];
        pontos_face(e, i, j, l, r);
        char* const inicio = reserva(s, 128);
        char* q = inicio;
        *q++ = '4';
        *q++ = '(';
        for (int k = 0; k < 4; ++k) {
            q = inteiro(q, r[k]);
            *q++ = k < 3 ? ' ' : ')';
        }
        *q++ = '\n';
        confirma(s, static_cast<std::size_t>(q - inicio));
    });
    escreve(s, ")\n");
}

std::string nota(const contagem_faces& c) {
    return "nPoints:" + std::to_string(c.pontos) + "  nCells:" + std::to_string(c.celulas) +
           "  nFaces:" + std::to_string(c.total) + "  nInternalFaces:" + std::to_string(c.internas);
}

// owner (every face) or neighbour (the internal faces).
void escreve_celulas(saida_atomica& s, const extrusao& e, const contagem_faces& c, bool vizinhos) {
    escreve(s, cabecalho("labelList", "constant/polyMesh", vizinhos ? "neighbour" : "owner", nota(c)));
    escreve(s, std::to_string(vizinhos ? c.internas : c.total) + "\n(\n");
    para_cada_face(*e.m, [&](std::int64_t, std::int64_t, lado, std::int64_t dono, std::int64_t vizinho) {
        const std::int64_t valor = vizinhos ? vizinho : dono;
        if (valor < 0) return;
        char* const inicio = reserva(s, 32);
        char* q = inteiro(inicio, valor);
        *q++ = '\n';
        confirma(s, static_cast<std::size_t>(q - inicio));
    });
    escreve(s, ")\n");
}

void escreve_fronteira(saida_atomica& s, const contagem_faces& c) {
    escreve(s, cabecalho("polyBoundaryMesh", "constant/polyMesh", "boundary"));
    std::string t = std::to_string(n_patches) + "\n(\n";
    for (int k = 0; k < n_patches; ++k) {
        const bool vazio = k == n_patches - 1;
        t += "    " + std::string(nomes_patches[k]) + "\n    {\n        type            " +
             (vazio ? "empty" : "patch") + ";\n";
        if (vazio) t += "        inGroups        List<word> 1(empty);\n";
        t += "        nFaces          " + std::to_string(c.tamanho[k]) + ";\n        startFace       " +
             std::to_string(c.inicio[k]) + ";\n    }\n";
    }
    t += ")\n";
    escreve(s, t);
}

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

}  // namespace

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

exportacao_openfoam escreve_openfoam(const std::string& pasta, const extrusao& e) {
    const contagem_faces c = conta_faces(*e.m);
    // OpenFOAM's labels (Debian's build) are 32-bit.
    if (c.total > std::numeric_limits<std::int32_t>::max() ||
        c.pontos > std::numeric_limits<std::int32_t>::max())
        falha(pasta, 0, "cannot write the OpenFOAM case: more faces or points than 32-bit labels number");

    cria_pasta(pasta);
    cria_pasta(junta(pasta, "constant"));
    confere_sem_link(pasta);
    // The constant folder as it really is, and polyMesh in it by its own
    // name: the exchange below then moves that name, whatever it is by now,
    // and never a folder a link leads to.
    const std::string constant = caminhos::resolvido(junta(pasta, "constant"));
    const std::string destino = caminhos::junta(constant, "polyMesh");

    pasta_nova nova;
    if (sistema::cria_pasta_exclusiva(constant, "polyMesh", nova.nome, nova.registro) != 0) {
        const int numero = errno;
        nova.nome.clear();
        falha(polymesh_de(pasta), 0,
              "cannot make a new folder beside it: " + sistema::descricao_erro(numero));
    }
    // Registered before any is written, on this thread: the threads below
    // then only write.
    for (const char* arquivo : arquivos_polymesh) {
        const std::string caminho = junta(nova.nome, arquivo);
        nova.arquivos.emplace_back(caminho, sistema::registra_temporario(caminho.c_str(), false));
    }
    // The faces take about as long to format as the other four files
    // together: two threads write them side by side.
    auto grupo = [&](int k) {
        if (k == 0) {
            escreve_arquivo(nova, 1, [&](saida_atomica& s) { escreve_faces(s, e, c); });
        } else {
            escreve_arquivo(nova, 0, [&](saida_atomica& s) { escreve_pontos(s, e); });
            escreve_arquivo(nova, 2, [&](saida_atomica& s) { escreve_celulas(s, e, c, false); });
            escreve_arquivo(nova, 3, [&](saida_atomica& s) { escreve_celulas(s, e, c, true); });
            escreve_arquivo(nova, 4, [&](saida_atomica& s) { escreve_fronteira(s, c); });
        }
    };
    em_duas_linhas(grupo);

    // Before the mesh goes in: a failure here leaves the old mesh.
    exportacao_openfoam feita;
    feita.sistema = escreve_sistema(pasta);

    // Once the new mesh is in place the export is done, and the old one is
    // removed to the last file before an interruption may end the run: cut
    // in two, the step would leave the old mesh under a hidden name and an
    // exit status saying that nothing was replaced.
    sistema::adia_interrupcoes();
    std::string antiga;
    if (sistema::substitui_pasta(nova.nome.c_str(), destino.c_str(), antiga) != 0) {
        const int numero = errno;
        if (const int sinal = sistema::retoma_interrupcoes(); sinal != 0)
            sistema::termina_interrompido(sinal);
        falha(polymesh_de(pasta), 0, "cannot put the new mesh in place: " + sistema::descricao_erro(numero));
    }
    nova.no_lugar = true;
    const int removida = antiga.empty() ? 0 : sistema::remove_arvore(antiga.c_str());
    const int numero = errno;
    // The new folder's names now name the old mesh's remains: forgotten
    // before an interruption could act on them.
    nova.esquece();
    feita.interrupcao = sistema::retoma_interrupcoes();
    if (removida != 0)
        falha(antiga, 0,
              "the new mesh is in place, but the old one could not be removed from here: " +
                  sistema::descricao_erro(numero));
    return feita;
}

}  // namespace malhas_qualidade
