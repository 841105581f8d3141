// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/frm_preview.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "media/clip_inspection.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"
#include "preview/marker_strip.h"
#include "settings/ini_store.h"
#include "settings/settings_keys.h"
#include "settings/window_placement.h"

// The toolbar images live in a static library: their resource must be registered by name.
static void InitPreviewImages() {
    Q_INIT_RESOURCE(preview_images);
}

namespace preview {

namespace {

constexpr int kStripHeight = 9;
constexpr int kSliderHeight = 17;
constexpr int kLabelWidth = 41;
constexpr int kPollMs = 100;

struct ButtonInfo {
    Button button;
    const char* toolTip;
    Image image;
    QKeySequence shortcut;  // also named in the tooltip
};

// The toolbar in its order; a separator follows tbLast.
const std::vector<ButtonInfo>& Buttons() {
    static const std::vector<ButtonInfo> buttons = {
        {Button::Play, QT_TR_NOOP("Play"), Image::Play, QKeySequence(Qt::Key_Space)},
        {Button::First, QT_TR_NOOP("First Frame"), Image::First, QKeySequence(Qt::Key_Home)},
        {Button::Prev, QT_TR_NOOP("Prev Frame"), Image::Prev, QKeySequence(Qt::Key_Left)},
        {Button::Next, QT_TR_NOOP("Next Frame"), Image::Next, QKeySequence(Qt::Key_Right)},
        {Button::Last, QT_TR_NOOP("Last Frame"), Image::Last, QKeySequence(Qt::Key_End)},
        {Button::NextSplice, QT_TR_NOOP("Next Splice"), Image::NextSplice,
         QKeySequence(Qt::ALT | Qt::Key_Right)},
        {Button::PrevKey, QT_TR_NOOP("Previous Key Frame"), Image::PrevKey,
         QKeySequence(Qt::ALT | Qt::Key_Left)},
        {Button::MarkIn, QT_TR_NOOP("Mark In"), Image::MarkIn, QKeySequence(Qt::Key_I)},
        {Button::MarkOut, QT_TR_NOOP("Mark Out"), Image::MarkOut, QKeySequence(Qt::Key_O)},
        {Button::ModeSwitch, QT_TR_NOOP("Preview/edit this segment"), Image::ModeSwitch,
         QKeySequence(Qt::Key_V)},
    };
    return buttons;
}

QIcon ImageIcon(Image image) {
    static const char* const files[] = {"play",     "stop",        "first",      "prev",
                                        "next",     "last",        "prev_key",   "mark_in",
                                        "mark_out", "next_splice", "mode_switch"};
    const int index = static_cast<int>(image) - 1;
    return QIcon(QString(":/preview/images/%1.svg").arg(files[index]));
}

}  // namespace

frmPreview::frmPreview(platform::Dialogs& dialogs, settings::SharedTexts& texts,
                       QWidget* mainWindow, WindowIdFunction windowIds,
                       MovieFactsFunction movieFacts)
    : QDialog(mainWindow),
      m_dialogs(dialogs),
      m_texts(texts),
      m_mainWindow(mainWindow),
      m_logic(*this, m_sender, dialogs, &m_splicePoints),
      m_movieFacts(std::move(movieFacts)) {
    InitPreviewImages();
    setObjectName("frmPreview");
    setWindowTitle(tr("Preview"));
    // The window may be resized (the picture then fits it) and maximised.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_client = new QWidget(this);
    m_client->setObjectName("clientArea");
    buildMenus();
    outer->setMenuBar(m_menuBar);
    outer->addWidget(m_client);
    buildToolbar();
    addExactEndKeys();

    m_strip = new MarkerStrip(m_client);
    m_slider = new QSlider(Qt::Horizontal, m_client);
    m_slider->setObjectName("Slider1");
    m_slider->setMinimum(0);
    m_slider->setMaximum(0);
    m_slider->setPageStep(10);
    m_slider->installEventFilter(this);
    m_labFrame = new QLabel(tr("Frame"), m_client);
    m_labFrame->setObjectName("labFrame");
    m_labFrame->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_labFrame->setContentsMargins(0, 0, 3, 0);
    // The status bar: panel 1 takes the free width, panels 2 and 3 size to their text.
    m_statusBar = new QFrame(m_client);
    m_statusBar->setObjectName("StatusBar1");
    auto* panels = new QHBoxLayout(m_statusBar);
    panels->setContentsMargins(2, 1, 2, 1);
    panels->setSpacing(2);
    for (size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i] = new QLabel(m_statusBar);
        m_panels[i]->setObjectName(QString("StatusBar1Panel%1").arg(i + 1));
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        panels->addWidget(m_panels[i], i == 0 ? 1 : 0);
    }
    m_panels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_panels[1]->hide();
    m_panels[2]->setMinimumWidth(30);
    m_soundNotice = new QLabel(tr("No sound output"), m_statusBar);
    m_soundNotice->setObjectName("soundNotice");
    m_soundNotice->setToolTip(tr("No audio output is available: the clip plays without sound."));
    m_soundNotice->setFrameShape(QFrame::StyledPanel);
    m_soundNotice->setFrameShadow(QFrame::Sunken);
    m_soundNotice->hide();
    panels->insertWidget(1, m_soundNotice);
    m_statusHeight = std::max(17, m_statusBar->sizeHint().height());

