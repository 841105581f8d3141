// SPDX-License-Identifier: GPL-3.0-or-later
// trelvane-preview: opens the preview window on files, for trying the window out.
//   trelvane-preview FILE          the file alone, as the file box previews it
//   trelvane-preview FILE FILE...  the files as a job in the joined view, with marking; the
//                                  segments are printed when the window closes
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "media/clip_inspection.h"
#include "platform/mci/mci_service.h"
#include "preview/frm_preview.h"
#include "trelvane_version.h"

namespace {

constexpr const char kUsage[] =
    "Usage: trelvane-preview FILE [FILE...]\n"
    "       trelvane-preview --help | --version\n"
    "\n"
    "Opens the preview window on one file alone, or on several files as a job in the joined\n"
    "view with marking; the segments marked are printed when the window closes.\n";

// Message boxes only; the preview uses nothing else.
class BoxDialogs : public platform::Dialogs {
  public:
    platform::MessageAnswer messageBox(const std::string& title, const std::string& text,
                                       platform::MessageButtons) override {
        QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                        QString::fromStdString(text), QMessageBox::Ok);
        box.exec();
        return platform::MessageAnswer::Ok;
    }
    platform::SaveDialogResult saveFile(const platform::SaveDialogRequest&) override { return {}; }
    std::string browseForFolder(const std::string&, const std::string&) override { return {}; }
    void showHelp(const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    // Help and version need no display, so they come before the application object.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("trelvane-preview %s\n", kTrelvaneVersion);
            return 0;
        }
    }
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QApplication app(argc, argv);
    mci::WindowRegistry windows;
    mci::MciService device(windows);
    device.install();
    BoxDialogs dialogs;
    settings::SharedTexts texts;
    preview::frmPreview window(dialogs, texts, nullptr,
                               [&windows](QWidget* widget) { return windows.add(widget); });
    if (argc == 2) {
        window.PreviewFile(argv[1]);
        return 0;
    }
    std::vector<ClipInfo> clips;
    for (int i = 1; i < argc; ++i) {
        ClipInfo clip{};
        clip.fileName = argv[i];
        if (LoadClipInfo(clip) < 0) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        clip.leadIn = 0;
        clip.leadOut = static_cast<int32_t>(clip.videoInfo.dwLength - clip.videoInfo.dwStart) - 1;
        clip.segmentFrames = clip.leadOut + 1;
        clips.push_back(clip);
    }
    window.PreviewClips(static_cast<int>(clips.size()), -1, 1, clips);
    for (const ClipInfo& clip : clips) {
        std::printf("%s: %d..%d (%d frames)\n", clip.fileName.c_str(), clip.leadIn, clip.leadOut,
                    clip.segmentFrames);
    }
    return 0;
}
