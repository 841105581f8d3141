// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/help_viewer.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPointer>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"

namespace platform {

HelpViewer::HelpViewer(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName("HelpViewer");
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName("helpBrowser");
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(720, 560);
    // The browser's own history: Alt+Left and Alt+Right, as in web browsers.
    auto* back = new QShortcut(QKeySequence::Back, this);
    connect(back, &QShortcut::activated, m_browser, &QTextBrowser::backward);
    auto* forward = new QShortcut(QKeySequence::Forward, this);
    connect(forward, &QShortcut::activated, m_browser, &QTextBrowser::forward);
}

void HelpViewer::showFile(const std::string& helpFile) {
    const QString path = ToQString(helpFile);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        m_browser->clearHistory();
        m_browser->setHtml(QStringLiteral("<h2>Help</h2><p>The help file <b>%1</b> could not be "
                                          "found or read.</p>")
                               .arg(path.toHtmlEscaped()));
        setWindowTitle(QStringLiteral("Help"));
        return;
    }
    m_browser->setSearchPaths({info.absolutePath()});
    m_browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
    m_browser->clearHistory();
    m_browser->verticalScrollBar()->setValue(0);
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Help") : title);
}

void HelpViewer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

HelpViewer* ShowHelpFile(QWidget* owner, const std::string& helpFile,
                         const std::function<void(QWidget& viewer)>& place) {
    static QPointer<HelpViewer> viewer;
    if (viewer == nullptr || viewer->parentWidget() != owner) {
        if (viewer != nullptr) {
            viewer->close();
        }
        viewer = new HelpViewer(owner);
        if (place) {
            place(*viewer);
        } else {
            KeepOnScreen(*viewer);
        }
    }
    viewer->showFile(helpFile);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer.data();
}

}  // namespace platform
