#pragma once

// One of the built programs started as a process of its own, as a shell
// would start it: in a folder, with more environment, its output in files,
// and the signals it handles at their default action whatever the test
// runner ignores or blocks.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>
#include <string>
#include <vector>

extern char** environ;

namespace abm::test {

// The signals whose default action ends a process and which the programs
// catch to remove a save's temporary file first.
inline std::vector<int> endingSignals()
{
    return {SIGHUP,    SIGINT,  SIGQUIT, SIGABRT, SIGTERM,   SIGUSR1, SIGUSR2,  SIGPIPE, SIGALRM,
            SIGVTALRM, SIGPROF, SIGXCPU, SIGIO,   SIGSTKFLT, SIGPWR,  SIGRTMIN, SIGRTMAX};
}

struct ProgramLaunch {
    std::vector<std::string> as;   // a program that runs it as another user
    std::vector<std::string> env;  // added NAME=value entries
    rlim_t fileSizeLimit = RLIM_INFINITY;
    std::string folder;    // the working folder
    std::string out, err;  // standard output and error, files created or truncated
    std::string in;        // standard input, a file opened for reading; empty: the runner's
};

// The process id, or -1. No core files: the signals that dump one are tried too.
inline pid_t spawnProgram(std::vector<std::string> args, const ProgramLaunch& how)
{
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
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, how.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, how.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!how.in.empty())
        posix_spawn_file_actions_addopen(&actions, 0, how.in.c_str(), O_RDONLY, 0);
    if (!how.folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, how.folder.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigemptyset(&none);
    for (const int s : endingSignals())
        sigaddset(&defaults, s);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    // The limits are inherited: set for the child, then put back.
    rlimit savedSize{}, savedCore{};
    getrlimit(RLIMIT_FSIZE, &savedSize);
    getrlimit(RLIMIT_CORE, &savedCore);
    rlimit size = savedSize, core = savedCore;
    size.rlim_cur = how.fileSizeLimit;
    core.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &size);
    setrlimit(RLIMIT_CORE, &core);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
        pid = -1;
    setrlimit(RLIMIT_FSIZE, &savedSize);
    setrlimit(RLIMIT_CORE, &savedCore);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for the end: the exit status, or 128 + the signal that ended it, or -1.
inline int programStatus(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits until the program has stopped itself (ABM_STOP_DURING_SAVE).
inline bool programStopped(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status);
}

}  // namespace abm::test
