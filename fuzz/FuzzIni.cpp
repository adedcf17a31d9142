// The settings file: read the keys the input names (the first sixteen; each
// read opens the file anew) and the ones the program uses, then write one
// and read it back.

#include "FuzzFile.h"
#include "settings/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::limitForFuzzing();
    const std::string path = abm::fuzz::scratchFile(data, size, ".INI");
    abm::IniFile ini(path);
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0, keys = 0;
    while (start < text.size() && keys < 16) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos && eq < 256) {
            ini.readString("TMForm", line.substr(0, eq), "");
            ++keys;
        }
        start = end + 1;
    }
    for (const char* key : {"LoadImg", "SaveBmp", "SavePath", "FormVersion", "NormPos", "ShowCmd"})
        ini.readInteger("TMForm", key, 0);
    // Whatever the file held, a value written reads back unchanged.
    try {
        ini.writeString("TMForm", "SavePath", "/fuzz/");
    } catch (const std::exception&) {
        return 0;
    }
    if (ini.readString("TMForm", "SavePath", "") != "/fuzz/")
        __builtin_trap();
    return 0;
}
