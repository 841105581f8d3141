// SPDX-License-Identifier: GPL-3.0-or-later
// The preview window with the real movie device on Qt's offscreen platform, on clips ffmpeg made:
// stepping a joined job across its splices by keyboard, switching views, marking, and what
// reaches the job; the frame label and the picture agree with ffmpeg's decode at every stop.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "join/splice_check.h"
#include "media/clip_inspection.h"
#include "platform/mci/mci_service.h"
#include "platform/mci/picture_convert.h"
#include "platform/scripted/scripted_dialogs.h"
#include "preview/frm_preview.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"
#include "support/qt_test_app.h"
#include "support/test_support.h"

namespace {

using testing_support::Ffmpeg;
using testing_support::TempDir;
using testing_support::WaitFor;

constexpr int kFrames = 30;

class FrmPreviewTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        testing_support::EnsureQtApplication();
        s_dir = new TempDir();
        qputenv("TRELVANE_HOME", QByteArray::fromStdString(s_dir->path().string()));
        const std::string source = "-f lavfi -i testsrc2=size=320x240:rate=25:duration=1.2 ";
        s_ok = Ffmpeg(source + "-c:v libx264 -g 10 -keyint_min 10 -sc_threshold 0 -bf 2 " +
                      "-pix_fmt yuv420p " + s_dir->file("a.avi")) &&
               Ffmpeg(
                   "-f lavfi -i testsrc=size=320x240:rate=25:duration=1.2 -c:v libx264 -g 10 "
                   "-keyint_min 10 -sc_threshold 0 -bf 2 -pix_fmt yuv420p " +
                   testing_support::ShellQuote(s_dir->file("b with blank.avi"))) &&
               Ffmpeg(source + "-vf hflip -c:v mjpeg -q:v 3 " + s_dir->file("c.avi"));
    }
    static void TearDownTestSuite() { delete s_dir; }

  protected:
    void SetUp() override {
        ASSERT_TRUE(s_ok) << "test clips could not be made";
        m_service = std::make_unique<mci::MciService>(m_windows);
        m_service->install();
        m_window = std::make_unique<preview::frmPreview>(
            m_dialogs, m_texts, nullptr, [this](QWidget* w) { return m_windows.add(w); });
    }
    void TearDown() override {
        m_window.reset();
        m_service.reset();
    }

    ClipInfo entry(const std::string& name, int leadIn, int leadOut) {
        ClipInfo clip = clips::Inspected(s_dir->file(name));
        clips::Trim(clip, leadIn, leadOut);
        return clip;
    }

    QAction* action(const char* name) { return m_window->findChild<QAction*>(name); }
    QString frameLabel() { return m_window->findChild<QLabel*>("labFrame")->text(); }

    // Waits until the poll timer has stopped on a settled frame.
    void settle() {
        ASSERT_TRUE(WaitFor([&] { return m_window->logic().settled() && !pollActive(); }));
    }
    bool pollActive() {
        for (QTimer* timer : m_window->findChildren<QTimer*>()) {
            if (timer->objectName() == "Timer1") {
                return timer->isActive();
            }
        }
        return false;
    }

    void key(int keyCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(m_window.get(), static_cast<Qt::Key>(keyCode), modifiers);
        settle();
    }

    // The label shows the view frame, and the picture shown is ffmpeg's frame of that clip.
    void expectShown(int viewFrame, const std::string& clip, int clipFrame) {
        EXPECT_EQ(viewFrame, m_window->logic().currentFrame());
        EXPECT_EQ(QString::number(viewFrame),
                  frameLabel().remove(QRegularExpression("^[ ke]+")).trimmed())
            << frameLabel().toStdString();
        mci::QtMovie* movie = m_service->movie("movie");
        ASSERT_NE(nullptr, movie);
        int64_t frame = -1;
        ASSERT_TRUE(WaitFor([&] {
            movie->player().shownPicture(&frame);
            return frame == clipFrame;
        })) << clip
            << " shows frame " << frame << ", not " << clipFrame;
        std::vector<uint8_t> bytes;
        std::string format;
        ASSERT_TRUE(mci::PackPicture(movie->player().shownPicture().get(), &bytes, &format));
        const std::string key = clip + "/" + format;
        if (!m_reference.count(key)) {
            m_reference[key] = testing_support::FfmpegRawFrames(s_dir->file(clip), format);
        }
        const std::vector<unsigned char>& all = m_reference[key];
        ASSERT_EQ(all.size(), bytes.size() * kFrames) << key;
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(),
                               all.begin() + static_cast<long>(bytes.size()) * clipFrame))
            << clip << " frame " << clipFrame;
    }

    // Runs steps inside the modal window's own event loop, then closes it with Exit.
    void whileShown(const std::function<void()>& steps) {
        QTimer::singleShot(0, m_window.get(), [this, steps] {
            EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
            settle();
            steps();
            action("mnuPreviewExit")->trigger();
        });
    }

    static inline TempDir* s_dir = nullptr;
    static inline bool s_ok = false;

    mci::WindowRegistry m_windows;
    std::unique_ptr<mci::MciService> m_service;
    platform::ScriptedDialogs m_dialogs{
        [](const std::string& failure) { ADD_FAILURE() << "dialogs: " << failure; }};
    settings::SharedTexts m_texts;
    std::unique_ptr<preview::frmPreview> m_window;
    std::map<std::string, std::vector<unsigned char>> m_reference;
};

