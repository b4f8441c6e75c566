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

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Vertex number of (i, j) and first vertex of volume (i, j).
inline std::int64_t vertice(const malha_lida& m, std::int64_t i, std::int64_t j) {
    return (j - 1) * m.nvert_ksi + i;
}

// The value of a coordinate field's text (blanks before it dropped) as the
// report file's parser takes it; false when it is not a finite number.
bool le_real_campo(std::string_view campo, double& valor);

// The sizes of a mesh of nvol_ksi x nvol_eta volumes, derived as the report
// file gives them, and x and y of every vertex set to zero: for a mesh made
// other than by reading (tests, the fuzz target).
void dimensiona(malha_lida& m, std::int32_t nvol_ksi, std::int32_t nvol_eta);

// Fail with falha_qualidade naming the file and the line.
void le_relatorio(const std::string& caminho, malha_lida& m);
void le_volumes(const std::string& caminho, const malha_lida& m);

// The same parsers on bytes in memory, as if they were the named file.
void le_relatorio_memoria(const std::string& nome, const std::string& bytes, malha_lida& m);
void le_volumes_memoria(const std::string& nome, const std::string& bytes, const malha_lida& m);

}  // namespace malhas_qualidade
