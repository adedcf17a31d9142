#pragma once

// Answers the modal windows and pop-up menus a test provokes, one scripted
// step per window, as Qt's own tests do: a timer looks for the active modal
// widget (or pop-up) while the code under test waits in its event loop.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>
#include <vector>

namespace abm::test {

struct SeenWindow {
    QString className;
    QString title;
    QString text;                          // a message box's text
    QStringList buttons;                   // a message box's buttons, in their order on screen
    Qt::TextFormat format = Qt::AutoText;  // a message box's
};

class ModalScript : public QObject {
public:
    using Step = std::function<void(QWidget* window)>;

    ModalScript()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(5);
    }

    ModalScript& then(Step step)
    {
        steps_.push_back(std::move(step));
        return *this;
    }

    std::vector<SeenWindow> seen;
    bool done() const { return steps_.empty() && running_ == 0; }

    // Steps for the common answers.
    static Step click(const QString& buttonText)
    {
        return [buttonText](QWidget* window) {
            for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
                if (button->text() == buttonText && button->isVisible()) {
                    button->click();
                    return;
                }
            }
            qWarning("no button %s", qPrintable(buttonText));
        };
    }
    // Types `text` into a file dialog's name field and accepts it.
    static Step chooseFile(const QString& text)
    {
        return [text](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            if (!dialog) {
                qWarning("not a file dialog: %s", window->metaObject()->className());
                return;
            }
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(text);
            static_cast<QDialog*>(dialog)->accept();
        };
    }
    // Clicks the action's item in a pop-up menu.
    static Step clickMenuAction(QAction* action)
    {
        return [action](QWidget* window) {
            auto* menu = qobject_cast<QMenu*>(window);
            QVERIFY(menu);
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        };
    }
    static Step reject()
    {
        return [](QWidget* window) {
            if (auto* dialog = qobject_cast<QDialog*>(window))
                dialog->reject();
            else
                window->close();
        };
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && watched == last_.data())
            last_ = nullptr;
        return QObject::eventFilter(watched, event);
    }

private:
    void poll()
    {
        QWidget* window = QApplication::activePopupWidget();
        if (!window)
            window = QApplication::activeModalWidget();
        if (!window || !window->isVisible() || window == last_.data() || steps_.empty())
            return;
        last_ = window;
        // A kept dialog or menu shown again later counts as a new window.
        window->installEventFilter(this);
        SeenWindow info{QString::fromLatin1(window->metaObject()->className()), window->windowTitle(), {}, {}};
        if (auto* box = qobject_cast<QMessageBox*>(window)) {
            info.text = box->text();
            info.format = box->textFormat();
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            for (QAbstractButton* button : buttons)
                info.buttons << button->text();
        }
        seen.push_back(info);
        Step step = std::move(steps_.front());
        steps_.pop_front();
        // Queued, so this timer stays free while the step waits in a
        // modal window of its own.
        ++running_;
        QMetaObject::invokeMethod(
            this,
            [this, step, target = QPointer<QWidget>(window)] {
                if (target)
                    step(target);
                --running_;
            },
            Qt::QueuedConnection);
    }

    QTimer timer_;
    std::deque<Step> steps_;
    QPointer<QWidget> last_;
    int running_ = 0;
};

}  // namespace abm::test
