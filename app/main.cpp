// abmmaker: the desktop program.

#include "ImageLists.h"
#include "MainWindow.h"
#include "StartProbe.h"
#include "base/AtomicWrite.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    abm::installSaveSignalHandlers();
    // The toolkit first; it takes its own options (-platform, -style …)
    // out of argv, so what is left is the program's command line.
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font = QApplication::font();
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    QApplication::setFont(font);

    QApplication::setApplicationName(QString::fromUtf8(abm::MainWindow::kCaption));
    QGuiApplication::setDesktopFileName(QStringLiteral("abmmaker"));
    QApplication::setWindowIcon(abm::mainIcon());

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    abm::MainWindow mainWindow(arguments);
    abm::quitAfterFirstPaint(mainWindow);
    mainWindow.show();
    return QApplication::exec();
}
