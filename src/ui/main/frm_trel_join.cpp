// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/frm_trel_join.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QStorageInfo>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "media/vbvfw.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/twips_layout.h"
#include "settings/app_title.h"
#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_keys.h"
#include "settings/window_placement.h"
#include "ui/main/clip_lists.h"
#include "ui/main/file_box.h"
#include "ui/main/picture_button.h"

// The pictures live in a static library: register them before the first window needs them.
static void LoadMainWindowPictures() {
    Q_INIT_RESOURCE(main_window);
}

namespace ui {

frmTrelJoin::frmTrelJoin(const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent), m_services(services) {
    LoadMainWindowPictures();
    setObjectName(QStringLiteral("frmTrelJoin"));
    setWindowTitle(QStringLiteral("Trelvane"));
    setWindowIcon(PictureIcon(QStringLiteral(":/trelvane/main/trelvane.svg"), QSize(64, 64)));
    // Message boxes and the save dialog belong to this window unless the caller chose another.
    if (auto* qtDialogs = dynamic_cast<platform::QtDialogs*>(m_services.dialogs);
        qtDialogs != nullptr && qtDialogs->owner() == nullptr) {
        qtDialogs->setOwner(this);
    }
    createControls();
    m_listJoinBox = std::make_unique<platform::QtListBox>(*listJoin);
    m_listFilesBox = std::make_unique<platform::QtListBox>(*listFiles);
    m_logic = std::make_unique<MainWindowLogic>(*m_listJoinBox, m_services);
    m_logic->job().setRefreshStats([this] { RefreshStats(); });
    createMenus();
    createKeys();
    connectEvents();
    // The design size is the smallest; the window grows from there.
    resize(minimumSizeHint());
    Form_Load();
}

frmTrelJoin::~frmTrelJoin() {
    Form_Unload();
}

void frmTrelJoin::connectEvents() {
    connect(Drive1, &QComboBox::activated, this, &frmTrelJoin::Drive1_Change);
    connect(Dir1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item != nullptr) {
            setCurrentFolder(platform::ToUtf8(item->data(Qt::UserRole).toString()));
        }
    });
    connect(Combo1, &QComboBox::editTextChanged, this, &frmTrelJoin::Combo1_Change);
    connect(Combo1, &QComboBox::textActivated, this, &frmTrelJoin::Combo1_Change);
    Combo1->lineEdit()->installEventFilter(this);

    connect(listFiles, &QListWidget::itemDoubleClicked, this, [this] { AddSelectedFiles(); });
    connect(listJoin, &QListWidget::itemDoubleClicked, this,
            [this] { m_logic->PreviewSelectedSegment(); });
    connect(listJoin, &QListWidget::itemSelectionChanged, this, &frmTrelJoin::RefreshStats);
    // The viewports get the mouse and drops; the lists themselves the keyboard's menu key.
    for (QListWidget* list :
         {static_cast<QListWidget*>(listFiles), static_cast<QListWidget*>(listJoin)}) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }

    connect(picCmdDoJoin, &QToolButton::clicked, this, &frmTrelJoin::JoinCommand);
    connect(picCmdAddFile, &QToolButton::clicked, this, &frmTrelJoin::AddSelectedFiles);
    connect(picCmdPreviewFile, &QToolButton::clicked, this, &frmTrelJoin::PreviewSelectedFile);
    connect(picCmdClear, &QToolButton::clicked, this, [this] { m_logic->clearCommand(); });
    connect(cmdOpenClips, &QPushButton::clicked, this, &frmTrelJoin::OpenClips);
    connect(mnuOpenClips, &QAction::triggered, this, &frmTrelJoin::OpenClips);
    connect(mnuDoJoin, &QAction::triggered, this, &frmTrelJoin::JoinCommand);
    connect(picDelClip, &QToolButton::clicked, this,
            [this] { m_logic->job().RemoveSelectedClips(); });
    connect(picClipUp, &QToolButton::clicked, this,
            [this] { m_logic->job().MoveSelectedClip(-1); });
    connect(picClipDn, &QToolButton::clicked, this, [this] { m_logic->job().MoveSelectedClip(1); });
    connect(picCmdPreviewSeg, &QToolButton::clicked, this,
            [this] { m_logic->PreviewSelectedSegment(); });
    connect(picCmdPreviewJoined, &QToolButton::clicked, this,
            [this] { m_logic->PreviewJoinedClip(); });

    connect(mnuPreferences, &QAction::triggered, this, [this] {
        if (m_services.showPreferences) {
            m_services.showPreferences(m_folder);
        }
    });
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(mnuHelpContents, &QAction::triggered, this, [this] {
        if (m_services.showHelpContents) {
            m_services.showHelpContents();
        }
    });
    connect(mnuHelpAbout, &QAction::triggered, this, [this] {
        if (m_services.showAbout) {
            m_services.showAbout();
        }
    });
    connect(mnuFBPreview, &QAction::triggered, this, &frmTrelJoin::PreviewSelectedFile);
    connect(mnuFBAdd, &QAction::triggered, this, &frmTrelJoin::AddSelectedFiles);
    connect(mnuJBPrevJoin, &QAction::triggered, picCmdPreviewJoined, &QToolButton::click);
    connect(mnuJBPrevSeg, &QAction::triggered, this, [this] { m_logic->PreviewSelectedSegment(); });
    connect(mnuJBDelete, &QAction::triggered, this,
            [this] { m_logic->job().RemoveSelectedClips(); });
}

