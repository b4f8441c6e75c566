#include <windows.h>

#include <string>

std::string argumentos(int, char**) {
    const char* c = GetCommandLineA();
    // The program name: quoted, or up to the first blank.
    if (*c == '"') {
        ++c;
        while (*c != '\0' && *c != '"')
            ++c;
        if (*c == '"') ++c;
    } else {
        while (*c != '\0' && *c != ' ' && *c != '\t')
            ++c;
    }
    while (*c == ' ' || *c == '\t')
        ++c;
    std::string resto(c);
    if (resto.rfind("/c ", 0) == 0) resto[2] = '|';
    return resto;
}
