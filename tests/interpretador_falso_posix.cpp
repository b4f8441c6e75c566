#include <string>

std::string argumentos(int argc, char** argv) {
    std::string s;
    for (int k = 1; k < argc; ++k) {
        if (k > 1) s += '|';
        s += argv[k];
    }
    return s;
}
