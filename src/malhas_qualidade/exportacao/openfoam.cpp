// The OpenFOAM case's constant/polyMesh: the points, faces, owner,
// neighbour and boundary files, in ASCII, put in place as a whole.
#include "malhas_qualidade/exportacao/openfoam.hpp"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <utility>

#include "malhas_qualidade/comum/caminhos.hpp"
#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/comum/numeros.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "tempo_execucao/fios.hpp"
#include "tempo_execucao/sistema.hpp"

namespace malhas_qualidade {

namespace {

const char* const arquivos_polymesh[] = {"points", "faces", "owner", "neighbour", "boundary"};

using caminhos::junta;
using namespace openfoam;

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
void em_dois_fios(const std::function<void(int)>& parte) {
    std::exception_ptr falhas[2];
    auto protegida = [&](int k) {
        try {
            parte(k);
        } catch (...) {
            falhas[k] = std::current_exception();
        }
    };
    if (tempo_execucao::fios_de_execucao() >= 2 && tempo_execucao::reserva_fios(2) == 2) {
        tempo_execucao::em_fios_mascarados(2, protegida);
    } else {
        protegida(0);
        if (!falhas[0]) protegida(1);
    }
    for (const std::exception_ptr& f : falhas)
        if (f) std::rethrow_exception(f);
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
            q = escreve_inteiro(q, r[k]);
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
        char* q = escreve_inteiro(inicio, valor);
        *q++ = '\n';
        confirma(s, static_cast<std::size_t>(q - inicio));
    });
    escreve(s, ")\n");
}

void escreve_fronteira(saida_atomica& s, const contagem_faces& c, const fronteiras& f) {
    escreve(s, cabecalho("polyBoundaryMesh", "constant/polyMesh", "boundary"));
    std::string t = std::to_string(n_patches) + "\n(\n";
    for (int k = 0; k < n_patches; ++k) {
        const fronteira& b = f.de[k];
        t += "    " + b.nome + "\n    {\n        type            " + b.tipo + ";\n";
        // As OpenFOAM writes them: a wall, and a patch of a constraint type,
        // in the group of its type.
        if (b.tipo != "patch") t += "        inGroups        List<word> 1(" + b.tipo + ");\n";
        t += "        nFaces          " + std::to_string(c.tamanho[k]) + ";\n        startFace       " +
             std::to_string(c.inicio[k]) + ";\n    }\n";
    }
    t += ")\n";
    escreve(s, t);
}

}  // namespace

exportacao_openfoam escreve_openfoam(const std::string& pasta, const extrusao& e, const fronteiras& f) {
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
            escreve_arquivo(nova, 4, [&](saida_atomica& s) { escreve_fronteira(s, c, f); });
        }
    };
    em_dois_fios(grupo);

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
