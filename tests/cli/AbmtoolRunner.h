#pragma once

// abmtool started as a program in a test folder of its own: its exit status,
// what it printed, the files it left.

#include "cli/GifWriter.h"
#include "workspace/AbmFile.h"
#include "GifBuilder.h"
#include "TestSupport.h"
#include "ProgramRun.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

namespace abm::test {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// How abmtool is started, beyond its arguments.
using Launch = ProgramLaunch;

// abmtool as the user nobody (uid and gid 65534), also in group 100.
inline const Launch kAsNobody = [] {
    Launch how;
    how.as = {"setpriv", "--reuid=65534", "--regid=65534", "--groups=100"};
    return how;
}();

class AbmtoolTest : public ::testing::Test {
protected:
    abm::test::TempDir dir;
    const fs::path gifs = abm::test::corpora() / "gif" / "wuffs";

    // Standard output goes to `how.out` when given.
    pid_t spawn(std::vector<std::string> args, Launch how = {})
    {
        args.insert(args.begin(), ABMTOOL_PATH);
        how.folder = dir.path();
        if (how.out.empty())
            how.out = dir / ".stdout";
        how.err = dir / ".stderr";
        return spawnProgram(std::move(args), how);
    }

    Outcome finish(pid_t pid)
    {
        Outcome o;
        o.status = programStatus(pid);
        const std::string outFile = dir / ".stdout", errFile = dir / ".stderr";
        o.out = slurp(outFile);
        o.err = slurp(errFile);
        fs::remove(outFile);
        fs::remove(errFile);
        return o;
    }

    Outcome Run(std::vector<std::string> args, const Launch& how = {}) { return finish(spawn(std::move(args), how)); }

    // Temporary files of saves, anywhere below the test folder.
    std::vector<std::string> tempFiles() const
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            if (entry.path().filename().string().rfind(".abm-", 0) == 0)
                found.push_back(entry.path().string());
        return found;
    }

    std::string picture(const std::string& name, int w, int h, uint32_t rgb = 0x336699)
    {
        Raster b = abm::test::makeRaster(w, h, pf24bit,
                                         [rgb](int x, int y) { return rgb ^ static_cast<uint32_t>(x * 3 + y * 5); });
        b.saveToFile(dir / name);
        return dir / name;
    }

    Raster loadBmp(const std::string& name)
    {
        Raster b;
        b.loadFromFile(dir / name);
        return b;
    }

    static bool samePixels(const Raster& a, const Raster& b)
    {
        if (a.width() != b.width() || a.height() != b.height())
            return false;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y))
                    return false;
        return true;
    }
};

}  // namespace abm::test
