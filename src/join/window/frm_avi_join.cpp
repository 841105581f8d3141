// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/window/frm_avi_join.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

#include "media/clip_inspection.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/twips_layout.h"
#include "settings/window_placement.h"

namespace join {

namespace {

constexpr int kLineTwips = 255;

QProgressBar* MakeBar(QWidget* parent, const char* name, const QRect& where) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setGeometry(where);
    return bar;
}

// Centred over the owner (on the screen without one), and kept on the screen.
void PlaceOver(QWidget& window, QWidget* owner) {
    platform::QtPlacedWindow placed(window);
    if (owner != nullptr) {
        settings::CenterOverMainWindow(placed, platform::QtPlacedWindow(*owner->window()));
    } else {
        settings::CenterOnScreen(placed, platform::ScreenAreaOf(&window));
    }
}

}  // namespace

frmAviJoin::frmAviJoin(platform::Dialogs& dialogs, platform::Files& files,
                       std::function<void(const std::string&)> previewFile, QWidget* owner)
    : QDialog(owner),
      m_logic(ModuleJoinState(), dialogs, files),
      m_previewFile(std::move(previewFile)) {
    setObjectName("frmAviJoin");
    setWindowTitle(tr("Join Files"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    labSegment = new QLabel(tr("Now Joining:"), this);
    labSegment->setObjectName("labSegment");
    labSegment->setGeometry(platform::TwipsRect(120, 0, 4575, kLineTwips));
    prgSegment = MakeBar(this, "prgSegment", platform::TwipsRect(120, 240, 4575, kLineTwips));
    labJoined = new QLabel(tr("To Joined File:"), this);
    labJoined->setObjectName("labJoined");
    labJoined->setGeometry(platform::TwipsRect(120, 600, 4575, kLineTwips));
    prgTotal = MakeBar(this, "prgTotal", platform::TwipsRect(120, 840, 4575, kLineTwips));

    txtMsg = new QPlainTextEdit(this);
    txtMsg->setObjectName("txtMsg");
    txtMsg->setReadOnly(true);
    txtMsg->setGeometry(platform::TwipsRect(120, 120, 4815, 975));
    txtMsg->hide();

    cmdDone = new QPushButton(tr("Cancel"), this);
    cmdDone->setObjectName("cmdDone");
    cmdDone->setGeometry(platform::TwipsRect(120, 1200, 975, 375));
    cmdView = new QPushButton(tr("View Joined File"), this);
    cmdView->setObjectName("cmdView");
    cmdView->setGeometry(platform::TwipsRect(1200, 1200, 1455, 375));
    cmdView->hide();
    cmdDelete = new QPushButton(tr("Delete Source Files"), this);
    cmdDelete->setObjectName("cmdDelete");
    cmdDelete->setGeometry(platform::TwipsRect(3000, 1200, 1695, 375));
    cmdDelete->hide();
    // Elapsed and remaining time, where the report's buttons appear later.
    labTime = new QLabel(this);
    labTime->setObjectName("labTime");
    labTime->setGeometry(platform::TwipsRect(1200, 1200, 3495, 375));

    for (QPushButton* button : {cmdDone, cmdView, cmdDelete}) {
        button->setAutoDefault(false);
        // Fonts wider than the window was drawn for: grow rather than cut the caption.
        button->resize(std::max(button->width(), button->sizeHint().width()), button->height());
    }
    // ... and keep a gap between buttons that grew into each other.
    const int gap = platform::TwipsToPixels(120);
    cmdView->move(std::max(cmdView->x(), cmdDone->geometry().right() + 1 + gap), cmdView->y());
    cmdDelete->move(std::max(cmdDelete->x(), cmdView->geometry().right() + 1 + gap),
                    cmdDelete->y());
    connect(cmdDone, &QPushButton::clicked, this, [this] { cmdDone_Click(); });
    connect(cmdView, &QPushButton::clicked, this, [this] { cmdView_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });

    setFixedSize(platform::TwipsSize(5055, 1695));
}

void frmAviJoin::prepareJoin(const std::string& destination, int16_t clipCount,
                             const std::vector<ClipInfo>& clips) {
    m_logic.prepare(destination, clipCount, clips, this);
    labJoined->setText(tr("To Joined File: ") + platform::ToQString(FileTitle(destination)));
}

void frmAviJoin::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_activationQueued) {
        m_activationQueued = true;
        QTimer::singleShot(0, this, [this] { Form_Activate(); });
    }
}

void frmAviJoin::Form_Activate() {
    m_elapsed.start();
    if (!m_logic.runJoinOnce()) {
        return;
    }
    if (m_logic.status() == kStatusCancelled) {
        hide();
        return;
    }
    showReport();
}

void frmAviJoin::showReport() {
    cmdDone->setText(tr("Done"));
    for (QWidget* progress : {static_cast<QWidget*>(labSegment), static_cast<QWidget*>(labJoined),
                              static_cast<QWidget*>(prgSegment), static_cast<QWidget*>(prgTotal),
                              static_cast<QWidget*>(labTime)}) {
        progress->hide();
    }
    txtMsg->setPlainText(platform::ToQtLines(m_logic.report().text));
    fitReport();
    txtMsg->show();
    setWindowTitle(platform::ToQtLines(m_logic.report().caption));
    cmdView->setVisible(m_logic.offersView());
    cmdDelete->setVisible(m_logic.offersDelete());
    // Enter closes the report; during the join it cancelled nothing.
    cmdDone->setDefault(true);
    cmdDone->setFocus();
}

