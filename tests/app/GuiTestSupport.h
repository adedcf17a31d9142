#pragma once

// What the GUI tests share: a private home for the settings and desktop
// files, the corpora, and small writers for test pictures.

#include "codecs/raster/Raster.h"

#include <QApplication>
#include <QByteArray>
#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

namespace abm::test {

// Every folder a desktop program writes to lies in one temporary folder, so
// no test touches a real home.
class TestHome {
public:
    TestHome()
    {
        for (const char* sub : {"config", "data", "home", "cache"})
            QDir(dir_.path()).mkpath(QString::fromLatin1(sub));
        qputenv("XDG_CONFIG_HOME", path("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", path("data").toLocal8Bit());
        qputenv("XDG_CACHE_HOME", path("cache").toLocal8Bit());
        qputenv("HOME", path("home").toLocal8Bit());
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString path(const char* name) const { return path(QString::fromLatin1(name)); }

private:
    QTemporaryDir dir_;
};

// A part of a window, found by its object name; fails the test when missing.
template <class T>
T* part(const QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no part named ") + name);
    return found;
}

template <class T>
T* part(const QObject& window, const char* name)
{
    return part<T>(&window, name);
}

// The edit of the options dialog's size field `field` ("FrmWidth", "FrmHeight").
template <class Dialog>
QLineEdit* sizeEdit(const Dialog& dialog, const char* field)
{
    return part<QLineEdit>(part<QWidget>(dialog, field), "MaskEd");
}

inline QString corpus(const char* relative)
{
    QByteArray root = qgetenv("ABM_CORPORA_DIR");
    if (root.isEmpty())
        root = ABM_CORPORA_DEFAULT;
    return QDir(QString::fromLocal8Bit(root)).filePath(QString::fromLatin1(relative));
}

inline std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// A 16-bit frame as the ABM file stores it, from a function of (x, y).
using PixelFunction = std::function<uint16_t(int x, int y)>;

// An ABM file of frames of one size, written by hand from the format.
inline void writeAbm(const QString& path, int width, int height, const std::vector<PixelFunction>& frames)
{
    QByteArray bytes(72, '\0');
    const auto put16 = [&](int at, uint32_t v) {
        bytes[at] = static_cast<char>(v & 0xFF);
        bytes[at + 1] = static_cast<char>((v >> 8) & 0xFF);
    };
    const uint32_t dataSize = static_cast<uint32_t>(width * height * 2 * static_cast<int>(frames.size()));
    put16(0, static_cast<uint32_t>(width));
    put16(2, static_cast<uint32_t>(height));
    bytes[4] = 16;
    bytes[6] = static_cast<char>(frames.size());
    put16(12, dataSize & 0xFFFF);
    put16(14, dataSize >> 16);
    bytes.replace(20, 15, "Created by PLIX");
    for (const PixelFunction& frame : frames)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint16_t v = frame(x, y);
                bytes.append(static_cast<char>(v & 0xFF));
                bytes.append(static_cast<char>(v >> 8));
            }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline PixelFunction solid(uint16_t value)
{
    return [value](int, int) { return value; };
}

// Distinct values for every position and frame, so that a misplaced pixel shows.
inline PixelFunction pattern(int frame)
{
    return [frame](int x, int y) { return static_cast<uint16_t>(x * 7 + y * 331 + frame * 4099 + 1); };
}

inline uint16_t pixel16(const QImage& image, int x, int y)
{
    return reinterpret_cast<const uint16_t*>(image.constScanLine(y))[x];
}

inline uint16_t pixel16(const Raster& raster, int x, int y)
{
    const uint8_t* row = raster.row(y);
    return static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
}

inline QSize rasterSize(const Raster& raster)
{
    return {raster.width(), raster.height()};
}

// The colour a 5-6-5 value shows: each channel's bits repeated to fill eight.
inline QRgb expand565(uint16_t v)
{
    const int r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
    return qRgb((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

// What a widget shows, back in 5-6-5: the screen holds each 5-6-5 colour
// exactly, so the top bits of its channels are the frame's value.
inline QImage shown16(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB16);
}

// A right click on the widget's centre.
inline void contextMenuOn(QWidget* widget)
{
    const QPoint at = widget->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
}

// The left button pressed on `widget` at `at` and moved past the drag
// distance: a thumbnail starts its drag (the caller releases the button).
inline void pressAndDrag(QWidget* widget, QPoint at = QPoint(1, 1))
{
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    if (widget)
        QTest::mouseMove(widget, at + QPoint(QApplication::startDragDistance(), 0));
}

// Runs a drag as a platform would, over `target` and dropped on its centre;
// for StripView::setDragExec where the platform has no drag of its own.
inline Qt::DropAction dropOn(QWidget* target, QDrag& drag)
{
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::MoveAction, drag.mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::MoveAction, drag.mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent drop(at, Qt::MoveAction, drag.mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? Qt::MoveAction : Qt::IgnoreAction;
}

}  // namespace abm::test
