// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/startup/frm_help_win.h"

#include <QPlainTextEdit>

#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/twips_layout.h"
#include "ui/startup/startup_sequence.h"

namespace ui {

frmHelpWin::frmHelpWin(QWidget* parent) : QDialog(parent) {
    setObjectName("frmHelpWin");
    setWindowTitle(tr("Help Support Zezez Uvevuz Avurudozu"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(platform::TwipsSize(7500, 3765));

    txtHelpMsg = new QPlainTextEdit(this);
    txtHelpMsg->setObjectName("txtHelpMsg");
    txtHelpMsg->setReadOnly(true);
    txtHelpMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtHelpMsg->setGeometry(platform::TwipsRect(0, 0, 7455, 3735));
    QPalette grey = txtHelpMsg->palette();
    grey.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
    grey.setColor(QPalette::Text, Qt::black);
    txtHelpMsg->setPalette(grey);
    Form_Load();
}

void frmHelpWin::Form_Load() {
    platform::QtPlacedWindow placement(*this);
    settings::CenterOnScreen(placement, platform::ScreenAreaOf(this));
    txtHelpMsg->setPlainText(platform::ToQtLines(ComposeHelpMessage()));
}

}  // namespace ui