TEST_F(FrmPreviewTest, JoinedJobStepsAcrossSplicesSwitchesViewsAndMarksReachTheJob) {
    std::vector<ClipInfo> clips = {entry("a.avi", 0, 29), entry("b with blank.avi", 10, 29),
                                   entry("c.avi", 0, 29)};
    whileShown([&] {
        EXPECT_EQ("Joined: 0:03 / 80 Frames", m_window->windowTitle().toStdString());
        expectShown(0, "a.avi", 0);
        key(Qt::Key_Right, Qt::AltModifier);  // next splice: the segment's last frame
        expectShown(29, "a.avi", 29);
        key(Qt::Key_Right);
        expectShown(30, "b with blank.avi", 10);
        EXPECT_EQ("k 30", frameLabel().toStdString());
        key(Qt::Key_Right, Qt::AltModifier);
        expectShown(49, "b with blank.avi", 29);
        key(Qt::Key_Right);
        expectShown(50, "c.avi", 0);
        key(Qt::Key_Left);
        expectShown(49, "b with blank.avi", 29);
        // Keys typed on the slider step as they do anywhere in the window.
        auto* slider = m_window->findChild<QSlider*>("Slider1");
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Left);
        settle();
        expectShown(48, "b with blank.avi", 28);

        action("tbModeSwitch")->trigger();
        settle();
        expectShown(28, "b with blank.avi", 28);
        EXPECT_TRUE(action("tbMarkIn")->isVisible());
        key(Qt::Key_Left, Qt::AltModifier);  // previous key frame
        expectShown(20, "b with blank.avi", 20);
        key(Qt::Key_I);
        key(Qt::Key_End);  // the lead-out first
        expectShown(29, "b with blank.avi", 29);
        key(Qt::Key_Left);
        key(Qt::Key_Left);
        key(Qt::Key_I);                                  // not a key frame: no mark
        EXPECT_FALSE(action("tbMarkOut")->isEnabled());  // a B picture is still to come
        key(Qt::Key_O);
        key(Qt::Key_Left, Qt::ShiftModifier);  // previous exact end
        expectShown(26, "b with blank.avi", 26);
        EXPECT_EQ("e 26", frameLabel().toStdString());
        key(Qt::Key_O);
        EXPECT_EQ("Preview: 0:00 / 7 Frames", m_window->windowTitle().toStdString());

        key(Qt::Key_V);  // back to the joined view
        expectShown(36, "b with blank.avi", 26);
        key(Qt::Key_Space);
        EXPECT_TRUE(m_window->logic().playing());
    });
    m_window->PreviewClips(3, -1, 1, clips);
    // Exit closed the movie and stopped polling even though it was playing.
    EXPECT_EQ(nullptr, m_service->movie("movie"));
    EXPECT_FALSE(pollActive());
    EXPECT_FALSE(m_window->logic().playing());
    EXPECT_EQ(20, clips[1].leadIn);
    EXPECT_EQ(26, clips[1].leadOut);
    EXPECT_EQ(7, clips[1].segmentFrames);
    EXPECT_EQ(0, clips[0].leadIn);
    EXPECT_FALSE(m_texts.previewPosText.empty());
}

