// The mesh's numbering, written once for every module and the companion
// program: which number a vertex and a volume have, which vertices are a
// volume's corners, and the sizes that follow from the volume counts.
//
// Indices and numbers start at 1. Vertex (i, j), i = 1 .. nvert_ksi and
// j = 1 .. nvert_eta, is number (j - 1) * nvert_ksi + i; volume (i, j),
// i = 1 .. nvol_ksi and j = 1 .. nvol_eta, is number (j - 1) * nvol_ksi + i,
// and its first corner is vertex (i, j). Numbers are formed in 64 bits: a
// loop whose bound is the largest 32-bit count must still end.
#pragma once

#include <array>
#include <cstdint>

namespace variaveis {

// 32-bit two's complement sum and product, as the run forms its sizes; done
// in unsigned arithmetic because signed overflow is undefined in C++.
constexpr std::int32_t soma32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
constexpr std::int32_t produto32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
// Whether the product of two counts is the same in 32 bits as it truly is.
constexpr bool produto_cabe(std::int32_t a, std::int32_t b) {
    return static_cast<std::int64_t>(a) * b == produto32(a, b);
}

// The sizes of a mesh of nvol_ksi x nvol_eta volumes, derived in 32-bit two's
// complement without any check, as the run derives them.
struct tamanhos {
    std::int32_t nvol_ksi = 0, nvol_eta = 0;
    std::int32_t nvert_ksi = 0, nvert_eta = 0;
    std::int32_t nvol = 0, nvert = 0;
};
constexpr tamanhos tamanhos_de(std::int32_t nvol_ksi, std::int32_t nvol_eta) {
    tamanhos t;
    t.nvol_ksi = nvol_ksi;
    t.nvol_eta = nvol_eta;
    t.nvert_ksi = soma32(nvol_ksi, 1);
    t.nvert_eta = soma32(nvol_eta, 1);
    t.nvol = produto32(nvol_ksi, nvol_eta);
    t.nvert = produto32(t.nvert_ksi, t.nvert_eta);
    return t;
}

// The number of vertex (i, j) and of volume (i, j), and the indices of a
// number: one rule, on rows of nvert_ksi vertices or of nvol_ksi volumes.
constexpr std::int64_t numero_vertice(std::int64_t i, std::int64_t j, std::int64_t nvert_ksi) {
    return (j - 1) * nvert_ksi + i;
}
constexpr std::int64_t numero_volume(std::int64_t i, std::int64_t j, std::int64_t nvol_ksi) {
    return numero_vertice(i, j, nvol_ksi);
}
struct indices {
    std::int64_t i, j;
};
constexpr indices indices_vertice(std::int64_t v, std::int64_t nvert_ksi) {
    return {(v - 1) % nvert_ksi + 1, (v - 1) / nvert_ksi + 1};
}
constexpr indices indices_volume(std::int64_t p, std::int64_t nvol_ksi) {
    return indices_vertice(p, nvol_ksi);
}

// The corners of the volume whose first corner is vertex b, in the order of
// the corner slots 1 to 4: (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1),
// counter-clockwise in the computational plane. In the type of b: the run's
// vertex table holds 32-bit numbers.
template <class N>
constexpr std::array<N, 4> cantos_volume(N b, N nvert_ksi) {
    return {b, static_cast<N>(b + 1), static_cast<N>(b + nvert_ksi + 1), static_cast<N>(b + nvert_ksi)};
}

}  // namespace variaveis
