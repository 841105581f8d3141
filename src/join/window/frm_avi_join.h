// SPDX-License-Identifier: GPL-3.0-or-later
// The join progress window: the join runs inside it once, with progress, elapsed time and an
// estimate of the time left, and a cancel that asks first; then it shows the report and offers to
// view the joined file and to delete the sources. Its decisions are JoinWindowLogic's.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "join/join_engine.h"
#include "join/window/join_window_logic.h"
#include "media/clip_info.h"
#include "platform/dialogs.h"
#include "platform/files.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace join {

class frmAviJoin : public QDialog, public JoinProgress {
    Q_OBJECT

  public:
    frmAviJoin(platform::Dialogs& dialogs, platform::Files& files,
               std::function<void(const std::string&)> previewFile, QWidget* owner = nullptr);

    JoinWindowLogic& logic() { return m_logic; }

    // Hands the job to the engine with this window as its progress window, and names the
    // destination in the window.
    void prepareJoin(const std::string& destination, int16_t clipCount,
                     const std::vector<ClipInfo>& clips);

    int32_t show_progress(int16_t clipIndex, int16_t segmentPercent, int16_t totalPercent) override;

    // Called inside show_progress before pending events run (tests act from here, as a user
    // clicking during the join would).
    void setProgressObserver(std::function<void(int clip, int segment, int total)> observer) {
        m_progressObserver = std::move(observer);
    }

    // The button handlers, also reachable from the keyboard (Escape is the Cancel/Done button).
    void cmdDone_Click();
    void cmdView_Click();
    void cmdDelete_Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    // The first show starts the join once, from the event loop; later activations do nothing.
    void Form_Activate();
    void showReport();
    void fitReport();

    JoinWindowLogic m_logic;
    std::function<void(const std::string&)> m_previewFile;
    std::function<void(int, int, int)> m_progressObserver;
    bool m_activationQueued = false;
    QElapsedTimer m_elapsed;

    QLabel* labSegment;
    QProgressBar* prgSegment;
    QLabel* labJoined;
    QProgressBar* prgTotal;
    QLabel* labTime;
    QPlainTextEdit* txtMsg;
    QPushButton* cmdDone;
    QPushButton* cmdView;
    QPushButton* cmdDelete;
};

// Joins entries 0 .. clipCount - 1 of clips into destination with the progress window shown
// modally over owner, and returns the window's final status: 1 joined, 2 joined and the sources
// deleted (to the trash, through files), 0 or less not joined (-9 cancelled, -1 / -2 failed). When
// cleanReport is given it tells whether the report was clean ("Completed Clip:" with every frame
// written), the only case in which the job may be cleared by preference.
int32_t StartJoin(QWidget* owner, platform::Dialogs& dialogs, platform::Files& files,
                  std::function<void(const std::string&)> previewFile,
                  const std::string& destination, int16_t clipCount,
                  const std::vector<ClipInfo>& clips, bool* cleanReport = nullptr);

// The program is asked to end while a join window is open: a running join is cancelled without
// questions (its part written so far is kept) and the window closes; StartJoin then returns.
// False when no join window is open.
bool CloseJoinWindowForExit();

}  // namespace join
