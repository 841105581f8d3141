// SPDX-License-Identifier: GPL-3.0-or-later
// The help message window: how a user can help the program, composed from the text store. It has
// no button; the close box or Escape closes it.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace ui {

class frmHelpWin : public QDialog {
    Q_OBJECT

  public:
    explicit frmHelpWin(QWidget* parent = nullptr);

  private:
    void Form_Load();

    QPlainTextEdit* txtHelpMsg;
};

}  // namespace ui
