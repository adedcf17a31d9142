// The yardstick for abmmaker's start-up: a plain Qt main window of the same
// shape and texts (title, menu bar, tool bar with the commands' captions,
// status bar) and nothing behind it, started and left the same way. An
// empty window would not even lay out text, which every real window pays.

#include "app/StartProbe.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Создание анимашек для Samsung - SGH-C100"));
    QToolBar* toolBar = window.addToolBar(QString());
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("Файл"));
    QMenu* edit = window.menuBar()->addMenu(QStringLiteral("Правка"));
    toolBar->addAction(QStringLiteral("Очистить"));
    for (const char* caption : {"Открыть", "Сохранить как BMP", "Сохранить как ABM"})
        file->addAction(toolBar->addAction(QString::fromUtf8(caption)));
    edit->addAction(toolBar->addAction(QStringLiteral("Настройка")));
    window.statusBar()->addWidget(new QLabel(QStringLiteral("0")));
    window.resize(542, 381);
    abm::quitAfterFirstPaint(window);
    window.show();
    return QApplication::exec();
}
