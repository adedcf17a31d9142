#include "FileAssociation.h"

#include "base/AtomicWrite.h"
#include "base/Error.h"
#include "base/UserFolders.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace abm {

namespace {

std::string xmlEscaped(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

// Kept as one line of the file per source line.
// clang-format off
std::string mimePackage(const std::string& mimeType, const std::string& extension, const std::string& description,
                        const std::string& icon)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                      "  <mime-type type=\"" + xmlEscaped(mimeType) + "\">\n";
    if (!description.empty())
        xml += "    <comment>" + xmlEscaped(description) + "</comment>\n";
    if (!icon.empty())
        xml += "    <icon name=\"" + xmlEscaped(icon) + "\"/>\n";
    xml += "    <glob pattern=\"*" + xmlEscaped(extension) + "\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
    return xml;
}
// clang-format on

// The string escapes of desktop entry values.
std::string entryValue(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case ' ': out += i == 0 ? "\\s" : " "; break;
        default: out += c;
        }
    }
    return out;
}

// One Exec argument: quoted when it holds a character the Exec rules
// reserve, with the characters that stay special inside quotes escaped;
// a percent sign is doubled so that it is not taken for a field code.
std::string execArgument(std::string_view arg)
{
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    const bool quoted = arg.find_first_of(reserved) != std::string_view::npos;
    if (quoted)
        out += '"';
    for (char c : arg) {
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    if (quoted)
        out += '"';
    return out;
}

// Kept as one line of the file per source line.
// clang-format off
std::string desktopEntry(const std::string& mimeType, const std::string& typeId, const std::string& program)
{
    const size_t slash = program.rfind('/');
    std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
    if (name.empty())
        name = typeId;
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + entryValue(name) + "\n"
           "Exec=" + entryValue(execArgument(program)) + " %F\n"
           "MimeType=" + entryValue(mimeType) + ";\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}
// clang-format on

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return line;
}

// mimeapps.list with `mimeType=desktopId;` in [Default Applications]: an
// existing entry of the type is replaced, else one is added at the end of
// the group, else the group is added. Every other line stays as it was.
std::string withDefaultApplication(const std::string& text, const std::string& mimeType, const std::string& desktopId)
{
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(std::string_view(text).substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    const std::string entry = mimeType + "=" + desktopId + ";";
    bool inside = false, found = false, done = false;
    size_t lastContent = 0;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        const std::string_view content = withoutLineEnd(lines[i]);
        if (!content.empty() && content.front() == '[') {
            if (found)
                break;
            inside = content == "[Default Applications]";
            if (inside) {
                found = true;
                lastContent = i;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!content.empty())
            lastContent = i;
        const size_t eq = content.find('=');
        if (!content.empty() && content.front() != '#' && eq != std::string_view::npos &&
            withoutLineEnd(content.substr(0, eq)) == mimeType) {
            lines[i] = entry;
            done = true;
        }
    }
    if (!done) {
        if (found) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent) + 1, entry);
        } else {
            if (!lines.empty() && !withoutLineEnd(lines.back()).empty())
                lines.push_back("");
            lines.push_back("[Default Applications]");
            lines.push_back(entry);
        }
    }
    std::string out;
    for (std::string_view line : lines) {
        out.append(line);
        out += '\n';
    }
    return out;
}

std::string folderOf(const std::string& path)
{
    return path.substr(0, path.rfind('/'));
}

// The folder and a file in it can be created, or "Failed to create key".
void prepareFolder(const std::string& path)
{
    const std::string folder = folderOf(path);
    if (!makeFolders(folder) || ::access(folder.c_str(), W_OK | X_OK) != 0)
        throw Error(ErrorKind::AssociationCreate, path);
}

void writeEntryFile(const std::string& path, const std::string& content)
{
    prepareFolder(path);
    try {
        writeFileAtomically(path, content.data(), content.size());
    } catch (const FileError&) {
        throw Error(ErrorKind::AssociationSetData, path);
    }
}

void setDefaultApplication(const std::string& path, const std::string& mimeType, const std::string& desktopId)
{
    prepareFolder(path);
    std::string text;
    // A list we cannot read is not replaced: its other lines would be lost.
    // One that is a FIFO or a device has none, and is written into.
    if (loadConfigFile(path, text) == LoadResult::Unusable)
        throw Error(ErrorKind::AssociationSetData, path);
    writeEntryFile(path, withDefaultApplication(text, mimeType, desktopId));
}

// Runs a cache tool without a shell and waits for it. A missing tool or a
// failing one only means the desktop picks the change up later.
void runTool(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return;
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

void associateFileType(const std::string& extension, const std::string& typeId, const std::string& description,
                       const std::string& icon, const std::string& program)
{
    std::string bare;
    for (char c : extension)
        if (c != '.')
            bare += c;
    if (bare.empty() || program.empty())
        return;
    const std::string dotted = "." + bare;
    const std::string type = typeId.empty() ? bare + "_auto_file" : typeId;
    const std::string mimeType = "application/x-" + type;
    const std::string dataFolder = dataHome();
    const std::string configFolder = configHome();
    if (dataFolder.empty() || configFolder.empty())
        throw Error(ErrorKind::AssociationCreate, dotted);

    writeEntryFile(dataFolder + "/mime/packages/" + type + ".xml", mimePackage(mimeType, dotted, description, icon));
    writeEntryFile(dataFolder + "/applications/" + type + ".desktop", desktopEntry(mimeType, type, program));
    setDefaultApplication(configFolder + "/mimeapps.list", mimeType, type + ".desktop");

    runTool({"update-mime-database", dataFolder + "/mime"});
    runTool({"update-desktop-database", dataFolder + "/applications"});
}

}  // namespace abm
