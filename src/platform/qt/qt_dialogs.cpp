// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "platform/qt/help_viewer.h"
#include "platform/qt/qt_text.h"

namespace platform {

namespace {

// Save dialog flags that change what Qt does; the others (hide the read-only box, keep the current
// folder, no read-only returns, long names) describe what Qt does anyway.
constexpr uint32_t kOverwritePrompt = 0x2;

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
        }
        const QString bracketed =
            QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        filters << (description.contains(bracketed) ? description
                                                    : description + QLatin1Char(' ') + bracketed);
    }
    return filters;
}

QtDialogs::QtDialogs(QWidget* owner) : m_owner(owner) {}

void QtDialogs::setOwner(QWidget* owner) {
    m_owner = owner;
}

QWidget* QtDialogs::owner() const {
    return m_owner.data();
}

MessageAnswer QtDialogs::messageBox(const std::string& title, const std::string& text,
                                    MessageButtons buttons) {
    QMessageBox box(m_owner.data());
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(ToQString(title));
    box.setText(ToQtLines(text));
    box.setTextFormat(Qt::PlainText);
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    const QMessageBox::StandardButton pressed =
        clicked != nullptr ? box.standardButton(clicked) : QMessageBox::NoButton;
    switch (pressed) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            break;
    }
    // Closed without a button: the answer that changes nothing.
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            return MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
    }
    return MessageAnswer::Cancel;
}

SaveDialogResult QtDialogs::saveFile(const SaveDialogRequest& request) {
    QFileDialog dialog(m_owner.data(), ToQString(request.title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const qsizetype index = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                                    ? request.filterIndex - 1
                                    : 0;
        dialog.selectNameFilter(filters[index]);
    }
    QString suffix = ToQString(request.defaultExtension);
    while (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    if (!request.initialFolder.empty() && QDir(ToQString(request.initialFolder)).exists()) {
        dialog.setDirectory(ToQString(request.initialFolder));
    }
    if (!request.fileName.empty()) {
        dialog.selectFile(ToQString(request.fileName));
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & kOverwritePrompt) == 0);

    SaveDialogResult result;
    result.shown = true;
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        result.fileName = ToUtf8(dialog.selectedFiles().constFirst());
    }
    return result;
}

std::vector<std::string> QtDialogs::openFiles(const OpenDialogRequest& request) {
    const QString folder =
        !request.initialFolder.empty() && QDir(ToQString(request.initialFolder)).exists()
            ? ToQString(request.initialFolder)
            : QDir::homePath();
    const QStringList chosen =
        QFileDialog::getOpenFileNames(m_owner.data(), ToQString(request.title), folder,
                                      QtNameFilters(request.filter).join(QStringLiteral(";;")));
    std::vector<std::string> files;
    for (const QString& file : chosen) {
        files.push_back(ToUtf8(file));
    }
    return files;
}

std::string QtDialogs::browseForFolder(const std::string& prompt, const std::string& startFolder) {
    const QString start = startFolder.empty() ? QDir::homePath() : ToQString(startFolder);
    return ToUtf8(QFileDialog::getExistingDirectory(m_owner.data(), ToQString(prompt), start,
                                                    QFileDialog::ShowDirsOnly));
}

void QtDialogs::showHelp(const std::string& helpFile) {
    ShowHelpFile(m_owner.data(), helpFile);
}

}  // namespace platform