// A window the user resizes fits the picture to it at the picture's aspect ("Fit to Window"); a
// scale chosen sizes the window again; a picture larger than the screen fits a window shrunk onto
// it. Escape closes the window. A window never shown leaves no position to store.
TEST_F(FrmPreviewTest, ThePictureFitsTheWindowAndEscapeCloses) {
    m_window.reset();  // loaded, never shown
    EXPECT_EQ(m_texts.previewPosText, "");
    m_window = std::make_unique<preview::frmPreview>(
        m_dialogs, m_texts, nullptr, [this](QWidget* w) { return m_windows.add(w); });
    const std::string large = s_dir->file("large.avi");
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=size=640x480:rate=25:duration=0.2 -c:v mjpeg " +
                       testing_support::ShellQuote(large)));
    bool done = false;
    QTimer::singleShot(0, m_window.get(), [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        settle();
        QWidget* picture = m_service->movie("movie")->pictureWidget();
        QWidget* client = m_window->clientArea();
        const int sliderBottom = picture->geometry().top();
        const int status = client->height() - sliderBottom - picture->height();
        const auto area = [&] {
            return QSize(client->width(), client->height() - sliderBottom - status);
        };
        const auto fitted = [&] {  // the largest 4:3 rectangle in the area, centred
            const QSize room = area();
            const QSize size = QSize(4, 3).scaled(room, Qt::KeepAspectRatio);
            return QRect(QPoint((room.width() - size.width()) / 2,
                                sliderBottom + (room.height() - size.height()) / 2),
                         size);
        };
        EXPECT_EQ(picture->size(), QSize(640, 480));
        action("mnuScaleDouble")->trigger();  // 1280 x 960 on a smaller screen
        QTRY_VERIFY(action("mnuScaleFit")->isChecked());
        EXPECT_TRUE(m_window->screen()->availableGeometry().contains(m_window->frameGeometry()));
        EXPECT_LT(picture->width(), 1280);
        EXPECT_EQ(picture->geometry(), fitted());

        action("mnuScaleHalf")->trigger();
        EXPECT_EQ(picture->size(), QSize(320, 240));
        m_window->resize(m_window->size() + QSize(150, 10));
        QTRY_VERIFY(action("mnuScaleFit")->isChecked());
        EXPECT_FALSE(action("mnuScaleHalf")->isChecked());
        EXPECT_EQ(picture->geometry(), fitted());
        EXPECT_EQ(m_window->findChild<QSlider*>("Slider1")->width(),
                  client->width() - m_window->findChild<QLabel*>("labFrame")->width());
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        done = true;
    });
    m_window->PreviewFile(large);
    EXPECT_TRUE(done);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_FALSE(m_texts.previewPosText.empty());
}

