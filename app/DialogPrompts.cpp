#include "DialogPrompts.h"

#include "base/NameText.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <map>

namespace abm {

namespace {

QString buttonCaption(MessageButton button)
{
    switch (button) {
    case MessageButton::no: return QStringLiteral("&No");
    case MessageButton::ok: return QStringLiteral("OK");
    case MessageButton::cancel: return QStringLiteral("Cancel");
    }
    return {};
}

MessageAnswer buttonResult(MessageButton button)
{
    switch (button) {
    case MessageButton::no: return MessageAnswer::no;
    case MessageButton::ok: return MessageAnswer::ok;
    case MessageButton::cancel: return MessageAnswer::cancel;
    }
    return MessageAnswer::cancel;
}

QMessageBox::Icon boxIcon(MessageKind type)
{
    switch (type) {
    case MessageKind::warning: return QMessageBox::Warning;
    case MessageKind::error: return QMessageBox::Critical;
    case MessageKind::information: return QMessageBox::Information;
    case MessageKind::confirmation: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// "*.gif" as "*.[gG][iI][fF]"; "*.*" means every file there, also one
// without an extension.
QString caseInsensitive(const std::string& pattern)
{
    if (pattern == "*.*")
        return QStringLiteral("*");
    QString out;
    for (const QChar c : QString::fromStdString(pattern)) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += u'[' + QString(c.toLower()) + c.toUpper() + u']';
        else
            out += c;
    }
    return out;
}

QString path(const std::string& name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

std::string name(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

void prepareFileDialog(QFileDialog& dialog, const FileDialogRequest& request)
{
    // Qt's own dialog: native ones show the patterns beside the texts.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(DialogPrompts::nameFilters(request.filter));
    if (!request.initialDir.empty())
        dialog.setDirectory(path(request.initialDir));
}

}  // namespace

QStringList DialogPrompts::nameFilters(const std::string& filter)
{
    QStringList filters;
    for (const FilterEntry& entry : parseFilter(filter)) {
        QStringList patterns;
        for (const std::string& pattern : entry.patterns)
            patterns << caseInsensitive(pattern);
        filters << QString::fromStdString(entry.text) + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

QString DialogPrompts::caption(MessageKind type)
{
    switch (type) {
    case MessageKind::warning: return QStringLiteral("Warning");
    case MessageKind::error: return QStringLiteral("Error");
    case MessageKind::information: return QStringLiteral("Information");
    case MessageKind::confirmation: return QStringLiteral("Confirm");
    }
    return {};
}

MessageAnswer DialogPrompts::showMessage(const std::string& text, MessageKind type,
                                         const std::vector<MessageButton>& buttons)
{
    QMessageBox box(boxIcon(type), caption(type),
                    QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::NoButton, owner_);
    // A name such as "<b>x</b>.abm" is a name, not markup.
    box.setTextFormat(Qt::PlainText);
    std::map<QAbstractButton*, MessageButton> kinds;
    QPushButton* ok = nullptr;
    QPushButton* no = nullptr;
    QPushButton* cancel = nullptr;
    for (const MessageButton kind : buttons) {
        // One role for all keeps the buttons in the order asked for.
        QPushButton* button = box.addButton(buttonCaption(kind), QMessageBox::ActionRole);
        kinds[button] = kind;
        (kind == MessageButton::ok ? ok : kind == MessageButton::no ? no : cancel) = button;
    }
    if (ok)
        box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : no ? no : ok);
    box.exec();
    const auto it = kinds.find(box.clickedButton());
    return it == kinds.end() ? MessageAnswer::cancel : buttonResult(it->second);
}

SaveAnswer DialogPrompts::askToSave(const std::string& question)
{
    QMessageBox box(QMessageBox::Question, caption(MessageKind::confirmation), QString::fromStdString(question),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner_);
    box.setObjectName(QStringLiteral("SaveQuestion"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return SaveAnswer::save;
    case QMessageBox::Discard: return SaveAnswer::discard;
    default: return SaveAnswer::cancel;
    }
}

std::string DialogPrompts::nameInText(const std::string& name) const
{
    return isolatedName(name);
}

std::vector<std::string> DialogPrompts::askOpenFiles(const FileDialogRequest& request)
{
    QFileDialog dialog(owner_, QFileDialog::tr("Open"));
    prepareFileDialog(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    std::vector<std::string> files;
    if (dialog.exec() != QDialog::Accepted)
        return files;
    for (const QString& file : dialog.selectedFiles())
        files.push_back(name(file));
    return files;
}

std::optional<std::string> DialogPrompts::askSaveFile(const FileDialogRequest& request)
{
    QFileDialog dialog(owner_, QFileDialog::tr("Save As"));
    prepareFileDialog(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return name(dialog.selectedFiles().front());
}

}  // namespace abm
