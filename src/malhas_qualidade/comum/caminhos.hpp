// File names as malhas_qualidade joins, compares and resolves them.
//
// Plain text and the system's own calls, not std::filesystem: libstdc++ 12's
// path::lexically_normal (and weakly_canonical, which calls it) frees a bad
// pointer when an allocation fails inside it, and these names are worked on
// before every export. Here every allocation is a std::string's, whose
// failure is the ordinary bad_alloc that the run reports as insufficient
// memory; an answer the system could not give for want of memory is
// reported the same way, never taken for a name that does not exist.
//
// Names are compared in their generic form: '/' between parts (either
// separator on Windows), no "." part, a ".." part taken out with the part
// before it, no separator at the end; in lower case where the file system
// ignores case.
#pragma once

#include <string>
#include <string_view>

#include "tempo_execucao/sistema.hpp"

namespace malhas_qualidade::caminhos {

// nome in the folder pasta: nome alone when pasta is empty; the separator
// (the system's own, or '/' for names in generic form) added unless pasta
// ends in one or is a drive ("C:", whose names go on without one).
std::string junta(std::string_view pasta, std::string_view nome,
                  char separador = sistema::separador_nativo());

// Whether the name ends with the extension (".csv", ".vtu"), in any case.
bool termina_em(std::string_view nome, std::string_view extensao);

// The generic form of a name, as written (links are not looked at).
std::string normal(std::string_view nome);

// The folder part and the last part of a name in generic form: "/a/b" gives
// "/a" and "b", "/b" gives "/" and "b", "b" gives "" and "b".
std::string pasta_de(std::string_view nome);
std::string nome_de(std::string_view nome);

// Where a name leads when it is opened for writing, in generic form:
// absolute, its folders' links resolved, and a last part that is a link
// followed, a dangling one included (opening for writing creates its
// target).
std::string resolvido(const std::string& nome);

// Whether two names lead to one file, by any spelling: as written, by where
// they lead, and, for files that exist, by their identity on disk (hard
// links, case-insensitive file systems).
bool mesmo_arquivo(const std::string& a, const std::string& b);

// Whether nome lies inside the folder pasta (at any depth), by where they
// lead or, where the folder exists, by the identity of one of nome's
// folders.
bool dentro_de(const std::string& nome, const std::string& pasta);

}  // namespace malhas_qualidade::caminhos
