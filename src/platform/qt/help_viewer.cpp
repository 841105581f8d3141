#include "platform/qt/help_viewer.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

namespace platform {

void ShowHelpFile(QWidget* owner, const std::string& path) {
    // One help window, reused; it is a window of its own so it stays open beside the program.
    static QPointer<QTextBrowser> viewer;
    if (viewer.isNull()) {
        viewer = new QTextBrowser(owner);
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setObjectName(QStringLiteral("helpViewer"));
        viewer->setOpenExternalLinks(true);
        viewer->resize(640, 480);
    }
    viewer->setSource(QUrl::fromLocalFile(QString::fromStdString(path)),
                      QTextDocument::HtmlResource);
    viewer->setWindowTitle(viewer->documentTitle().isEmpty() ? QStringLiteral("Help")
                                                             : viewer->documentTitle());
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace platform
