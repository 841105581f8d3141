// SPDX-License-Identifier: GPL-3.0-or-later
// The startup window, which is also the about box. Opened at program start it runs the start-up
// sequence once, after it first shows, and "OK" shows the main window; opened again later it is
// the about box and "OK" only closes it.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace ui {

class frmStartup : public QDialog {
    Q_OBJECT

  public:
    // createMainWindow makes the main window (hidden) for the start-up sequence; it is not
    // called in about-box mode. parent is the main window for the about box.
    explicit frmStartup(std::function<QWidget*()> createMainWindow, QWidget* parent = nullptr);

    // Called once "OK" has shown the main window at program start (the command line's files are
    // handed to it from here).
    void setStartupFinished(std::function<void(QWidget* mainWindow)> finished) {
        m_startupFinished = std::move(finished);
    }
    QWidget* mainWindow() const { return m_mainWindow; }
    bool isAboutBox() const;

    void cmdOK_Click();
    void cmdInfo_Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void Form_Load();
    // Every activation: names the settings file and sets the labels again.
    void Form_Activate();
    // The first show only: the start-up sequence (when it has not run in this program).
    void runStartupSequence();

    std::function<QWidget*()> m_createMainWindow;
    std::function<void(QWidget*)> m_startupFinished;
    QWidget* m_mainWindow = nullptr;
    bool m_sequenceQueued = false;
    bool m_sequenceRunning = false;
    bool m_finished = false;

    QLabel* Picture1;
    QPushButton* cmdOK;
    QLabel* labAuthor;
    QLabel* labDisclaimer;
    QLabel* labVersion;
    QLabel* labProduct;
    QCheckBox* chkInfoOnly;
    QLabel* labInfo;
    QPushButton* cmdInfo;
    QLabel* Label1;
    QLabel* Picture2;
};

}  // namespace ui
