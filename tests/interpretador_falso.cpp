// Stand-in for the command interpreter in the launcher tests. It appends one
// line per start to the file named by MALHAS_LOG: its arguments after the
// program name, separated by a bar. The exit code comes from MALHAS_SAIDA
// (0 when unset).
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (const char* log = std::getenv("MALHAS_LOG")) {
        if (std::FILE* f = std::fopen(log, "ab")) {
            for (int k = 1; k < argc; ++k)
                std::fprintf(f, "%s%s", k > 1 ? "|" : "", argv[k]);
            std::fputc('\n', f);
            std::fclose(f);
        }
    }
    const char* saida = std::getenv("MALHAS_SAIDA");
    return saida ? std::atoi(saida) : 0;
}
