// cryptfile: enciphers or deciphers a file whole with the player maker's template cipher.
//
//   cryptfile encipher|decipher [--key KEY] INPUT OUTPUT
//
// Without --key the key of the player-script templates is used. The output is replaced
// only when the whole result could be written.
#include <cstdio>
#include <cstring>
#include <string>

#include "playermaker/cipher.h"
#include "playermaker/morvbrindle.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: cryptfile encipher|decipher [--key KEY] INPUT OUTPUT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    int mode;
    if (std::strcmp(argv[1], "encipher") == 0) {
        mode = 0;
    } else if (std::strcmp(argv[1], "decipher") == 0) {
        mode = 1;
    } else {
        return Usage();
    }
    std::string key(morvbrindle::kTemplateKey);
    int arg = 2;
    if (arg < argc && std::strcmp(argv[arg], "--key") == 0) {
        if (arg + 1 >= argc) return Usage();
        key = argv[arg + 1];
        arg += 2;
    }
    if (argc - arg != 2 || key.empty()) return Usage();
    const char* input = argv[arg];
    const char* output = argv[arg + 1];
    const int result = generateCryptFile(mode, key.c_str(), input, output);
    if (result != 0) {
        std::fprintf(stderr, "cryptfile: %s -> %s failed (error %d: %s)\n", input, output, result,
                     result == kbnErrCannotWrite ? "the output cannot be written"
                                                 : "the input cannot be read");
        return 1;
    }
    return 0;
}
