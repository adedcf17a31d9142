#include "ErrorBox.h"

#include "base/ErrorText.h"
#include "base/NameText.h"
#include "workspace/UserPrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace abm {

QString standardErrorText(const QString& message)
{
    return QString::fromStdString(errorBoxText(message.toStdString()));
}

void showError(const std::exception& error)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    QString::fromStdString(errorBoxText(error)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("StandardErrorBox"));
    box.setTextFormat(Qt::PlainText);
    // The caption stays "OK" whatever Qt's translation makes of it.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

}  // namespace abm
