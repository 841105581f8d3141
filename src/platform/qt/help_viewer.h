// SPDX-License-Identifier: GPL-3.0-or-later
// The program's help window: the HTML help file in a text browser, opened at its top. One window
// serves every request; asking again brings it forward at the top of the file.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QTextBrowser;

namespace platform {

class HelpViewer : public QWidget {
  public:
    explicit HelpViewer(QWidget* owner = nullptr);

    // Shows the file from its top; a file that cannot be read is named in the window instead.
    void showFile(const std::string& helpFile);
    QTextBrowser* browser() const { return m_browser; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QTextBrowser* m_browser;
};

// Opens (or raises) the help window on the file. Its owner decides which window it stays over; a
// new window is placed by place when it is given, else where the window system puts it, and is
// kept on the screen.
HelpViewer* ShowHelpFile(QWidget* owner, const std::string& helpFile,
                         const std::function<void(QWidget& viewer)>& place = {});

}  // namespace platform
