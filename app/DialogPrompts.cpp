#include "DialogPrompts.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <map>

namespace abm {

namespace {

QString buttonCaption(TMsgDlgBtn button)
{
    switch (button) {
    case TMsgDlgBtn::mbNo: return QStringLiteral("&No");
    case TMsgDlgBtn::mbOK: return QStringLiteral("OK");
    case TMsgDlgBtn::mbCancel: return QStringLiteral("Cancel");
    }
    return {};
}

TModalResult buttonResult(TMsgDlgBtn button)
{
    switch (button) {
    case TMsgDlgBtn::mbNo: return TModalResult::mrNo;
    case TMsgDlgBtn::mbOK: return TModalResult::mrOk;
    case TMsgDlgBtn::mbCancel: return TModalResult::mrCancel;
    }
    return TModalResult::mrCancel;
}

QMessageBox::Icon boxIcon(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return QMessageBox::Warning;
    case TMsgDlgType::mtError: return QMessageBox::Critical;
    case TMsgDlgType::mtInformation: return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation: return QMessageBox::Question;
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

void prepareFileDialog(QFileDialog& dialog, const TFileDialogRequest& request)
{
    // Qt's own dialog: native ones show the patterns beside the texts.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(TDialogPrompts::nameFilters(request.filter));
    if (!request.initialDir.empty())
        dialog.setDirectory(path(request.initialDir));
}

}  // namespace

QStringList TDialogPrompts::nameFilters(const std::string& filter)
{
    QStringList filters;
    for (const TFilterEntry& entry : parseFilter(filter)) {
        QStringList patterns;
        for (const std::string& pattern : entry.patterns)
            patterns << caseInsensitive(pattern);
        filters << QString::fromStdString(entry.text) + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

QString TDialogPrompts::caption(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return QStringLiteral("Warning");
    case TMsgDlgType::mtError: return QStringLiteral("Error");
    case TMsgDlgType::mtInformation: return QStringLiteral("Information");
    case TMsgDlgType::mtConfirmation: return QStringLiteral("Confirm");
    }
    return {};
}

TModalResult TDialogPrompts::showMessage(const std::string& text, TMsgDlgType type,
                                        const std::vector<TMsgDlgBtn>& buttons)
{
    QMessageBox box(boxIcon(type), caption(type),
                    QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::NoButton, owner_);
    std::map<QAbstractButton*, TMsgDlgBtn> kinds;
    QPushButton* ok = nullptr;
    QPushButton* no = nullptr;
    QPushButton* cancel = nullptr;
    for (const TMsgDlgBtn kind : buttons) {
        // One role for all keeps the buttons in the order asked for.
        QPushButton* button = box.addButton(buttonCaption(kind), QMessageBox::ActionRole);
        kinds[button] = kind;
        (kind == TMsgDlgBtn::mbOK ? ok : kind == TMsgDlgBtn::mbNo ? no : cancel) = button;
    }
    if (ok)
        box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : no ? no : ok);
    box.exec();
    const auto it = kinds.find(box.clickedButton());
    return it == kinds.end() ? TModalResult::mrCancel : buttonResult(it->second);
}

std::vector<std::string> TDialogPrompts::askOpenFiles(const TFileDialogRequest& request)
{
    QFileDialog dialog(owner_, QStringLiteral("Open"));
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

std::optional<std::string> TDialogPrompts::askSaveFile(const TFileDialogRequest& request)
{
    QFileDialog dialog(owner_, QStringLiteral("Save As"));
    prepareFileDialog(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return name(dialog.selectedFiles().front());
}

}  // namespace abm