TEST_F(FrmPreviewTest, ScaleResizesTheWindowAroundTheMovieAndAnIntraClipPlaysToTheEnd) {
    whileShown([&] {
        QWidget* picture = m_service->movie("movie")->pictureWidget();
        const int sliderBottom = picture->geometry().top();
        EXPECT_EQ(QRect(0, sliderBottom, 320, 240), picture->geometry());
        action("mnuScaleHalf")->trigger();
        EXPECT_EQ(QRect(40, sliderBottom + 30, 160, 120), picture->geometry());
        EXPECT_TRUE(action("mnuScaleHalf")->isChecked());
        EXPECT_FALSE(action("mnuScaleOrig")->isChecked());
        EXPECT_EQ(240, m_window->clientArea()->width());
        action("mnuScaleDouble")->trigger();
        EXPECT_EQ(QRect(0, sliderBottom, 640, 480), picture->geometry());
        EXPECT_EQ(640, m_window->clientArea()->width());
        action("mnuScaleDouble")->trigger();  // already checked: nothing changes
        EXPECT_TRUE(action("mnuScaleDouble")->isChecked());

        key(Qt::Key_Space);
        ASSERT_TRUE(WaitFor([&] { return !m_window->logic().playing(); }));
        settle();
        expectShown(kFrames - 1, "c.avi", kFrames - 1);
        EXPECT_TRUE(action("tbNext")->isEnabled());
    });
    m_window->PreviewFile(s_dir->file("c.avi"));
    EXPECT_FALSE(action("tbMarkIn")->isVisible());

    // Audio the join would leave out (block align 0) does not keep the pictures from showing.
    const std::string mute = s_dir->file("bad audio.avi");
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25:duration=1.2 -f lavfi -i "
               "sine=sample_rate=22050:duration=1.2 -c:v mjpeg -c:a pcm_s16le " +
               testing_support::ShellQuote(mute)));
    ASSERT_TRUE(clips::PatchStreamFormat16(mute, "auds", clips::kWaveBlockAlign, 0));
    bool shown = false;
    whileShown([&] {
        key(Qt::Key_Right);
        settle();
        expectShown(1, "bad audio.avi", 1);
        shown = true;
    });
    m_window->PreviewFile(mute);
    EXPECT_TRUE(shown);

    const std::string bad = s_dir->file("not a clip.avi");
    testing_support::RunCommand("echo nothing > " + testing_support::ShellQuote(bad));
    m_dialogs.expectMessage(
        "Unable to load clip",
        "An error occurred while loading the clip '" + bad + "'.  Unable to preview.",
        platform::MessageButtons::Ok, platform::MessageAnswer::Ok);
    m_window->PreviewFile(bad);
    EXPECT_TRUE(m_dialogs.verify());
}

// Mark In and Mark Out are offered exactly where the join accepts a lead-in and a lead-out. In an
// MPEG-4 clip with open groups of pictures a key frame is where its picture is shown, and a
// segment ends exactly only at a reference picture; the letters beside the frame number agree,
// and the exact ends can be stepped to.
TEST_F(FrmPreviewTest, MarksAreOfferedExactlyWhereTheJoinAcceptsThem) {
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25:duration=1.2 -c:v mpeg4 -bf 2 "
               "-g 12 " +
               s_dir->file("d.avi")));
    std::vector<ClipInfo> clips = {entry("d.avi", 0, kFrames - 1)};
    const auto accepted = [&](int leadIn, int leadOut) {
        ClipInfo segment = clips[0];
        ::clips::Trim(segment, leadIn, leadOut);
        return join::CheckSegment(segment).problem;
    };
    int ends = 0;
    int starts = 0;
    whileShown([&] {
        for (int f = 0; f < kFrames; ++f) {
            if (f > 0) {
                key(Qt::Key_Right);
            }
            ASSERT_EQ(f, m_window->logic().currentFrame());
            const bool end = accepted(0, f) == join::SegmentCheck::Problem::kNone;
            const bool start = accepted(f, kFrames - 1) != join::SegmentCheck::Problem::kStart;
            EXPECT_EQ(end, action("tbMarkOut")->isEnabled()) << "frame " << f;
            EXPECT_EQ(start, action("tbMarkIn")->isEnabled()) << "frame " << f;
            EXPECT_EQ(QString(start ? "k" : "") + (end ? "e" : ""),
                      frameLabel()
                          .section(' ', 0, 0, QString::SectionSkipEmpty)
                          .remove(QRegularExpression("[0-9]")))
                << frameLabel().toStdString();
            ends += end ? 1 : 0;
            starts += start ? 1 : 0;
        }
        key(Qt::Key_Home);
        key(Qt::Key_Right, Qt::ShiftModifier);
        const int first = m_window->logic().currentFrame();
        EXPECT_GT(first, 0);
        EXPECT_EQ(accepted(0, first), join::SegmentCheck::Problem::kNone);
        for (int f = 1; f < first; ++f) {
            EXPECT_NE(accepted(0, f), join::SegmentCheck::Problem::kNone) << "frame " << f;
        }
    });
    m_window->PreviewClips(1, 0, 1, clips);
    EXPECT_GT(ends, 2);
    EXPECT_LT(ends, kFrames - 2);
    EXPECT_GE(starts, 2);
}

}  // namespace
