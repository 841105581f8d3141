// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/startup/frm_startup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/twips_layout.h"
#include "settings/ini_store.h"
#include "settings/settings_keys.h"
#include "ui/startup/frm_help_win.h"
#include "ui/startup/startup_art.h"
#include "ui/startup/startup_sequence.h"

namespace ui {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& where, qreal points, bool bold,
                  bool centred) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(where);
    QFont font = label->font();
    font.setPointSizeF(points);
    font.setBold(bold);
    label->setFont(font);
    label->setWordWrap(!centred);
    label->setAlignment(centred ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

frmStartup::frmStartup(std::function<QWidget*()> createMainWindow, QWidget* parent)
    : QDialog(parent), m_createMainWindow(std::move(createMainWindow)) {
    setObjectName("frmStartup");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(platform::TwipsSize(7875, 3540));

    Picture1 = new QLabel(this);
    Picture1->setObjectName("Picture1");
    Picture1->setGeometry(platform::TwipsRect(0, 120, 2400, 3000));
    Picture1->setPixmap(DrawFilmStrip(160, 200));
    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(platform::TwipsRect(6480, 2160, 855, 375));
    labAuthor =
        MakeLabel(this, "labAuthor", platform::TwipsRect(2880, 720, 3855, 255), 8.25, true, true);
    labDisclaimer = MakeLabel(this, "labDisclaimer", platform::TwipsRect(2520, 2640, 5295, 855),
                              8.25, false, false);
    labVersion =
        MakeLabel(this, "labVersion", platform::TwipsRect(2880, 480, 3855, 255), 8.25, true, true);
    labProduct =
        MakeLabel(this, "labProduct", platform::TwipsRect(2880, 0, 3975, 495), 18, false, true);
    chkInfoOnly = new QCheckBox(tr("Check1"), this);
    chkInfoOnly->setObjectName("chkInfoOnly");
    chkInfoOnly->setGeometry(platform::TwipsRect(2640, 2160, 255, 435));
    chkInfoOnly->hide();
    labInfo =
        MakeLabel(this, "labInfo", platform::TwipsRect(2520, 1080, 5295, 975), 8.25, false, false);
    cmdInfo = new QPushButton(tr("I'd like more info on how I can help"), this);
    cmdInfo->setObjectName("cmdInfo");
    cmdInfo->setGeometry(platform::TwipsRect(3120, 2160, 3015, 375));
    // Wider fonts than the window was drawn for: let the button grow to the left, up to the
    // labels' left edge, rather than cut its caption.
    const int wanted = cmdInfo->sizeHint().width();
    if (wanted > cmdInfo->width()) {
        const QRect info = cmdInfo->geometry();
        const int right = cmdOK->x() - 8;
        const int left = std::max(platform::TwipsToPixels(2520), right - wanted);
        cmdInfo->setGeometry(std::min(info.x(), left), info.y(),
                             std::max(info.width(), right - std::min(info.x(), left)),
                             info.height());
    }
    Label1 =
        MakeLabel(this, "Label1", platform::TwipsRect(360, 3240, 1695, 255), 8.25, true, false);
    Label1->setWordWrap(false);
    Label1->setText(tr("Hoist one for KV..."));
    Picture2 = new QLabel(this);
    Picture2->setObjectName("Picture2");
    Picture2->setGeometry(platform::TwipsRect(7200, 120, 480, 480));
    Picture2->setPixmap(DrawProgramIcon(32));

    // Enter presses OK (or, with the focus on it, the info button).
    cmdInfo->setAutoDefault(false);
    cmdOK->setDefault(true);
    setTabOrder(cmdOK, cmdInfo);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdInfo, &QPushButton::clicked, this, [this] { cmdInfo_Click(); });
    Form_Load();
}

bool frmStartup::isAboutBox() const {
    return chkInfoOnly->isChecked();
}

void frmStartup::Form_Load() {
    platform::QtPlacedWindow placement(*this);
    if (startupDone != 1) {
        settings::CenterOnScreen(placement, platform::ScreenAreaOf(this), 1);
        return;
    }
    if (parentWidget() != nullptr) {
        platform::QtPlacedWindow owner(*parentWidget()->window());
        settings::CenterOverMainWindow(placement, owner, 1);
    } else {
        settings::CenterOnScreen(placement, platform::ScreenAreaOf(this), 1);
    }
    chkInfoOnly->setChecked(true);
}

void frmStartup::Form_Activate() {
    settings::SetIniFileName(settings::kIniFileName);
    const StartupCaptions captions = GetStartupCaptions();
    labProduct->setText(platform::ToQString(captions.labProduct));
    labVersion->setText(platform::ToQString(captions.labVersion));
    labInfo->setText(platform::ToQString(captions.labInfo));
    labDisclaimer->setText(platform::ToQString(captions.labDisclaimer));
    labAuthor->setText(platform::ToQString(captions.labAuthor));
    repaint();
}

void frmStartup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Form_Activate();
    cmdOK->setFocus();
    if (!m_sequenceQueued && !isAboutBox()) {
        m_sequenceQueued = true;
        QTimer::singleShot(0, this, [this] { runStartupSequence(); });
    }
}

void frmStartup::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Form_Activate();
    }
}

void frmStartup::runStartupSequence() {
    if (startupDone != 0 || isAboutBox() || m_sequenceRunning) {
        return;
    }
    m_sequenceRunning = true;
    std::unique_ptr<platform::QtPlacedWindow> placement;
    RunStartupSequence(
        [this, &placement]() -> settings::PlacedWindow* {
            m_mainWindow = m_createMainWindow ? m_createMainWindow() : nullptr;
            if (m_mainWindow == nullptr) {
                return nullptr;
            }
            placement = std::make_unique<platform::QtPlacedWindow>(*m_mainWindow);
            return placement.get();
        },
        platform::ScreenAreaOf(this));
    m_sequenceRunning = false;
}

void frmStartup::cmdOK_Click() {
    if (!isAboutBox() && !m_finished) {
        // A press while the main window is being made (a box it shows) waits for nothing.
        if (m_sequenceRunning) {
            return;
        }
        runStartupSequence();  // pressed before it ran from the first show
        m_finished = true;
        if (m_mainWindow != nullptr) {
            m_mainWindow->show();
        }
        if (m_startupFinished) {
            m_startupFinished(m_mainWindow);
        }
    }
    accept();
}

void frmStartup::cmdInfo_Click() {
    frmHelpWin help(this);
    help.exec();
}

void frmStartup::closeEvent(QCloseEvent* event) {
    // At program start any way of closing counts as tr("OK"), so the main window still appears.
    if (!isAboutBox() && !m_finished) {
        event->ignore();
        cmdOK_Click();
        return;
    }
    QDialog::closeEvent(event);
}

void frmStartup::reject() {
    if (!isAboutBox() && !m_finished) {
        cmdOK_Click();
        return;
    }
    QDialog::reject();
}

}  // namespace ui