    // The user's moves only: a position read sets the value, and that must not seek again.
    connect(m_slider, &QSlider::sliderMoved, this,
            [this](int value) { m_logic.sliderMoved(value); });
    connect(m_slider, &QSlider::sliderReleased, this,
            [this] { m_logic.sliderReleased(m_slider->sliderPosition()); });
    connect(m_slider, &QSlider::actionTriggered, this, [this](int sliderAction) {
        if (sliderAction != QAbstractSlider::SliderNoAction &&
            sliderAction != QAbstractSlider::SliderMove) {
            m_logic.sliderMoved(m_slider->sliderPosition());
        }
    });

    m_timer.setObjectName("Timer1");
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_logic.TimerTick(); });

    m_windowId = windowIds ? windowIds(m_client) : 0;
    m_client->setMinimumSize(kMinAreaWidth, sliderBottom() + kMinAreaHeight + m_statusHeight);
    m_client->installEventFilter(this);
    applyLayout(WindowLayout{});

    // Form_Load: the remembered position, the movie device, no known frame.
    if (m_texts.previewPosText.empty()) {
        m_texts.previewPosText =
            settings::ReadIniValue(settings::kSectionPreview, settings::kKeyWindowState);
    }
    platform::QtPlacedWindow placed(*this);
    if (!m_texts.previewPosText.empty()) {
        settings::ApplyWindowPosText(placed, m_texts.previewPosText, platform::ScreenAreaOf(this));
    } else {
        settings::CenterOnScreen(placed, platform::ScreenAreaOf(this), 1);
    }
    m_logic.Form_Load();
}

frmPreview::~frmPreview() {
    unload();
}

void frmPreview::buildMenus() {
    m_menuBar = new QMenuBar(this);
    QMenu* preview = m_menuBar->addMenu(tr("&Preview"));
    preview->setObjectName("mnuPreview");
    QAction* exitAction = preview->addAction(tr("E&xit"));
    exitAction->setObjectName("mnuPreviewExit");
    // Exit closes as the close box does, so nothing plays on in a hidden window.
    connect(exitAction, &QAction::triggered, this, [this] { close(); });

    QMenu* scale = m_menuBar->addMenu(tr("&Scale"));
    scale->setObjectName("mnuScale");
    auto addScale = [&](const QString& text, const char* name, int16_t value) {
        QAction* item = scale->addAction(text);
        item->setObjectName(name);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, value] {
            m_logic.scaleCommand(value);
            applyLayout(m_logic.layout());
        });
        return item;
    };
    m_scaleOrig = addScale(tr("&Original Size"), "mnuScaleOrig", kScaleOriginal);
    scale->addSeparator()->setObjectName("sep1a");
    m_scaleHalf = addScale(tr("&1/2 Size"), "mnuScaleHalf", kScaleHalf);
    m_scaleDouble = addScale(tr("&Double Size"), "mnuScaleDouble", kScaleDouble);
    m_scaleFit = addScale(tr("&Fit to Window"), "mnuScaleFit", kScaleFit);
}

void frmPreview::buildToolbar() {
    m_toolbar = new QToolBar(m_client);
    m_toolbar->setObjectName("Toolbar1");
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    for (const ButtonInfo& info : Buttons()) {
        QAction* item = new QAction(ImageIcon(info.image), info.toolTip, this);
        item->setObjectName(ButtonKey(info.button));
        if (!info.shortcut.isEmpty()) {
            item->setShortcut(info.shortcut);
            item->setShortcutContext(Qt::WindowShortcut);
        }
        m_actions[static_cast<size_t>(info.button)] = item;
        setButtonToolTip(info.button, info.toolTip);
        m_toolbar->addAction(item);
        if (info.button == Button::Last) {
            m_toolbar->addSeparator();
        }
        const Button button = info.button;
        connect(item, &QAction::triggered, this, [this, button] { m_logic.buttonClick(button); });
        if (button >= Button::NextSplice) {
            item->setVisible(false);
        }
    }
    m_toolbarHeight = std::max(26, m_toolbar->sizeHint().height());
}

