#include "ErrorBox.h"

#include "base/ErrorText.h"
#include "workspace/UserPrompts.h"

#include <QApplication>
#include <QMessageBox>

namespace abm {

QString StandardErrorText(const QString& message)
{
    return QString::fromStdString(ErrorBoxText(message.toStdString()));
}

void showError(const std::exception& error)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    StandardErrorText(QString::fromStdString(describe(error, programText))), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("StandardErrorBox"));
    box.exec();
}

}  // namespace abm