void frmTrelJoin::Form_Load() {
    m_logic->job().ClearJob();
    const std::string pattern =
        settings::ReadIniValue(settings::kSectionPreferences, settings::kKeyMatchPattern);
    if (!pattern.empty()) {
        const QSignalBlocker block(Combo1);
        Combo1->setEditText(platform::ToQString(pattern));
    }
    m_pattern = platform::ToUtf8(Combo1->currentText());
    if (m_services.texts != nullptr) {
        m_services.texts->saveDirectory =
            settings::ReadIniValue(settings::kSectionPreferences, settings::kKeySaveDirectory);
    }
    fillDrives();
    // A stored folder that no longer exists is passed over: the lists show the current folder.
    const std::string stored =
        settings::ReadIniValue(settings::kSectionPreferences, settings::kKeyReadDirectory);
    std::error_code error;
    const bool usable = !stored.empty() && std::filesystem::is_directory(stored, error);
    setCurrentFolder(usable ? stored : platform::ToUtf8(QDir::currentPath()));
    if (m_services.loadPreview) {
        m_services.loadPreview(this);
    }
}

void frmTrelJoin::closeEvent(QCloseEvent* event) {
    // A join in progress keeps the window; its own window offers the cancel.
    if (m_logic->joinRunning()) {
        event->ignore();
        return;
    }
    QueryUnload();
    Form_Unload();
    event->accept();
}

void frmTrelJoin::QueryUnload() {
    if (m_unloaded) {
        return;
    }
    vbvfw_AVIFileExit();
    // The preview's position is final once it is unloaded.
    Form_Unload();
    const platform::QtPlacedWindow placed(*this);
    const settings::SharedTexts none;
    settings::SaveOnMainWindowClose(settings::GetWindowPosText(placed),
                                    m_services.texts != nullptr ? *m_services.texts : none,
                                    m_folder);
}

void frmTrelJoin::Form_Unload() {
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    if (m_services.unloadPreview) {
        m_services.unloadPreview();
    }
}

void frmTrelJoin::fillDrives() {
    const QSignalBlocker block(Drive1);
    Drive1->clear();
    std::vector<std::string> roots{"/"};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const std::string root = platform::ToUtf8(volume.rootPath());
        // Containers mount single files (/etc/hosts); only folders are volumes to browse.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir() &&
            std::find(roots.begin(), roots.end(), root) == roots.end()) {
            roots.push_back(root);
        }
    }
    std::sort(roots.begin() + 1, roots.end());
    for (const std::string& root : roots) {
        Drive1->addItem(platform::ToQString(root));
    }
}

