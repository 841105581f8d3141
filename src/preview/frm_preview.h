// SPDX-License-Identifier: GPL-3.0-or-later
// frmPreview: the modal window in which the user watches clips, steps through their frames and
// marks segments. The logic lives in PreviewLogic; this class shows it with Qt widgets and hands
// it the window's events. The movie picture is a child of the client area (below the menu bar),
// which is the window the movie open command names.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/clip_info.h"
#include "platform/dialogs.h"
#include "preview/preview_logic.h"
#include "preview/preview_view.h"
#include "settings/preferences.h"

class QAction;
class QLabel;
class QMenuBar;
class QSlider;
class QFrame;
class QToolBar;

namespace preview {

class MarkerStrip;

// Gives a window the number the movie device knows it by (the composition root passes its
// window registry's add).
using WindowIdFunction = std::function<int64_t(QWidget* window)>;

// What the movie device can tell of the movie open now (the composition root asks it).
struct MovieFacts {
    bool audioStream = false;  // the clip has audio the device can decode
    bool sound = false;        // and it plays through an audio output
    FrameAspect aspect;        // the pictures' display aspect, when the file gives one
};
using MovieFactsFunction = std::function<MovieFacts()>;

class frmPreview : public QDialog, private PreviewView {
    Q_OBJECT

  public:
    // Loads the window hidden: places it (stored position or centred), opens the movie device.
    frmPreview(platform::Dialogs& dialogs, settings::SharedTexts& texts,
               QWidget* mainWindow = nullptr, WindowIdFunction windowIds = {},
               MovieFactsFunction movieFacts = {});
    ~frmPreview() override;

    // Shows the first count entries modally (index -1: the joined view, else that entry alone;
    // markingAllowed 1 offers Mark In/Out) and copies every entry back when the window closes.
    void PreviewClips(int count, int index, int markingAllowed, std::vector<ClipInfo>& clips);
    // Inspects the file and shows it alone, without marking; a box when it cannot be loaded.
    void PreviewFile(const std::string& path);
    // Closes the window for good: the close steps, the position into texts.previewPosText, and
    // the movie device closed.
    void unload();

    PreviewLogic& logic() { return m_logic; }
    // The client area: the window the movie picture is a child of.
    QWidget* clientArea() const { return m_client; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // PreviewView
    int64_t windowId() const override { return m_windowId; }
    void setCaption(const std::string& caption) override;
    void setStatusText(int panel, const std::string& text) override;
    void setStatusVisible(int panel, bool visible) override;
    void setFrameLabel(const std::string& text) override;
    void setSliderMaximum(int32_t maximum) override;
    void setSliderValue(int32_t value) override;
    void setSliderEnabled(bool enabled) override;
    void setButtonVisible(Button button, bool visible) override;
    void setButtonEnabled(Button button, bool enabled) override;
    bool buttonEnabled(Button button) const override;
    void setButtonToolTip(Button button, const std::string& toolTip) override;
    void setButtonImage(Button button, Image image) override;
    int32_t frameLabelWidth() const override;
    int32_t sliderBottom() const override;
    SliderTrack sliderTrack(int32_t sliderWidth) const override;
    void applyLayout(const WindowLayout& layout) override;
    FrameAspect displayAspect() const override;
    void drawStrip(int32_t width, const std::vector<StripShape>& shapes) override;
    void setTimerEnabled(bool enabled) override;
    bool timerEnabled() const override;
    void setTimerInterval(int milliseconds) override;

    void buildMenus();
    void buildToolbar();
    void addExactEndKeys();
    void rememberPosition();
    // Puts the controls around a movie area of width x height.
    void placeControls(int width, int height);
    // The no-sound notice, for the movie just opened.
    void showSoundNotice();
    void showModal();
    QAction* action(Button button) const { return m_actions[static_cast<size_t>(button)]; }

    platform::Dialogs& m_dialogs;
    settings::SharedTexts& m_texts;
    QPointer<QWidget> m_mainWindow;
    LibraryCommandSender m_sender;
    LibrarySplicePoints m_splicePoints;
    PreviewLogic m_logic;
    MovieFactsFunction m_movieFacts;
    int64_t m_windowId = 0;
    bool m_closingByProgram = false;
    bool m_everShown = false;
    bool m_resizing = false;  // applyLayout is sizing the window
    bool m_unloaded = false;

    QMenuBar* m_menuBar = nullptr;
    QWidget* m_client = nullptr;
    QToolBar* m_toolbar = nullptr;
    MarkerStrip* m_strip = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_labFrame = nullptr;
    QFrame* m_statusBar = nullptr;
    std::array<QLabel*, 3> m_panels{};
    QLabel* m_soundNotice = nullptr;
    std::array<QAction*, kButtonCount> m_actions{};
    std::array<std::string, kButtonCount> m_toolTips{};
    QAction* m_scaleOrig = nullptr;
    QAction* m_scaleHalf = nullptr;
    QAction* m_scaleDouble = nullptr;
    QAction* m_scaleFit = nullptr;
    QTimer m_timer;
    int m_toolbarHeight = 26;
    int m_statusHeight = 20;
};

}  // namespace preview
