#pragma once

// abmtool started as a program in a test folder of its own: its exit status,
// what it printed, the files it left.

#include "cli/GifWriter.h"
#include "workspace/AbmFile.h"
#include "GifBuilder.h"
#include "TestSupport.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <png.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

extern char** environ;

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
struct Launch {
    std::vector<std::string> as;   // a program that runs it as another user
    std::vector<std::string> env;  // added NAME=value entries
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

// abmtool as the user nobody (uid and gid 65534), also in group 100.
const Launch kAsNobody{{"setpriv", "--reuid=65534", "--regid=65534", "--groups=100"}, {}, RLIM_INFINITY};

class AbmtoolTest : public ::testing::Test {
protected:
    abm::test::TempDir dir;
    const fs::path gifs = abm::test::corpora() / "gif" / "wuffs";

    pid_t spawn(std::vector<std::string> args, const Launch& how = {})
    {
        args.insert(args.begin(), ABMTOOL_PATH);
        args.insert(args.begin(), how.as.begin(), how.as.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = how.env;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string outFile = dir / ".stdout", errFile = dir / ".stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
        // The signals abmtool handles start at their default action, whatever
        // the test runner ignores (a background job ignores SIGINT).
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int s : {SIGINT, SIGTERM, SIGXFSZ})
            sigaddset(&defaults, s);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited = saved;
        limited.rlim_cur = how.fileSizeLimit;
        setrlimit(RLIMIT_FSIZE, &limited);
        pid_t pid = -1;
        if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
            pid = -1;
        setrlimit(RLIMIT_FSIZE, &saved);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    Outcome finish(pid_t pid)
    {
        Outcome o;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid)
            o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
        Raster b = abm::test::makeRaster(w, h, PixelFormat::Bgr888,
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