void frmTrelJoin::Drive1_Change(int index) {
    const std::string root = platform::ToUtf8(Drive1->itemText(index));
    if (root == m_drive) {
        return;
    }
    const QDir folder(platform::ToQString(root));
    if (!folder.exists() || !folder.isReadable()) {
        m_services.dialogs->messageBox(settings::ApplicationTitle(),
                                       "Error accessing drive " + root,
                                       platform::MessageButtons::Ok);
        const QSignalBlocker block(Drive1);
        Drive1->setCurrentIndex(Drive1->findText(platform::ToQString(m_drive)));
        return;
    }
    setCurrentFolder(root);
}

void frmTrelJoin::setCurrentFolder(const std::string& folder) {
    const std::filesystem::path normal = std::filesystem::path(folder).lexically_normal();
    std::string path = normal.string();
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    m_folder = path.empty() ? folder : path;
    Dir1_Change();
}

void frmTrelJoin::Dir1_Change() {
    {
        const QSignalBlocker block(Dir1);
        Dir1->clear();
        for (const FolderLine& line : FolderListLines(m_folder)) {
            auto* item = new QListWidgetItem(QString(line.depth * 2, QLatin1Char(' ')) +
                                             platform::ToQString(line.name));
            item->setData(Qt::UserRole, platform::ToQString(line.path));
            item->setIcon(style()->standardIcon(line.open ? QStyle::SP_DirOpenIcon
                                                          : QStyle::SP_DirClosedIcon));
            Dir1->addItem(item);
            if (line.open && line.path == m_folder) {
                Dir1->setCurrentItem(item);
            }
        }
    }
    std::vector<std::string> roots;
    for (int i = 0; i < Drive1->count(); ++i) {
        roots.push_back(platform::ToUtf8(Drive1->itemText(i)));
    }
    m_drive = VolumeHolding(m_folder, roots);
    {
        const QSignalBlocker block(Drive1);
        Drive1->setCurrentIndex(Drive1->findText(platform::ToQString(m_drive)));
    }
    File1_PathChange();
}

void frmTrelJoin::Combo1_Change(const QString& text) {
    m_pattern = platform::ToUtf8(text);
    File1_PathChange();
}

void frmTrelJoin::File1_PathChange() {
    File1->clear();
    for (const std::string& name : ListMatchingFiles(m_folder, m_pattern)) {
        File1->addItem(platform::ToQString(name));
    }
    RefreshFileBox();
}

void frmTrelJoin::RefreshFileBox() {
    listFiles->clear();
    for (int i = 0; i < File1->count(); ++i) {
        listFiles->addItem(File1->item(i)->text());
    }
}

void frmTrelJoin::RefreshStats() {
    const job::StatsCaptions captions = m_logic->job().refreshStatsCaptions();
    frameJoin->setTitle(platform::ToQString(captions.frameJoin));
    labLength->setText(platform::ToQString(captions.labLength));
    labVideoStats->setText(platform::ToQString(captions.labVideoStats));
    labAudioStats->setText(platform::ToQString(captions.labAudioStats));
    frameSeg->setTitle(platform::ToQString(captions.frameSeg));
    labSegLength->setText(platform::ToQString(captions.labSegLength));
    labSegLead->setText(platform::ToQString(captions.labSegLead));
}

void frmTrelJoin::JoinCommand() {
    if (m_logic->JoinCommand() > 0) {
        // The joined file appears in the file box, deleted sources leave it.
        File1_PathChange();
    }
}

void frmTrelJoin::AddSelectedFiles() {
    m_logic->job().AddSelectedFiles(*m_listFilesBox, m_folder);
}

void frmTrelJoin::PreviewSelectedFile() {
    m_logic->PreviewSelectedFile(*m_listFilesBox, m_folder);
}

void frmTrelJoin::addFiles(const std::vector<std::string>& paths) {
    m_logic->addFiles(paths);
}