// Next and previous exact end: keys of the window, not toolbar buttons.
void frmPreview::addExactEndKeys() {
    const auto add = [this](const char* name, Qt::Key key, void (PreviewLogic::*step)()) {
        QAction* item = new QAction(this);
        item->setObjectName(name);
        item->setShortcut(QKeySequence(Qt::SHIFT | key));
        item->setShortcutContext(Qt::WindowShortcut);
        addAction(item);
        connect(item, &QAction::triggered, this, [this, step] { (m_logic.*step)(); });
    };
    add("actNextExactEnd", Qt::Key_Right, &PreviewLogic::nextExactEnd);
    add("actPrevExactEnd", Qt::Key_Left, &PreviewLogic::previousExactEnd);
}

// ---- entry points ----------------------------------------------------------------------------

void frmPreview::showModal() {
    if (m_unloaded) {
        return;
    }
    exec();
}

void frmPreview::PreviewClips(int count, int index, int markingAllowed,
                              std::vector<ClipInfo>& clips) {
    const size_t n = std::min(static_cast<size_t>(std::max(count, 0)), clips.size());
    if (n == 0) {
        return;
    }
    m_logic.setClips(std::vector<ClipInfo>(clips.begin(), clips.begin() + static_cast<long>(n)));
    m_logic.InitPreview(index, static_cast<int16_t>(markingAllowed == 1 ? 1 : 0));
    m_logic.OpenMovie(OpenMode::Cue);
    showModal();
    for (size_t i = 0; i < n; ++i) {
        clips[i] = m_logic.clips()[i];
    }
}

void frmPreview::PreviewFile(const std::string& path) {
    ClipInfo clip{};
    clip.fileName = path;
    // Audio that cannot be joined (status 1) still leaves a clip whose pictures can be shown.
    const int32_t status = LoadClipInfo(clip);
    if (status != 0 && status != 1) {
        m_dialogs.messageBox(
            platform::ToUtf8(tr("Unable to load clip")),
            platform::ToUtf8(
                tr("An error occurred while loading the clip '%1'.  Unable to preview.")
                    .arg(platform::ToQString(path))),
            platform::MessageButtons::Ok);
        return;
    }
    m_logic.setClips({clip});
    m_logic.InitPreview(0, 0);
    m_logic.OpenMovie(OpenMode::Cue);
    showModal();
}

void frmPreview::rememberPosition() {
    // Where the window was only ever placed is no position of the user's.
    if (!m_everShown) {
        return;
    }
    const platform::QtPlacedWindow placed(*this);
    m_texts.previewPosText = settings::GetWindowPosText(placed);
}

void frmPreview::unload() {
    if (m_unloaded) {
        return;
    }
    m_closingByProgram = true;
    m_logic.closeRequest();
    rememberPosition();
    hide();
    m_logic.Form_Unload();
    m_unloaded = true;
}

void frmPreview::closeEvent(QCloseEvent* event) {
    m_logic.closeRequest();
    rememberPosition();
    if (m_closingByProgram) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
}

void frmPreview::showEvent(QShowEvent* event) {
    m_everShown = true;
    QDialog::showEvent(event);
}

void frmPreview::reject() {
    close();  // Escape closes as the close box does
}

