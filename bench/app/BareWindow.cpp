// The yardstick for abmmaker's start-up: a Qt window that does nothing,
// started and left the same way.

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.resize(542, 381);
    window.show();
    if (qEnvironmentVariableIsSet("ABM_QUIT_AFTER_SHOW"))
        QTimer::singleShot(0, &application, &QCoreApplication::quit);
    return QApplication::exec();
}
