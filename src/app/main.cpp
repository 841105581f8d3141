// SPDX-License-Identifier: GPL-3.0-or-later
// trelvane: the desktop program. The composition root: it creates the application, installs the
// movie device, names the settings file, chooses the Qt implementations of the platform, fills
// in what the main window uses of the other windows, and opens the startup window.
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <csignal>
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
#include "platform/qt/qt_files.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/single_instance.h"
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

namespace {

// --help, --version and a wrong command line are answered here, without windows; -1 otherwise.
int AnswerWithoutWindows(const app::AppOptions& options) {
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
    return -1;
}

// Relative names made whole against the folder the program was started in.
std::vector<std::string> WholePaths(const std::vector<std::string>& files) {
    std::vector<std::string> paths;
    for (const std::string& file : files) {
        std::error_code error;
        const std::filesystem::path whole = std::filesystem::absolute(file, error);
        paths.push_back(error ? file : whole.lexically_normal().string());
    }
    return paths;
}

// One running program for each settings file, in the user's runtime folder.
QString SessionName() {
    const QByteArray settingsFile = QByteArray::fromStdString(settings::IniFilePath());
    const QByteArray hash = QCryptographicHash::hash(settingsFile, QCryptographicHash::Sha1);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return folder + QStringLiteral("/trelvane-") + QString::fromLatin1(hash.toHex().left(16));
}

}  // namespace

int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write fails with EFBIG, which the join reports, rather
    // than the signal ending the program half way through.
    ::signal(SIGXFSZ, SIG_IGN);
    // --help and --version need no display; anything else is read once Qt has taken its own
    // options (-style, -platform, ...) from the command line.
    const std::vector<std::string> raw(argv + 1, argv + argc);
    if (const app::AppOptions early = app::ParseAppOptions(raw);
        early.error.empty() && (early.help || early.version)) {
        return AnswerWithoutWindows(early);
    }

    // From here on an end requested by a signal waits for the event loop (see below).
    platform::TerminationNotifier::CatchSignals();
    QApplication application(argc, argv);
    QApplication::setApplicationName(settings::kApplicationName);
    QApplication::setApplicationVersion(kTrelvaneVersion);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.trelvane.Trelvane"));
    QApplication::setWindowIcon(QIcon(ui::DrawProgramIcon(64)));
    const QStringList qtArguments = QApplication::arguments();
    std::vector<std::string> arguments;
    for (qsizetype i = 1; i < qtArguments.size(); ++i) {
        arguments.push_back(platform::ToUtf8(qtArguments[i]));
    }
    const app::AppOptions options = app::ParseAppOptions(arguments);
    if (const int answered = AnswerWithoutWindows(options); answered >= 0) {
        return answered;
    }
    // Qt's dialogs and messages in the system's language, where Qt has it.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }
    settings::SetIniFileName(settings::kIniFileName);

    // A program that runs already takes the files; this one ends.
    platform::SingleInstance session(SessionName());
    if (options.previewFile.empty() && session.handOver(WholePaths(options.files))) {
        return 0;
    }

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
    platform::QtFiles files;
    ui::MainWindowServices services;
    services.dialogs = &dialogs;
    services.texts = &texts;
    services.files = &files;

    // The preview window: loaded hidden with the main window, shown modally on request, unloaded
    // (its position kept in texts) when the main window closes.
    std::unique_ptr<preview::frmPreview> previewWindow;
    const preview::WindowIdFunction windowIds = [&movieWindows](QWidget* window) {
        return movieWindows.add(window);
    };
    // The preview opens its movies under the alias "movie".
    const preview::MovieFactsFunction movieFacts = [&movieDevice] {
        preview::MovieFacts facts;
        if (const mci::QtMovie* movie = movieDevice.movie("movie")) {
            facts.audioStream = movie->hasAudioStream();
            facts.sound = movie->hasSound();
            const auto [x, y] = movie->displayAspect();
            facts.aspect = {x, y};
        }
        return facts;
    };
    services.loadPreview = [&](QWidget* owner) {
        if (previewWindow == nullptr) {
            previewWindow =
                std::make_unique<preview::frmPreview>(dialogs, texts, owner, windowIds, movieFacts);
        }
    };
    services.unloadPreview = [&previewWindow] {
        if (previewWindow != nullptr) {
            previewWindow->unload();
            previewWindow.reset();
        }
    };
    services.previewClips = [&services, &previewWindow, &mainWindow](int count, int index,
                                                                     int markingAllowed,
                                                                     std::vector<ClipInfo>& clips) {
        services.loadPreview(mainWindow.get());
        previewWindow->PreviewClips(count, index, markingAllowed, clips);
    };
    services.previewFile = [&services, &previewWindow, &mainWindow](const std::string& path) {
        services.loadPreview(mainWindow.get());
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
        const int32_t status =
            join::StartJoin(mainWindow.get(), dialogs, files, services.previewFile, destination,
                            clipCount, clips, &lastJoinClean);
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
        preview::frmPreview window(dialogs, texts, nullptr, windowIds, movieFacts);
        dialogs.setOwner(&window);
        window.PreviewFile(options.previewFile);
        window.unload();
        return 0;
    }

    ui::frmStartup startup([&services, &mainWindow]() -> QWidget* {
        mainWindow = std::make_unique<ui::frmTrelJoin>(services);
        return mainWindow.get();
    });
    // The command line's files, and those a later start hands over, join the list through the
    // same checks as any other, once the main window is shown.
    std::vector<std::string> waiting = WholePaths(options.files);
    bool shown = false;
    const auto takeFiles = [&] {
        auto* main = dynamic_cast<ui::frmTrelJoin*>(mainWindow.get());
        if (!shown || main == nullptr) {
            return;
        }
        main->showNormal();
        main->raise();
        main->activateWindow();
        const std::vector<std::string> paths = std::move(waiting);
        waiting.clear();
        if (!paths.empty()) {
            main->addFiles(paths);
        }
    };
    startup.setStartupFinished([&](QWidget*) {
        shown = true;
        takeFiles();
    });
    const bool listening = session.listen([&](const std::vector<std::string>& files) {
        waiting.insert(waiting.end(), files.begin(), files.end());
        // Out of the socket's handler: adding may ask questions in modal boxes.
        QTimer::singleShot(0, takeFiles);
    });
    // Started at the same moment as another, which listens now: it takes the files after all.
    if (!listening && session.handOver(WholePaths(options.files))) {
        return 0;
    }
    startup.show();
    const int code = application.exec();
    services.unloadPreview();
    mainWindow.reset();
    return code;
}
