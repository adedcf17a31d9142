// What abmmaker's start spends beyond a bare window, part by part, each
// timed in one process after the toolkit is up: the first time (what the
// start pays) and the median of later repeats. Prints
//   PART <name> <first ms> <median ms>
// Usage: bench_start_parts [REPEATS]   (under X, or QT_QPA_PLATFORM=offscreen)

#include "app/ImageLists.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QLabel>
#include <QMainWindow>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QToolBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// `before` and `after` run around each timed `work`, untimed.
void part(const char* name, int repeats, const std::function<void()>& work, const std::function<void()>& after = {},
          const std::function<void()>& before = {})
{
    std::vector<double> ms;
    for (int i = 0; i < repeats; ++i) {
        if (before)
            before();
        QElapsedTimer clock;
        clock.start();
        work();
        QApplication::processEvents();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (after)
            after();
    }
    const double first = ms.front();
    std::sort(ms.begin() + 1, ms.end());
    std::printf("PART %s %.2f %.2f\n", name, first, ms.size() > 1 ? ms[ms.size() / 2] : first);
}

}  // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication application(argc, argv);
    const int repeats = argc > 1 ? std::max(2, std::atoi(argv[1])) : 11;

    part("style-and-font", repeats, [] {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QFont font = QApplication::font();
        font.setStyleHint(QFont::SansSerif);
        font.setPointSize(8);
        QApplication::setFont(font);
    });
    // What a bare window pays first (fonts, style, the first widget), so
    // that the parts after it show only their own cost.
    part("bare-window-shown", repeats, [] {
        QMainWindow window;
        window.resize(542, 381);
        window.show();
        QApplication::processEvents();
    });
    // The first text laid out loads the font database, whoever asks first.
    part("first-text", repeats, [] {
        QLabel label(QString::fromUtf8("Ширина:"));
        label.sizeHint();
    });
    part("hand-cursor", repeats, [] {
        QLabel label;
        label.setCursor(Qt::PointingHandCursor);
        label.show();
    });
    // A tool bar's extension button loads Qt's own icon, and with it every
    // image format plugin: any window with a tool bar pays this.
    part("tool-bar", repeats, [] { QToolBar bar; });
    // The PNG decoding: later repeats find the pictures in the pixmap cache.
    part("main-icon", repeats, [] { QApplication::setWindowIcon(abm::mainIcon()); });
    part("command-icons", repeats, [] { const auto icons = abm::loadCommandIcons(); });
    // Paid at the first tick and the first options command, not at start.
    part("animated-icons", repeats, [] { const auto icons = abm::loadAnimatedIcons(); });
    part("options-dialog", repeats, [] { abm::OptionsDialog dialog; });
    part("main-window", repeats, [] { abm::MainWindow window({}); });
    // Shown, then closed as the start benchmark's run ends: the placement is
    // saved to the settings file while the window is destroyed.
    std::unique_ptr<abm::MainWindow> window;
    part(
        "main-window-show", repeats,
        [&window] {
            window = std::make_unique<abm::MainWindow>(std::vector<std::string>{});
            window->show();
            QApplication::processEvents();
        },
        [&window] { window.reset(); });
    part(
        "main-window-close", repeats, [&window] { window.reset(); }, {},
        [&window] {
            window = std::make_unique<abm::MainWindow>(std::vector<std::string>{});
            window->show();
            QApplication::processEvents();
        });
    return 0;
}
