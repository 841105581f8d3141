// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls, menus and keys. The controls stand where the window's design puts
// them at its design size, which is also the smallest the window gets; a larger window gives the
// extra room to the folder list, the file box, the join list and the statistics panels.
#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "platform/qt/qt_text.h"
#include "platform/qt/twips_layout.h"
#include "settings/window_placement.h"
#include "ui/main/clip_lists.h"
#include "ui/main/file_box.h"
#include "ui/main/frm_trel_join.h"
#include "ui/main/picture_button.h"

namespace ui {

namespace {

constexpr int kLabelHeight = 225;
constexpr int kGap = 60;  // twips between controls, about the design's gaps

// A larger or wider font stretches the design, so the longest statistics line still fits beside
// the panels' buttons.
double LayoutScale(const QWidget& widget) {
    return platform::FontLayoutScale(
        widget.font(), QStringLiteral("Audio:  16 bit Stereo, 22050Hz, PCM Uncompressed"),
        3780.0 / settings::kTwipsPerPixel);
}

QAction* Item(QMenu* menu, const char* name, const QString& caption,
              const QKeySequence& keys = {}) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (!keys.isEmpty()) {
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    return action;
}

void Separator(QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(QLatin1String(name));
}

}  // namespace

void frmTrelJoin::createControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);
    const double scale = LayoutScale(*this);
    const auto px = [scale](int twips) { return platform::TwipsToPixels(twips, scale); };
    const auto minimum = [&](QWidget* widget, int width, int height) {
        widget->setMinimumSize(platform::TwipsSize(width, height, scale));
    };

    Drive1 = new QComboBox(client);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setAccessibleName(tr("Drive"));
    minimum(Drive1, 2775, 315);

    Dir1 = new QListWidget(client);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setAccessibleName(tr("Folders"));
    Dir1->setToolTip(tr("Double-click or Enter opens a folder; Backspace goes up"));
    minimum(Dir1, 2775, 1380);

    Combo1 = new QComboBox(client);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setAccessibleName(tr("File pattern"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItem(QStringLiteral("*.avi"));
    Combo1->setEditText(QStringLiteral("*.avi"));
    Combo1->setMinimumHeight(px(315));
    cmdOpenClips = new QPushButton(tr("Open Clips..."), client);
    cmdOpenClips->setObjectName(QStringLiteral("cmdOpenClips"));
    cmdOpenClips->setToolTip(tr("Add clips chosen in the file dialog (Ctrl+O)"));

    listFiles = new FileBoxList(
        [this](const QString& line) {
            return platform::ToQString(FolderFilePath(m_folder, platform::ToUtf8(line)));
        },
        client);
    listFiles->setObjectName(QStringLiteral("listFiles"));
    listFiles->setAccessibleName(tr("Files"));
    listFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    minimum(listFiles, 2775, 1425);

    File1 = new QListWidget(client);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setVisible(false);

    // The picture buttons between the lists keep their design places, relative to each other.
    auto* buttons = new QWidget(client);
    buttons->setObjectName(QStringLiteral("pictureButtons"));
    buttons->setFixedSize(platform::TwipsSize(1140, 1380, scale));
    const auto button = [&](QToolButton*& member, const char* name, const char* art,
                            const QString& tip, QWidget* owner, int left, int top, int width,
                            int height) {
        member = new QToolButton(owner);
        member->setObjectName(QLatin1String(name));
        member->setToolTip(tip);
        member->setAccessibleName(tip);
        member->setFixedSize(platform::TwipsSize(width, height, scale));
        member->move(px(left), px(top));
        member->setIconSize(member->size() - QSize(4, 4));
        member->setIcon(PictureIcon(QStringLiteral(":/trelvane/main/") + QLatin1String(art),
                                    member->iconSize()));
    };
    button(picCmdPreviewFile, "picCmdPreviewFile", "preview_file.svg",
           tr("Preview the selected file"), buttons, 0, 0, 375, 375);
    button(picCmdAddFile, "picCmdAddFile", "add_file.svg",
           tr("Add the selected files to the join list (Enter)"), buttons, 0, 600, 375, 300);
    button(picCmdDoJoin, "picCmdDoJoin", "do_join.svg", tr("Join the clips into one file (Ctrl+J)"),
           buttons, 0, 1080, 1125, 300);
    button(picCmdClear, "picCmdClear", "clear.svg", tr("Clear the join list"), buttons, 480, 0, 300,
           960);
    button(picDelClip, "picDelClip", "del_clip.svg", tr("Remove the selected clips (Delete)"),
           buttons, 840, 0, 300, 300);
    button(picClipUp, "picClipUp", "clip_up.svg", tr("Move the selected clip up (Ctrl+Up)"),
           buttons, 840, 360, 300, 300);
    button(picClipDn, "picClipDn", "clip_dn.svg", tr("Move the selected clip down (Ctrl+Down)"),
           buttons, 840, 720, 300, 300);

    listJoin = new JoinList(client);
    listJoin->setObjectName(QStringLiteral("listJoin"));
    listJoin->setAccessibleName(tr("Join list"));
    listJoin->setToolTip(tr("Drag clips here from the file box; drag within the list to reorder"));
    listJoin->setSelectionMode(QAbstractItemView::ExtendedSelection);
    minimum(listJoin, 3135, 1425);

    // The statistics panels: their lines on the left, the preview button top right.
    const auto panel = [&](QGroupBox*& frame, const char* name, int height,
                           std::initializer_list<std::pair<QLabel**, const char*>> labels,
                           QToolButton*& preview, const char* previewName, const char* art,
                           const QString& tip) {
        frame = new QGroupBox(client);
        frame->setObjectName(QLatin1String(name));
        frame->setMinimumWidth(px(4335));
        frame->setFixedHeight(px(height));
        auto* grid = new QGridLayout(frame);
        grid->setContentsMargins(px(120), px(15), px(15), px(15));
        grid->setVerticalSpacing(px(15));
        int row = 0;
        for (const auto& [member, labelName] : labels) {
            *member = new QLabel(frame);
            (*member)->setObjectName(QLatin1String(labelName));
            (*member)->setMinimumHeight(px(kLabelHeight));
            // A long line is cut at the panel's edge rather than widening the window.
            (*member)->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
            grid->addWidget(*member, row++, 0);
        }
        grid->setRowStretch(row, 1);
        button(preview, previewName, art, tip, frame, 0, 0, 375, 375);
        grid->addWidget(preview, 0, 1, row + 1, 1, Qt::AlignTop | Qt::AlignRight);
        grid->setColumnStretch(0, 1);
    };
    panel(frameJoin, "frameJoin", 1095,
          {{&labLength, "labLength"},
           {&labVideoStats, "labVideoStats"},
           {&labAudioStats, "labAudioStats"}},
          picCmdPreviewJoined, "picCmdPreviewJoined", "preview_joined.svg",
          tr("Preview the joined clip"));
    panel(frameSeg, "frameSeg", 855, {{&labSegLength, "labSegLength"}, {&labSegLead, "labSegLead"}},
          picCmdPreviewSeg, "picCmdPreviewSeg", "preview_seg.svg",
          tr("Preview and mark the selected segment (Enter)"));

    // Two bands: the folder controls beside the panels, then the file box, the buttons and the
    // join list, which take the height the window gains.
    auto* grid = new QGridLayout(client);
    grid->setContentsMargins(px(kGap), px(kGap), px(kGap), px(kGap));
    grid->setSpacing(px(kGap));
    auto* folder = new QVBoxLayout;
    folder->setSpacing(px(45));
    folder->addWidget(Drive1);
    folder->addWidget(Dir1, 1);
    auto* pattern = new QHBoxLayout;
    pattern->addWidget(Combo1, 1);
    pattern->addWidget(cmdOpenClips);
    folder->addLayout(pattern);
    grid->addLayout(folder, 0, 0);
    auto* panels = new QVBoxLayout;
    panels->setSpacing(px(105));
    panels->addWidget(frameJoin);
    panels->addWidget(frameSeg);
    panels->addStretch(1);
    grid->addLayout(panels, 0, 1, 1, 2);
    grid->addWidget(listFiles, 1, 0);
    grid->addWidget(buttons, 1, 1, Qt::AlignTop);
    grid->addWidget(listJoin, 1, 2);
    grid->setColumnStretch(0, 2775);
    grid->setColumnStretch(2, 3135);
    grid->setRowStretch(1, 1);
}

void frmTrelJoin::createMenus() {
    mnuJoin = menuBar()->addMenu(tr("&Join"));
    mnuJoin->setObjectName(QStringLiteral("mnuJoin"));
    mnuOpenClips = Item(mnuJoin, "mnuOpenClips", tr("&Open Clips..."), QKeySequence::Open);
    mnuDoJoin =
        Item(mnuJoin, "mnuDoJoin", tr("&Join Clips..."), QKeySequence(Qt::CTRL | Qt::Key_J));
    Separator(mnuJoin, "sepOpen");
    mnuPreferences =
        Item(mnuJoin, "mnuPreferences", tr("&Preferences"), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    Separator(mnuJoin, "sep1a");
    mnuExit = Item(mnuJoin, "mnuExit", tr("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnuHelp = menuBar()->addMenu(tr("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpContents = Item(mnuHelp, "mnuHelpContents", tr("&Contents"), QKeySequence(Qt::Key_F1));
    Separator(mnuHelp, "sep1b");
    mnuHelpAbout = Item(mnuHelp, "mnuHelpAbout", tr("&About Trelvane"));

    // The two pop-ups are not in the menu bar.
    mnuFileBox = new QMenu(tr("Filebox"), this);
    mnuFileBox->setObjectName(QStringLiteral("mnuFileBox"));
    mnuFBPreview = Item(mnuFileBox, "mnuFBPreview", tr("Preview File"));
    mnuFBAdd = Item(mnuFileBox, "mnuFBAdd", tr("Add file"));
    mnuFileBox->setDefaultAction(mnuFBAdd);

    mnuJoinBox = new QMenu(tr("JoinBox"), this);
    mnuJoinBox->setObjectName(QStringLiteral("mnuJoinBox"));
    mnuJBPrevJoin = Item(mnuJoinBox, "mnuJBPrevJoin", tr("Preview Joined File"));
    mnuJBPrevSeg = Item(mnuJoinBox, "mnuJBPrevSeg", tr("Preview/Mark Segment"));
    Separator(mnuJoinBox, "sep1c");
    mnuJBDelete = Item(mnuJoinBox, "mnuJBDelete", tr("Remove From List"));
    mnuJoinBox->setDefaultAction(mnuJBPrevSeg);
}

void frmTrelJoin::createKeys() {
    const auto key = [this](QWidget* widget, QKeySequence sequence, auto action) {
        auto* shortcut = new QShortcut(sequence, widget);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    key(listJoin, QKeySequence(Qt::Key_Delete), [this] { m_logic->job().RemoveSelectedClips(); });
    key(listJoin, QKeySequence(Qt::CTRL | Qt::Key_Up),
        [this] { m_logic->job().MoveSelectedClip(-1); });
    key(listJoin, QKeySequence(Qt::CTRL | Qt::Key_Down),
        [this] { m_logic->job().MoveSelectedClip(1); });
    key(listJoin, QKeySequence(Qt::Key_Return), [this] { m_logic->PreviewSelectedSegment(); });
    key(listJoin, QKeySequence(Qt::Key_Enter), [this] { m_logic->PreviewSelectedSegment(); });
    key(Dir1, QKeySequence(Qt::Key_Backspace),
        [this] { setCurrentFolder(std::filesystem::path(m_folder).parent_path().string()); });
    key(listFiles, QKeySequence(Qt::Key_Return), [this] { AddSelectedFiles(); });
    key(listFiles, QKeySequence(Qt::Key_Enter), [this] { AddSelectedFiles(); });
}

}  // namespace ui
