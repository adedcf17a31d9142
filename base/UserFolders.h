#pragma once

// The per-user folders of the XDG base directories and the small file
// helpers the settings file and the file-type registration share.

#include <cstdint>
#include <string>

namespace abm {

// $HOME, else the password entry's home; empty when neither is known.
std::string homeFolder();
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::string configHome();
// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::string dataHome();

// Creates `folder` and its missing parents (mode 0700, as the XDG rules ask
// for base folders). True when the folder exists afterwards.
bool makeFolders(const std::string& folder);

// A configuration file far larger than this was not written by us; it is
// neither read nor rewritten, so a hostile file cannot make us allocate much.
constexpr int64_t kMaxConfigFileBytes = int64_t{4} << 20;

enum class LoadResult {
    Loaded,
    Missing,   // the file or a folder on its path does not exist
    Stream,    // a FIFO or a character device: nothing to read, a save writes into it
    Unusable,  // exists but is unreadable, not a regular file or too big
};

// Reads a whole regular file of at most kMaxConfigFileBytes. Never blocks on
// a pipe or device that happens to carry the name. `error` receives why it
// is Unusable (an errno, kNotRegularFile).
LoadResult loadConfigFile(const std::string& path, std::string& content, int* error = nullptr);

}  // namespace abm