void frmTrelJoin::OpenClips() {
    // The file box follows to the folder the clips came from.
    const std::string folder = m_logic->openClips(m_folder);
    if (!folder.empty() && folder != m_folder) {
        setCurrentFolder(folder);
    }
}

void frmTrelJoin::showFileBoxMenu(const QPoint& globalPos) {
    const FileBoxMenuState state = FileBoxMenuRule(platform::SelectedCount(*m_listFilesBox));
    mnuFBPreview->setEnabled(state.previewEnabled);
    mnuFBAdd->setEnabled(state.addEnabled);
    if (!state.addCaption.empty()) {
        mnuFBAdd->setText(platform::ToQString(state.addCaption));
    }
    mnuFileBox->exec(globalPos);
}

void frmTrelJoin::showJoinBoxMenu(const QPoint& globalPos) {
    const JoinBoxMenuState state =
        JoinBoxMenuRule(m_logic->job().clipCount(), platform::SelectedCount(*m_listJoinBox));
    mnuJBPrevJoin->setEnabled(state.previewJoinedEnabled);
    mnuJBPrevSeg->setEnabled(state.previewSegmentEnabled);
    mnuJBDelete->setEnabled(state.deleteEnabled);
    mnuJoinBox->exec(globalPos);
}

bool frmTrelJoin::dropOnJoinList(QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    if (data == nullptr) {
        return false;
    }
    // Lines dragged inside the join list: the list shows where they go, the job moves them.
    if (const std::vector<int> lines = listJoin->draggedLines(data); !lines.empty()) {
        if (event->type() != QEvent::Drop) {
            return false;
        }
        m_logic->job().MoveClips(lines, listJoin->dropLine(drop->position().toPoint()));
        drop->setDropAction(Qt::CopyAction);  // so the list does not remove what it dragged
        drop->accept();
        return true;
    }
    if (!data->hasUrls()) {
        return false;
    }
    std::vector<std::string> paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(platform::ToUtf8(url.toLocalFile()));
        }
    }
    if (paths.empty()) {
        return false;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop) {
        // After the drop has finished: adding asks questions in modal boxes.
        QTimer::singleShot(0, this, [this, paths] { addFiles(paths); });
    }
    return true;
}

bool frmTrelJoin::eventFilter(QObject* watched, QEvent* event) {
    const bool onFiles = watched == listFiles || watched == listFiles->viewport();
    const bool onJoin = watched == listJoin || watched == listJoin->viewport();
    const bool onViewport = watched == listFiles->viewport() || watched == listJoin->viewport();
    if (watched == Combo1->lineEdit() && event->type() == QEvent::FocusIn) {
        // Entering the pattern box selects nothing; the caret goes to the start.
        QTimer::singleShot(0, Combo1, [this] {
            Combo1->lineEdit()->deselect();
            Combo1->lineEdit()->setCursorPosition(0);
        });
        return false;
    }
    if (!onFiles && !onJoin) {
        return QMainWindow::eventFilter(watched, event);
    }
    if (!onViewport && event->type() != QEvent::ContextMenu) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::RightButton) {
                return false;
            }
            // The right button shows the pop-up and leaves the selection as it is.
            const QPoint at = mouse->globalPosition().toPoint();
            onFiles ? showFileBoxMenu(at) : showJoinBoxMenu(at);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (onJoin) {
                RefreshStats();
            }
            return false;
        case QEvent::ContextMenu: {
            auto* menu = static_cast<QContextMenuEvent*>(event);
            if (menu->reason() == QContextMenuEvent::Keyboard) {
                QListWidget* list = onFiles ? static_cast<QListWidget*>(listFiles) : listJoin;
                const QRect current = list->visualItemRect(list->currentItem());
                const QPoint at =
                    list->viewport()->mapToGlobal(current.isValid() ? current.center() : QPoint());
                onFiles ? showFileBoxMenu(at) : showJoinBoxMenu(at);
            }
            return true;  // the mouse's pop-up came with the button press
        }
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return onJoin && dropOnJoinList(event);
        default:
            return false;
    }
}

}  // namespace ui
