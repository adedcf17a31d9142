// The window with a long strip: a GIF of FRAMES 1 x 1 images (200,000 by
// default, 3 MB) is opened on the command line and shown, the strip scrolls
// across in 200 steps, loses its last frame through the Delete command and
// moves its last frame two places forward. Prints each step's wall time:
//   STEP <name> <milliseconds>
// Usage: bench_long_strip [FRAMES]   (QT_QPA_PLATFORM=offscreen, or under X)

#include "app/MForm.h"
#include "app/StripView.h"
#include "fuzz/FuzzPrompts.h"

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
QByteArray LongGif(int frames)
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

void Settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Report(const char* step, QElapsedTimer& timer)
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
    if (!file.open(QIODevice::WriteOnly) || file.write(LongGif(frames)) <= 0)
        return 1;
    file.close();
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());

    abm::fuzz::SilentPrompts prompts;
    QElapsedTimer timer;
    timer.start();
    abm::TMForm form({QFile::encodeName(file.fileName()).toStdString()}, &prompts);
    form.timer->stop();
    form.show();
    while (!form.windowHandle() || !form.windowHandle()->isExposed())
        QCoreApplication::processEvents();
    Settle();
    Report("open", timer);

    abm::FrameStrip& strip = form.model->Strip;
    QScrollBar* bar = form.stripView->horizontalScrollBar();
    for (int step = 0; step <= 200; ++step) {
        bar->setValue(static_cast<int>(int64_t{bar->maximum()} * step / 200));
        form.stripView->viewport()->repaint();
        Settle();
    }
    Report("scroll-200-steps", timer);

    form.Run([&] { strip.setPopupTarget(&strip.Thumbnail(strip.Count() - 1)); });
    form.deleteAction->trigger();
    Settle();
    Report("delete-last", timer);

    const int n = strip.Count();
    form.Run([&] { strip.moveFrame(&strip.Thumbnail(n - 1), &strip.Thumbnail(n - 3)); });
    Settle();
    Report("reorder-last", timer);
    std::printf("frames %d, thumbnail widgets %zu\n", strip.Count(), form.Thumbnails().size());
    return strip.Count() == frames - 1 ? 0 : 1;
}
