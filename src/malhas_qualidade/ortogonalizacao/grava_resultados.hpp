// --grava: a mesh written as malhas_segmentos writes its result files, byte
// for byte in its formats (the report file, "malha.txt", the volume file),
// into a folder of its own, so that the program's tools and this one read it
// as any case.
#pragma once

#include <string>
#include <vector>

#include "malhas_qualidade/leitura/malha_lida.hpp"

namespace malhas_qualidade::ortogonalizacao {

// The files --grava writes into pasta for the case named nome_caso (as the
// case file gives it): the three result files, then the case file.
std::vector<std::string> arquivos_gravados(const std::string& pasta, const std::string& nome_caso);

// Writes the three result files of m into pasta (created when it does not
// exist; its parent must), each replaced only once it is complete, and, when
// pasta has none, a case file naming the case and its sizes, so that
// malhas_qualidade pasta reads them; returns that file's name when it was
// written, else an empty text. Fails with falha_qualidade.
std::string grava_resultados(const std::string& pasta, const std::string& nome_caso, const malha_lida& m);

}  // namespace malhas_qualidade::ortogonalizacao
