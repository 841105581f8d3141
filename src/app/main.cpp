// SPDX-License-Identifier: GPL-3.0-or-later
// trelvane: the desktop program. The composition root: it creates the application, installs the
// movie device, names the settings file, chooses the Qt implementations of the platform, fills
// in what the main window uses of the other windows, and opens the startup window.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/app_options.h"
#include "join/join_engine.h"
#include "join/window/frm_avi_join.h"
#include "platform/mci/ffmpeg_silence.h"
#include "platform/mci/mci_service.h"
#include "platform/mci/window_registry.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/termination.h"
#include "preview/frm_preview.h"
#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_keys.h"
#include "settings/window/frm_prefs.h"
#include "trelvane_version.h"
#include "ui/main/frm_trel_join.h"
#include "ui/main/main_window_services.h"
#include "ui/startup/about_and_help.h"
#include "ui/startup/frm_startup.h"
#include "ui/startup/startup_art.h"

int main(int argc, char** argv) {
    const app::AppOptions options =
        app::ParseAppOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "trelvane: %s\n%s", options.error.c_str(), app::AppUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(app::AppUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("trelvane %s\n", kTrelvaneVersion);
        return 0;
    }

    // From here on an end requested by a signal waits for the event loop (see below).
    platform::TerminationNotifier::CatchSignals();
    QApplication application(argc, argv);
    QApplication::setApplicationName(settings::kApplicationName);
    QApplication::setApplicationVersion(kTrelvaneVersion);
    QApplication::setWindowIcon(QIcon(ui::DrawProgramIcon(64)));
    settings::SetIniFileName(settings::kIniFileName);

    // The movie device behind vbvfw_mciSendString, for the preview window.
    mci::WindowRegistry movieWindows;
    mci::MciService movieDevice(movieWindows);
    movieDevice.install();
    // Silence in the clips' own compressed audio format, for clips whose audio ends early.
    const mci::FfmpegSilenceEncoder silenceEncoder;
    join::ModuleJoinState().silenceEncoder = &silenceEncoder;

    settings::SharedTexts texts;
    texts.saveDirectory =
        settings::ReadIniValue(settings::kSectionPreferences, settings::kKeySaveDirectory);
    std::unique_ptr<QWidget> mainWindow;

    // Message boxes and the save dialog; the main window becomes their owner.
    platform::QtDialogs dialogs;
    ui::MainWindowServices services;
    services.dialogs = &dialogs;
    services.texts = &texts;

    // The preview window: loaded hidden with the main window, shown modally on request, unloaded
    // (its position kept in texts) when the main window closes.
    std::unique_ptr<preview::frmPreview> previewWindow;
    const preview::WindowIdFunction windowIds = [&movieWindows](QWidget* window) {
        return movieWindows.add(window);
    };
    services.loadPreview = [&] {
        if (previewWindow == nullptr) {
            previewWindow =
                std::make_unique<preview::frmPreview>(dialogs, texts, mainWindow.get(), windowIds);
        }
    };
    services.unloadPreview = [&previewWindow] {
        if (previewWindow != nullptr) {
            previewWindow->unload();
            previewWindow.reset();
        }
    };
    services.previewClips = [&services, &previewWindow](int count, int index, int markingAllowed,
                                                        std::vector<ClipInfo>& clips) {
        services.loadPreview();
        previewWindow->PreviewClips(count, index, markingAllowed, clips);
    };
    services.previewFile = [&services, &previewWindow](const std::string& path) {
        services.loadPreview();
        previewWindow->PreviewFile(path);
    };

    // Asked to end (the desktop session ends, kill, Ctrl-C in a terminal): the main window closes
    // as Join > Exit closes it, saving the settings. A running join is cancelled first, so that
    // the part written so far is finished and kept; the program ends when the join has stopped.
    // While any other modal window is open (a question, the save dialog, the preview) nothing
    // is being written: the program ends at once, as it would without this, rather than answer
    // a question for the user.
    bool exitRequested = false;
    const auto closeProgram = [&mainWindow] {
        if (mainWindow != nullptr) {
            mainWindow->close();
        }
        // Not quit(): that asks every window first, and the startup window answers a close by
        // showing the main window.
        QCoreApplication::exit(0);
    };
    platform::TerminationNotifier termination([&](int signal) {
        if (exitRequested) {
            return;
        }
        if (join::CloseJoinWindowForExit()) {
            exitRequested = true;  // closeProgram runs when StartJoin returns
            return;
        }
        if (QApplication::activeModalWidget() != nullptr) {
            platform::TerminationNotifier::DieOf(signal);
        }
        exitRequested = true;
        closeProgram();
    });

    // The join window; whether its last report was clean decides "Clear_Job".
    bool lastJoinClean = false;
    services.startJoin = [&](const std::string& destination, int16_t clipCount,
                             const std::vector<ClipInfo>& clips) -> int32_t {
        lastJoinClean = false;
        const int32_t status = join::StartJoin(mainWindow.get(), dialogs, services.previewFile,
                                               destination, clipCount, clips, &lastJoinClean);
        if (exitRequested) {
            QTimer::singleShot(0, closeProgram);
        }
        return status;
    };
    services.lastJoinClean = [&lastJoinClean] { return lastJoinClean; };
    services.showPreferences = [&](const std::string& currentFolder) {
        settings::ShowPreferences(mainWindow.get(), dialogs, currentFolder, texts.saveDirectory);
    };
    services.showAbout = [&mainWindow] { ui::ShowAbout(mainWindow.get()); };
    services.showHelpContents = [&mainWindow] { ui::ShowHelpContents(mainWindow.get()); };

    if (!options.previewFile.empty()) {
        // The preview window alone, on one file, without the main window.
        preview::frmPreview window(dialogs, texts, nullptr, windowIds);
        dialogs.setOwner(&window);
        window.PreviewFile(options.previewFile);
        window.unload();
        return 0;
    }

    ui::frmStartup startup([&services, &mainWindow]() -> QWidget* {
        mainWindow = std::make_unique<ui::frmTrelJoin>(services);
        return mainWindow.get();
    });
    startup.setStartupFinished([&options](QWidget* window) {
        // The command line's files join the list through the same checks as any other.
        // Relative names are made whole against the folder the program was started in.
        if (auto* main = dynamic_cast<ui::frmTrelJoin*>(window); main && !options.files.empty()) {
            std::vector<std::string> paths;
            for (const std::string& file : options.files) {
                std::error_code error;
                const std::filesystem::path whole = std::filesystem::absolute(file, error);
                paths.push_back(error ? file : whole.lexically_normal().string());
            }
            main->addFiles(paths);
        }
    });
    startup.show();
    const int code = application.exec();
    services.unloadPreview();
    mainWindow.reset();
    return code;
}
