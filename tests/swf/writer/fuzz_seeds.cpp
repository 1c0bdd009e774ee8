// Writes the clip fuzzer's seeds: clips that cost a careless reader gigabytes.
#include <filesystem>
#include <string>

#include "fixtures.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    int i = 0;
    for (const swftest::ClipBomb& bomb : swftest::ClipBombs())
        swftest::WriteFile((dir / ("bomb" + std::to_string(i++) + ".swf")).string(), bomb.file);
    return 0;
}
