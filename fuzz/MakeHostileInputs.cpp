// Writes the hostile inputs into <folder>/<target>/ for the fuzz replays.

#include "HostileInputs.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_hostile_inputs FOLDER\n");
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    int count = 0;
    for (const auto& input : abm::fuzz::HostileInputs()) {
        std::filesystem::create_directories(root / input.kind);
        std::ofstream out(root / input.kind / input.name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(input.bytes.data()), static_cast<std::streamsize>(input.bytes.size()));
        ++count;
    }
    std::printf("wrote %d hostile inputs under %s\n", count, root.c_str());
    return 0;
}
