// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: on the left the drive list, folder list, pattern and file box; on the right the
// join list under the two statistics panels; between them the picture buttons. The commands'
// logic is MainWindowLogic; this class wires the widgets to it (its controls are built in
// frm_trel_join_controls.cpp).
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_list_box.h"
#include "ui/main/main_window_logic.h"
#include "ui/main/main_window_services.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QToolButton;

namespace ui {

class FileBoxList;
class JoinList;

class frmTrelJoin : public QMainWindow {
    Q_OBJECT

  public:
    // Runs Form_Load: the job cleared, the pattern and folders restored, the preview loaded.
    explicit frmTrelJoin(const MainWindowServices& services, QWidget* parent = nullptr);
    ~frmTrelJoin() override;

    // Files named on the command line: added to the job through AddClip, in order.
    void addFiles(const std::vector<std::string>& paths);

    // The folder the folder list shows and the file box lists; moving there refills both.
    std::string currentFolder() const { return m_folder; }
    void setCurrentFolder(const std::string& folder);

    MainWindowLogic& logic() { return *m_logic; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void createMenus();
    void createKeys();
    void connectEvents();

    void Form_Load();
    void QueryUnload();
    void Form_Unload();

    void Drive1_Change(int index);
    void Dir1_Change();
    void Combo1_Change(const QString& text);
    void File1_PathChange();
    void RefreshFileBox();
    void RefreshStats();
    void JoinCommand();
    void PreviewSelectedFile();
    void AddSelectedFiles();
    // "Open Clips...": the chosen files to the join list, and the file box to their folder.
    void OpenClips();
    void fillDrives();
    void showFileBoxMenu(const QPoint& globalPos);
    void showJoinBoxMenu(const QPoint& globalPos);
    bool dropOnJoinList(QEvent* event);

    std::unique_ptr<platform::QtListBox> m_listJoinBox;
    std::unique_ptr<platform::QtListBox> m_listFilesBox;
    std::unique_ptr<MainWindowLogic> m_logic;
    MainWindowServices m_services;

    std::string m_folder;
    std::string m_drive;
    std::string m_pattern;
    bool m_unloaded = false;

    QComboBox* Drive1 = nullptr;
    QListWidget* Dir1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* cmdOpenClips = nullptr;
    FileBoxList* listFiles = nullptr;
    QListWidget* File1 = nullptr;
    QToolButton* picCmdPreviewFile = nullptr;
    QToolButton* picCmdAddFile = nullptr;
    QToolButton* picCmdDoJoin = nullptr;
    QToolButton* picCmdClear = nullptr;
    QToolButton* picDelClip = nullptr;
    QToolButton* picClipUp = nullptr;
    QToolButton* picClipDn = nullptr;
    JoinList* listJoin = nullptr;
    QGroupBox* frameJoin = nullptr;
    QLabel* labLength = nullptr;
    QLabel* labVideoStats = nullptr;
    QLabel* labAudioStats = nullptr;
    QToolButton* picCmdPreviewJoined = nullptr;
    QGroupBox* frameSeg = nullptr;
    QLabel* labSegLength = nullptr;
    QLabel* labSegLead = nullptr;
    QToolButton* picCmdPreviewSeg = nullptr;

    QMenu* mnuJoin = nullptr;
    QAction* mnuOpenClips = nullptr;
    QAction* mnuDoJoin = nullptr;
    QAction* mnuPreferences = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpContents = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QMenu* mnuFileBox = nullptr;
    QAction* mnuFBPreview = nullptr;
    QAction* mnuFBAdd = nullptr;
    QMenu* mnuJoinBox = nullptr;
    QAction* mnuJBPrevJoin = nullptr;
    QAction* mnuJBPrevSeg = nullptr;
    QAction* mnuJBDelete = nullptr;
};

}  // namespace ui