// The report is read whole: the box grows to its text (wider for long paths, taller for more
// lines) up to most of the screen, where it scrolls instead, and the buttons move below it.
void frmAviJoin::fitReport() {
    const platform::ScreenArea screen = platform::ScreenAreaOf(this);
    const int screenWidth = screen.width / platform::kTwipsPerPixel;
    const int screenHeight = screen.height / platform::kTwipsPerPixel;
    const QFontMetrics metrics(txtMsg->font());
    const QStringList lines = txtMsg->toPlainText().split('\n');
    int widest = 0;
    for (const QString& line : lines) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    const int margin = txtMsg->geometry().left();
    // The frame and document margins around the text, and room for a vertical scroll bar.
    const int frame =
        2 * txtMsg->frameWidth() + 2 * static_cast<int>(txtMsg->document()->documentMargin()) + 4;
    const int scrollBar = txtMsg->verticalScrollBar()->sizeHint().width();
    const int width = std::clamp(widest + frame + scrollBar, txtMsg->width(),
                                 std::max(txtMsg->width(), screenWidth * 3 / 4 - 2 * margin));
    const int textWidth = std::max(1, width - frame - scrollBar);
    int rows = 0;
    for (const QString& line : lines) {
        rows += std::max(1, (metrics.horizontalAdvance(line) + textWidth - 1) / textWidth);
    }
    const int height = std::clamp(rows * metrics.lineSpacing() + frame, txtMsg->height(),
                                  std::max(txtMsg->height(), screenHeight * 2 / 3));
    txtMsg->resize(width, height);
    const int buttonsTop = txtMsg->geometry().bottom() + 1 + margin;
    for (QPushButton* button : {cmdDone, cmdView, cmdDelete}) {
        button->move(button->x(), buttonsTop);
    }
    const int right = std::max(
        {txtMsg->geometry().right(), cmdDelete->geometry().right(), cmdView->geometry().right()});
    setFixedSize(right + 1 + margin, buttonsTop + cmdDone->height() + margin);
    PlaceOver(*this, parentWidget());
}

int32_t frmAviJoin::show_progress(int16_t clipIndex, int16_t segmentPercent, int16_t totalPercent) {
    if (std::optional<std::string> caption = m_logic.segmentCaption(clipIndex)) {
        labSegment->setText(platform::ToQtLines(*caption));
    }
    const int total = std::clamp<int>(totalPercent, 0, 100);
    prgSegment->setValue(std::clamp<int>(segmentPercent, 0, 100));
    prgTotal->setValue(total);
    setWindowTitle(tr("Join Files - %1%").arg(total));
    labTime->setText(platform::ToQtLines(
        ProgressTimeText(m_elapsed.isValid() ? m_elapsed.elapsed() : 0, total)));
    repaint();
    if (m_progressObserver) {
        m_progressObserver(clipIndex, segmentPercent, totalPercent);
    }
    QCoreApplication::processEvents();
    return m_logic.progressResult();
}

void frmAviJoin::cmdDone_Click() {
    if (m_logic.requestClose()) {
        hide();
    }
}

void frmAviJoin::cmdView_Click() {
    if (m_previewFile) {
        m_previewFile(ModuleJoinState().destFileName);
    }
}

void frmAviJoin::cmdDelete_Click() {
    if (m_logic.deleteSources()) {
        hide();
    }
}

void frmAviJoin::closeEvent(QCloseEvent* event) {
    // The window only ever hides itself: the close box asks as the Cancel button does.
    event->ignore();
    cmdDone_Click();
}

void frmAviJoin::reject() {
    cmdDone_Click();
}

namespace {
frmAviJoin* g_openJoinWindow = nullptr;  // the window StartJoin shows, while it is shown
}  // namespace

bool CloseJoinWindowForExit() {
    if (g_openJoinWindow == nullptr) {
        return false;
    }
    if (g_openJoinWindow->logic().cancelForExit()) {
        g_openJoinWindow->hide();
    }
    return true;
}

int32_t StartJoin(QWidget* owner, platform::Dialogs& dialogs, platform::Files& files,
                  std::function<void(const std::string&)> previewFile,
                  const std::string& destination, int16_t clipCount,
                  const std::vector<ClipInfo>& clips, bool* cleanReport) {
    frmAviJoin window(dialogs, files, std::move(previewFile), owner);
    window.prepareJoin(destination, clipCount, clips);
    window.adjustSize();
    PlaceOver(window, owner);
    g_openJoinWindow = &window;
    window.exec();
    g_openJoinWindow = nullptr;
    ModuleJoinState().progressWindow = nullptr;
    ModuleJoinState().progressEnabled = false;
    if (cleanReport != nullptr) {
        *cleanReport = window.logic().clean();
    }
    return window.logic().status();
}

}  // namespace join
