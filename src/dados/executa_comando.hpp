// The command launcher: one command line through the system's command
// interpreter, waited for until it ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dados {

// Drops the trailing blanks of the first comprimento characters of texto and
// runs them as "<interpreter> /c <command>", the interpreter being COMSPEC
// (when set and not empty) or "cmd.exe"; on POSIX systems without COMSPEC the
// platform's shell runs the command. Returns the exit code, or -1 when
// nothing was run (command longer than 1024 characters, COMSPEC longer than
// 260, or the interpreter could not be started, for want of memory too).
std::int32_t executa_comando(const char* texto, std::int32_t comprimento);

// The file name as it must stand in a command for the interpreter that
// executa_comando will use: unchanged when it holds only ordinary characters
// (letters, digits, blanks, '.', '_', '-', path separators and other bytes the
// interpreter never acts on), quoted for that interpreter otherwise, so that a
// name never makes the interpreter run anything but the one program on it.
std::string nome_para_comando(std::string_view nome);

}  // namespace dados
