// A mesh as the result files hold it, and their two parsers.
//
// The report file gives the four sizes and every vertex's coordinates; the
// volume file gives the four corners of every volume. The parsers check that
// the two agree with each other and with the structured numbering (vertex
// lines in order 1 .. nvert, volume lines in order 1 .. nvol, each volume's
// corners those of its (i, j)), so that every later step may rely on it.
// The files must be as malhas_segmentos writes them: every line of its fixed
// length, in its fixed columns, ended by CR LF, the last one included, so
// that a file cut short or changed by hand is named as such and never read
// as a mesh it does not hold.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "variaveis/numeracao.hpp"

namespace malhas_qualidade {

struct malha_lida {
    std::int32_t nvol_ksi = 0;
    std::int32_t nvol_eta = 0;
    std::int32_t nvert_ksi = 0;
    std::int32_t nvert_eta = 0;
    std::int64_t nvert = 0;
    std::int64_t nvol = 0;
    // Indexed by vertex number, 1 .. nvert; element 0 is unused.
    std::vector<double> x;
    std::vector<double> y;
};

// Vertex number of (i, j), and so the first corner of volume (i, j); volume
// number of (i, j); the corners of the volume whose first corner is vertex b
// (variaveis/numeracao.hpp, the one numbering).
inline std::int64_t vertice(const malha_lida& m, std::int64_t i, std::int64_t j) {
    return variaveis::numero_vertice(i, j, m.nvert_ksi);
}
inline std::int64_t volume(const malha_lida& m, std::int64_t i, std::int64_t j) {
    return variaveis::numero_volume(i, j, m.nvol_ksi);
}
inline std::array<std::int64_t, 4> cantos(const malha_lida& m, std::int64_t b) {
    return variaveis::cantos_volume<std::int64_t>(b, m.nvert_ksi);
}

// A volume and a vertex as the messages name them, by number and indices
// ("volume 5 (5, 1)", "vertex 33 (8, 2)"), on rows of n_ksi; "-" for 0,
// none.
std::string descreve_volume(std::int64_t p, std::int64_t nvol_ksi);
std::string descreve_vertice(std::int64_t v, std::int64_t nvert_ksi);

// The interior vertices of a mesh of nvert_ksi x nvert_eta vertices: those
// the smoothing moves.
inline std::int64_t vertices_interiores(std::int64_t nvert_ksi, std::int64_t nvert_eta) {
    return (nvert_ksi > 2 ? nvert_ksi - 2 : 0) * (nvert_eta > 2 ? nvert_eta - 2 : 0);
}

// The sizes of a mesh of nvol_ksi x nvol_eta volumes, derived as the run
// derives them, and x and y of every vertex set to zero: for a mesh made
// other than by reading (tests, the fuzz target).
void dimensiona(malha_lida& m, std::int32_t nvol_ksi, std::int32_t nvol_eta);

// Fail with falha_qualidade naming the file and the line.
void le_relatorio(const std::string& caminho, malha_lida& m);
void le_volumes(const std::string& caminho, const malha_lida& m);

// The same parsers on bytes in memory, as if they were the named file.
void le_relatorio_memoria(const std::string& nome, const std::string& bytes, malha_lida& m);
void le_volumes_memoria(const std::string& nome, const std::string& bytes, const malha_lida& m);

}  // namespace malhas_qualidade
