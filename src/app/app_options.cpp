// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_options.h"

namespace app {

AppOptions ParseAppOptions(const std::vector<std::string>& args) {
    AppOptions options;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version" || arg == "-V") {
            options.version = true;
        } else if (arg == "--preview") {
            if (i + 1 >= args.size()) {
                options.error = "--preview needs a file";
                return options;
            }
            options.previewFile = args[++i];
        } else {
            options.error = "unknown option '" + arg + "'";
            return options;
        }
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
           "FILE...         clips to put in the join list after start-up, in this order\n"
           "--preview FILE  show one file in the preview window, without the main window\n"
           "--help          print this text\n"
           "--version       print the version\n"
           "\n"
           "The settings file is $TRELVANE_HOME/Trelvane.ini when TRELVANE_HOME is set,\n"
           "else Trelvane.ini beside the program when one is there, else\n"
           "~/.config/Trelvane/Trelvane.ini. The command-line tools trelvane-cli and\n"
           "trelvane-mci join and play without windows.\n";
}

}  // namespace app
