// The names of the result files, and the rule that no result file may be an
// input file or another result file.
#pragma once

#include <string>

#include "processamento/arquivo_saida.hpp"

namespace processamento {

inline constexpr char nome_malha[] = "malha.txt";
inline constexpr char nome_entradas[] = "entradas.txt";
inline constexpr char nome_eq_elipticas[] = "entrada_eq_elipticas.txt";

// s without its trailing blanks.
std::string sem_brancos_finais(const std::string& s);

// The base of the result names: the case name shifted left over its leading
// blanks, its trailing blanks dropped.
std::string base_do_nome(const std::string& nome_caso);
// The names of the report file (base + ".txt") and of the volume file
// (base + "_vert.txt"), without padding: the one rule by which both programs
// know which files belong to a case.
std::string nome_relatorio(const std::string& nome_caso);
std::string nome_volumes(const std::string& nome_caso);

// A case name such as "malha" or "entradas" would make a result file out of
// an input or out of another result: the run would destroy the case file or
// interleave two outputs. Both end the run with the F102 OPEN report naming
// the result file. Before opening, names are compared as written, by what
// they resolve to with every link followed (a dangling one included, since
// opening creates its target), and, for files that exist, by their identity
// on disk (hard links, case-insensitive file systems); after opening, by the
// identity of the open files, as a last guard.
void confere_nomes_distintos(const std::string resultados[3]);

// Before any result file is opened: a name that is a device's (Windows), or
// that leads to something other than a regular file (a folder, FIFO, socket
// or device, through links too), ends the run with the F101 OPEN report, so
// that nothing is created or changed and no open can block.
void confere_nomes_abriveis(const std::string resultados[3]);

// Where a name leads when it is opened for writing: every symbolic link on
// the way followed, a last one whose target does not exist yet included.
std::string destino_resolvido(const std::string& nome);

// Whether two names lead to one file, by any spelling: as written, by where
// they resolve, and, for files that exist, by their identity on disk (hard
// links, case-insensitive file systems).
bool leva_ao_mesmo_arquivo(const std::string& a, const std::string& b);
// After opening; entradas are the names of the two input files, made before
// the results were opened, so that the check allocates nothing.
void confere_abertos_distintos(arquivo_saida* arquivos[3], const std::string entradas[2]);

}  // namespace processamento
