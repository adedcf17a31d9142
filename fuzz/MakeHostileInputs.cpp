// Writes the hostile inputs into <folder>/<target>/ for the fuzz replays, or
// with --memory-bombs the inputs the memory budget must refuse into <folder>/
// for the benchmark.

#include "HostileInputs.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv)
{
    const bool bombs = argc == 3 && std::strcmp(argv[1], "--memory-bombs") == 0;
    if (argc != 2 && !bombs) {
        std::fprintf(stderr, "usage: make_hostile_inputs [--memory-bombs] FOLDER\n");
        return 2;
    }
    const std::filesystem::path root(argv[argc - 1]);
    int count = 0;
    for (const auto& input : bombs ? abm::fuzz::memoryBombs() : abm::fuzz::hostileInputs()) {
        const std::filesystem::path folder = bombs ? root : root / input.kind;
        std::filesystem::create_directories(folder);
        abm::fuzz::writeHostileInput(folder / input.name, input);
        ++count;
    }
    std::printf("wrote %d inputs under %s\n", count, root.c_str());
    return 0;
}
