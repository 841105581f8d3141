// trelvane: the desktop program. The composition root: it creates the application, installs the
// movie device, names the settings file, chooses the Qt implementations of the platform, fills
// in what the main window uses of the other windows, and opens the startup window.
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/app_options.h"
#include "join/window/frm_avi_join.h"
#include "platform/mci/mci_service.h"
#include "platform/mci/window_registry.h"
#include "settings/app_title.h"
#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_keys.h"
#include "trelvane_version.h"
#include "ui/main/main_window_services.h"
#include "ui/startup/about_and_help.h"
#include "ui/startup/frm_startup.h"
#include "ui/startup/startup_art.h"

namespace {

// Stands in for the main window until frmTrelJoin is wired in below: the title and the Help
// menu, so that the program starts, shows its about box and help, and closes.
QWidget* CreatePlaceholderMainWindow(const ui::MainWindowServices& services) {
    auto* window = new QMainWindow;
    window->setObjectName("frmTrelJoin");
    window->setWindowTitle(QString::fromStdString(settings::ApplicationTitle()));
    window->resize(640, 420);
    QMenu* file = window->menuBar()->addMenu("&File");
    QAction* exit = file->addAction("E&xit");
    QObject::connect(exit, &QAction::triggered, window, &QWidget::close);
    QMenu* help = window->menuBar()->addMenu("&Help");
    QAction* contents = help->addAction("&Contents");
    contents->setShortcut(QKeySequence::HelpContents);
    QObject::connect(contents, &QAction::triggered, window, [services] {
        if (services.showHelpContents) {
            services.showHelpContents();
        }
    });
    QAction* about = help->addAction("&About Trelvane");
    QObject::connect(about, &QAction::triggered, window, [services] {
        if (services.showAbout) {
            services.showAbout();
        }
    });
    return window;
}

}  // namespace

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

    QApplication application(argc, argv);
    QApplication::setApplicationName(settings::kApplicationName);
    QApplication::setApplicationVersion(kTrelvaneVersion);
    QApplication::setWindowIcon(QIcon(ui::DrawProgramIcon(64)));
    settings::SetIniFileName(settings::kIniFileName);

    // The movie device behind vbvfw_mciSendString, for the preview window.
    mci::WindowRegistry movieWindows;
    mci::MciService movieDevice(movieWindows);
    movieDevice.install();

    settings::SharedTexts texts;
    texts.saveDirectory =
        settings::ReadIniValue(settings::kSectionPreferences, settings::kKeySaveDirectory);
    std::unique_ptr<QWidget> mainWindow;

    ui::MainWindowServices services;
    services.texts = &texts;
    // WIRING (main window): platform::QtDialogs dialogs; services.dialogs = &dialogs;
    services.dialogs = nullptr;
    // WIRING (preview window): a std::unique_ptr<preview::frmPreview> made by loadPreview with
    // (*services.dialogs, texts, mainWindow.get()); previewClips -> PreviewClips, previewFile ->
    // PreviewFile, unloadPreview -> unload() then reset.
    // The join window; whether its last report was clean decides "Clear_Job".
    bool lastJoinClean = false;
    services.startJoin = [&services, &mainWindow, &lastJoinClean](
                             const std::string& destination, int16_t clipCount,
                             const std::vector<ClipInfo>& clips) -> int32_t {
        lastJoinClean = false;
        if (services.dialogs == nullptr) {
            return 0;
        }
        return join::StartJoin(mainWindow.get(), *services.dialogs, services.previewFile,
                               destination, clipCount, clips, &lastJoinClean);
    };
    // WIRING (main window): services.lastJoinClean = [&lastJoinClean] { return lastJoinClean; };
    // WIRING (preferences): services.showPreferences = [&](const std::string& currentFolder) {
    //     settings::ShowPreferences(mainWindow.get(), *services.dialogs, currentFolder,
    //                               texts.saveDirectory); };
    services.showAbout = [&mainWindow] { ui::ShowAbout(mainWindow.get()); };
    services.showHelpContents = [&mainWindow] { ui::ShowHelpContents(mainWindow.get()); };

    if (!options.previewFile.empty()) {
        // WIRING (preview window): open preview::frmPreview on options.previewFile through
        // PreviewFile and return application.exec() once it is wired.
        std::fprintf(stderr, "trelvane: --preview is not available in this build\n");
        return 2;
    }

    ui::frmStartup startup([&services, &mainWindow]() -> QWidget* {
        // WIRING (main window): mainWindow.reset(new ui::frmTrelJoin(services));
        mainWindow.reset(CreatePlaceholderMainWindow(services));
        return mainWindow.get();
    });
    startup.setStartupFinished([&options](QWidget* window) {
        // WIRING (main window): static_cast<ui::frmTrelJoin*>(window)->addFiles(options.files);
        (void)window;
        (void)options;
    });
    startup.show();
    const int code = application.exec();
    mainWindow.reset();
    return code;
}
