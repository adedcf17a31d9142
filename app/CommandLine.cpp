#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace abm {

namespace {

// The terminal texts are English, as the manual page and abmtool are; the
// window keeps its Russian.
void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Makes frame animations for the Samsung SGH-C100 from pictures (BMP, JPEG, animated GIF, ABM):\n"
                       "a window to arrange the frames and save them as one ABM file or as numbered 16-bit BMP files.\n"
                       "abmtool does the same from the command line."));
    // Not addHelpOption(): its --help-all promises the toolkit's options,
    // which only a QApplication, and so a display, could list.
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays this help and exits.")));
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Pictures or ABM files to open at start, in this order."),
                                 QStringLiteral("[file...]"));
    // Qt's own options are words after one dash (-reverse, -platformtheme):
    // read as bundles of letters, they would hold -v or -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
}

QStringList argumentList(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(QString::fromLocal8Bit(argv[i]));
    return list;
}

// Where Qt will look for a display: a platform named on the command line or
// in QT_QPA_PLATFORM is Qt's to try; otherwise X11 or Wayland must be named.
bool displayNamed(int argc, char* argv[])
{
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(variable); value && *value)
            return true;
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-platform", "--platform", "-display", "--display"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

}  // namespace

std::optional<int> answerWithoutWindow(int argc, char* argv[])
{
    QCommandLineParser parser;
    describe(parser);
    // The toolkit's options are unknown to the parser until QApplication
    // takes them out; only --help and --version matter here.
    parser.parse(argumentList(argc, argv));
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("abmmaker %s\n", ABM_VERSION);
        return 0;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // The usage line names the program as it was called.
        int count = argc;
        QCoreApplication core(count, argv);
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!displayNamed(argc, argv)) {
        std::fputs("abmmaker: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set);\n"
                   "start it in a graphical session, or use abmtool on the command line\n",
                   stderr);
        return 1;
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> fileArguments(int argc, char* argv[])
{
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(argumentList(argc, argv))) {
        std::fprintf(stderr, "abmmaker: %s\nTry 'abmmaker --help'.\n", parser.errorText().toLocal8Bit().constData());
        return std::nullopt;
    }
    // The parser found options only before a "--"; the file names are taken
    // from argv itself, since a name need not be valid UTF-8.
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        if (!optionsEnded && std::strcmp(argv[i], "--") == 0)
            optionsEnded = true;
        else
            files.emplace_back(argv[i]);
    }
    return files;
}

}  // namespace abm
