// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_options.h"

#include <QCommandLineParser>
#include <QStringList>

#include "platform/qt/qt_text.h"

namespace app {

namespace {

// The option as it was written ("-x", "--x", "--x=1"), without its value.
std::string Written(const std::vector<std::string>& args, const QString& name) {
    const std::string bare = platform::ToUtf8(name);
    for (const std::string& arg : args) {
        const std::string option = arg.substr(0, arg.find('='));
        if (option == "-" + bare || option == "--" + bare) {
            return option;
        }
    }
    return "--" + bare;
}

}  // namespace

AppOptions ParseAppOptions(const std::vector<std::string>& args) {
    AppOptions options;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, {});
    const QCommandLineOption version({"V", "version"}, {});
    const QCommandLineOption previewFile("preview", {}, "FILE");
    parser.addOptions({help, version, previewFile});
    parser.addPositionalArgument("FILE", {}, "[FILE...]");
    QStringList arguments{QStringLiteral("trelvane")};
    for (const std::string& arg : args) {
        arguments << platform::ToQString(arg);
    }
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        options.error = unknown.isEmpty() ? "--preview needs a file"
                                          : "unknown option '" + Written(args, unknown[0]) + "'";
        return options;
    }
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    options.previewFile = platform::ToUtf8(parser.value(previewFile));
    for (const QString& file : parser.positionalArguments()) {
        options.files.push_back(platform::ToUtf8(file));
    }
    if (!options.previewFile.empty() && !options.files.empty()) {
        options.error = "--preview takes one file and no others";
    }
    return options;
}

std::string AppUsage() {
    return "usage: trelvane [FILE...]\n"
           "       trelvane --preview FILE\n"
           "       trelvane --help | --version\n"
           "\n"
           "Joins AVI clips into one AVI file without re-encoding them.\n"
           "FILE...         clips to put in the join list after start-up, in this order; when\n"
           "                Trelvane is already running, they go to its join list instead\n"
           "--preview FILE  show one file in the preview window, without the main window\n"
           "--help          print this text\n"
           "--version       print the version\n"
           "Qt's own options (-style, -platform, ...) are taken as well.\n"
           "\n"
           "The settings file is $TRELVANE_HOME/Trelvane.ini when TRELVANE_HOME is set,\n"
           "else Trelvane.ini beside the program when one is there, else\n"
           "~/.config/Trelvane/Trelvane.ini. The command-line tools trelvane-cli and\n"
           "trelvane-mci join and play without windows.\n";
}

}  // namespace app
