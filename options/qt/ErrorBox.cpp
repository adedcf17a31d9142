#include "ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

namespace abm {

QString StandardErrorText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void ShowException(const std::exception& error)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    StandardErrorText(QString::fromUtf8(error.what())), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("StandardErrorBox"));
    box.exec();
}

}  // namespace abm
