// The window with a long strip: a GIF of FRAMES 1 x 1 images (200,000 by
// default, 3 MB) is opened on the command line and shown, the strip scrolls
// across in 200 steps, loses its last frame through the Delete command and
// moves its last frame two places forward. Prints each step's wall time:
//   STEP <name> <milliseconds>
// Usage: bench_long_strip [FRAMES]   (QT_QPA_PLATFORM=offscreen, or under X)

#include "app/MainWindow.h"
#include "app/StripView.h"
#include "fuzz/FuzzPrompts.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

namespace {

// FRAMES images of 1 x 1, each one literal of a 256-colour table.
QByteArray longGif(int frames)
{
    QByteArray gif("GIF89a\x01\x00\x01\x00\xF7\x00\x00", 13);
    for (int c = 0; c < 256; ++c)
        gif.append(static_cast<char>(c)).append(static_cast<char>(c * 7)).append(static_cast<char>(255 - c));
    for (int i = 0; i < frames; ++i) {
        // Nine-bit codes: clear, the index, end.
        const uint32_t codes = 256u | static_cast<uint32_t>(i % 256) << 9 | 257u << 18;
        gif.append("\x2C\0\0\0\0\x01\0\x01\0\0\x08\x04", 12);
        for (int b = 0; b < 4; ++b)
            gif.append(static_cast<char>(codes >> (8 * b)));
        gif.append('\0');
    }
    return gif.append('\x3B');
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void report(const char* step, QElapsedTimer& timer)
{
    std::printf("STEP %s %lld\n", step, static_cast<long long>(timer.restart()));
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200000;
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("long.gif")));
    if (!file.open(QIODevice::WriteOnly) || file.write(longGif(frames)) <= 0)
        return 1;
    file.close();
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());

    abm::fuzz::SilentPrompts prompts;
    QElapsedTimer timer;
    timer.start();
    abm::MainWindow form({QFile::encodeName(file.fileName()).toStdString()}, &prompts);
    form.findChild<QTimer*>(QStringLiteral("Timer"))->stop();
    form.show();
    while (!form.windowHandle() || !form.windowHandle()->isExposed())
        QCoreApplication::processEvents();
    settle();
    report("open", timer);

    abm::FrameStrip& strip = form.model()->strip;
    auto* view = form.findChild<abm::StripView*>();
    QScrollBar* bar = view->horizontalScrollBar();
    for (int step = 0; step <= 200; ++step) {
        bar->setValue(static_cast<int>(int64_t{bar->maximum()} * step / 200));
        view->viewport()->repaint();
        settle();
    }
    report("scroll-200-steps", timer);

    view->setPopupFrame(strip.count() - 1);
    form.findChild<QAction*>(QStringLiteral("DeleteA"))->trigger();
    settle();
    report("delete-last", timer);

    const int n = strip.count();
    form.run([&] { form.model()->commands.moveFrame(n - 1, n - 3); });
    settle();
    report("reorder-last", timer);
    std::printf("frames %d, thumbnail widgets %zu\n", strip.count(), form.thumbnails().size());
    return strip.count() == frames - 1 ? 0 : 1;
}