bool frmPreview::eventFilter(QObject* watched, QEvent* event) {
    // The user (or the window system) resized the window: the controls follow, the picture fits.
    if (watched == m_client && event->type() == QEvent::Resize && !m_resizing) {
        const QSize size = m_client->size();
        const int height = size.height() - sliderBottom() - m_statusHeight;
        placeControls(size.width(), height);
        m_logic.areaResized(size.width(), height);
        return false;
    }
    // Keys typed on the slider do what they do anywhere in the window; the slider's own page
    // keys stay its own.
    if (watched == m_slider && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence typed(key->keyCombination());
        for (QAction* item : m_actions) {
            if (item->shortcut() == typed) {
                if (item->isVisible() && item->isEnabled()) {
                    item->trigger();
                }
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- PreviewView -----------------------------------------------------------------------------

void frmPreview::setCaption(const std::string& caption) {
    setWindowTitle(platform::ToQString(caption));
}

void frmPreview::setStatusText(int panel, const std::string& text) {
    if (panel < 1 || panel > 3) {
        return;
    }
    QLabel* label = m_panels[static_cast<size_t>(panel - 1)];
    label->setText(platform::ToQString(text));
    if (panel == 1) {  // a clip was just opened
        showSoundNotice();
    }
}

void frmPreview::setStatusVisible(int panel, bool visible) {
    if (panel >= 1 && panel <= 3) {
        m_panels[static_cast<size_t>(panel - 1)]->setVisible(visible);
    }
}

void frmPreview::setFrameLabel(const std::string& text) {
    m_labFrame->setText(platform::ToQString(text));
}

void frmPreview::setSliderMaximum(int32_t maximum) {
    m_slider->setMaximum(std::max(maximum, 0));
}

void frmPreview::setSliderValue(int32_t value) {
    if (!m_slider->isSliderDown()) {  // the thumb stays under the user's pointer
        m_slider->setValue(value);
    }
}

void frmPreview::setSliderEnabled(bool enabled) {
    m_slider->setEnabled(enabled);
}

void frmPreview::setButtonVisible(Button button, bool visible) {
    action(button)->setVisible(visible);
}

void frmPreview::setButtonEnabled(Button button, bool enabled) {
    action(button)->setEnabled(enabled);
}

bool frmPreview::buttonEnabled(Button button) const {
    return action(button)->isEnabled();
}

void frmPreview::setButtonToolTip(Button button, const std::string& toolTip) {
    m_toolTips[static_cast<size_t>(button)] = toolTip;
    QString text = tr(toolTip.c_str());
    const QKeySequence keys = action(button)->shortcut();
    if (!keys.isEmpty()) {
        text += " (" + keys.toString(QKeySequence::NativeText) + ")";
    }
    action(button)->setToolTip(text);
}

void frmPreview::setButtonImage(Button button, Image image) {
    action(button)->setIcon(ImageIcon(image));
}

int32_t frmPreview::frameLabelWidth() const {
    return kLabelWidth;
}

int32_t frmPreview::sliderBottom() const {
    return m_toolbarHeight + kStripHeight + kSliderHeight;
}

SliderTrack frmPreview::sliderTrack(int32_t sliderWidth) const {
    QStyleOptionSlider option;
    option.initFrom(m_slider);
    option.orientation = Qt::Horizontal;
    option.rect = QRect(0, 0, sliderWidth, kSliderHeight);
    option.minimum = 0;
    option.maximum = 1000;
    option.subControls = QStyle::SC_SliderHandle;
    option.sliderPosition = 0;
    const QRect first =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, m_slider);
    option.sliderPosition = option.maximum;
    const QRect last =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, m_slider);
    if (!first.isValid() || !last.isValid()) {
        return {7, sliderWidth - 16};
    }
    return {first.center().x(), last.center().x() - first.center().x()};
}

void frmPreview::applyLayout(const WindowLayout& layout) {
    m_scaleOrig->setChecked(layout.scale == kScaleOriginal);
    m_scaleHalf->setChecked(layout.scale == kScaleHalf);
    m_scaleDouble->setChecked(layout.scale == kScaleDouble);
    m_scaleFit->setChecked(layout.scale == kScaleFit);
    const QSize client(layout.areaWidth, sliderBottom() + layout.areaHeight + m_statusHeight);
    if (m_client->size() != client) {
        m_resizing = true;
        if (isMaximized() || isFullScreen()) {
            showNormal();  // a scale chosen is a size for the window
        }
        // The window around a client area of exactly that size, whether shown yet or not; then
        // the user may resize it again.
        const QSize minimum = m_client->minimumSize();
        m_client->setFixedSize(client);
        adjustSize();
        m_client->setMinimumSize(minimum);
        m_client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        m_resizing = false;
        // A picture larger than the screen: the window shrinks, and the picture fits it.
        platform::KeepOnScreen(*this);
    }
    placeControls(layout.areaWidth, layout.areaHeight);
}

void frmPreview::placeControls(int width, int height) {
    const int sliderWidth = std::max(width - kLabelWidth, 0);
    m_toolbar->setGeometry(0, 0, width, m_toolbarHeight);
    m_strip->setGeometry(0, m_toolbarHeight, sliderWidth, kStripHeight);
    m_slider->setGeometry(0, m_toolbarHeight + kStripHeight, sliderWidth, kSliderHeight);
    m_labFrame->setGeometry(width - kLabelWidth, m_toolbarHeight, kLabelWidth,
                            kStripHeight + kSliderHeight);
    m_statusBar->setGeometry(0, sliderBottom() + height, width, m_statusHeight);
}

FrameAspect frmPreview::displayAspect() const {
    return m_movieFacts ? m_movieFacts().aspect : FrameAspect{};
}

void frmPreview::showSoundNotice() {
    const MovieFacts facts = m_movieFacts ? m_movieFacts() : MovieFacts{};
    m_soundNotice->setVisible(facts.audioStream && !facts.sound);
}

void frmPreview::drawStrip(int32_t width, const std::vector<StripShape>& shapes) {
    m_strip->resize(std::max(width, 0), kStripHeight);
    m_strip->setShapes(shapes);
}

void frmPreview::setTimerEnabled(bool enabled) {
    if (enabled && !m_timer.isActive()) {
        m_timer.start();
    } else if (!enabled) {
        m_timer.stop();
    }
}

bool frmPreview::timerEnabled() const {
    return m_timer.isActive();
}

void frmPreview::setTimerInterval(int milliseconds) {
    if (m_timer.interval() != milliseconds) {
        m_timer.setInterval(milliseconds);
    }
}

}  // namespace preview
