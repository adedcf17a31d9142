// abmmaker: the desktop program.

#include "CommandLine.h"
#include "DesktopLook.h"
#include "ImageLists.h"
#include "MainWindow.h"
#include "StartProbe.h"
#include "base/AtomicWrite.h"
#include "base/MemoryBudget.h"
#include "base/NameText.h"

#include <QApplication>

#include <optional>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    abm::installSaveSignalHandlers();
    if (const std::optional<int> status = abm::answerWithoutWindow(argc, argv))
        return *status;
    // A memory limit the environment sets wrongly: said, and the default applies.
    if (const std::string problem = abm::MemoryBudget::environmentProblem(); !problem.empty())
        std::fprintf(stderr, "abmmaker: %s; the default limit applies\n", abm::escapedText(problem).c_str());
    // The toolkit next; it takes its own options (-platform, -style …)
    // out of argv, so what is left is the program's command line.
    QApplication application(argc, argv);
    const std::optional<std::vector<std::string>> arguments = abm::fileArguments(argc, argv);
    if (!arguments)
        return 2;
    abm::applyDesktopLook(application);

    QApplication::setApplicationName(QString::fromUtf8(abm::MainWindow::kCaption));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.abmmaker.abmmaker"));
    QApplication::setWindowIcon(abm::mainIcon());

    abm::MainWindow mainWindow(*arguments);
    abm::quitAfterFirstPaint(mainWindow);
    mainWindow.show();
    return QApplication::exec();
}
