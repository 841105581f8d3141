// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dialogs.h"

namespace platform {

const char* MessageButtonsName(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return "OK";
        case MessageButtons::OkCancel:
            return "OK/Cancel";
        case MessageButtons::YesNo:
            return "Yes/No";
    }
    return "?";
}

const char* MessageAnswerName(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Ok:
            return "OK";
        case MessageAnswer::Cancel:
            return "Cancel";
        case MessageAnswer::Yes:
            return "Yes";
        case MessageAnswer::No:
            return "No";
    }
    return "?";
}

}  // namespace platform
