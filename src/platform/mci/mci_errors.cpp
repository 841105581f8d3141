// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/mci_errors.h"

namespace mci {

const char* ErrorText(int32_t code) {
    switch (code) {
        case kErrUnrecognizedKeyword:
            return "The device does not know a word of this command.";
        case kErrUnrecognizedCommand:
            return "The device does not know this command.";
        case kErrInvalidDeviceName:
            return "No device is open under this name.";
        case kErrOutOfMemory:
            return "There is not enough memory for this command.";
        case kErrDeviceOpen:
            return "The device is already open.";
        case kErrCannotLoadDriver:
            return "No movie device is installed.";
        case kErrMissingCommandString:
            return "The command is empty.";
        case kErrBadInteger:
            return "A number in the command is not a valid integer.";
        case kErrMissingParameter:
            return "The command lacks a parameter it needs.";
        case kErrUnsupportedFunction:
            return "The device does not support this command.";
        case kErrFileNotFound:
            return "The file does not exist.";
        case kErrOutOfRange:
            return "A frame number is outside the movie.";
        case kErrDuplicateAlias:
            return "The alias is already in use.";
        case kErrBadConstant:
            return "A value in the command is not valid for it.";
        case kErrMissingDeviceName:
            return "The command does not name a device.";
        case kErrNoClosingQuote:
            return "A closing double quote is missing.";
        case kErrInvalidFile:
            return "The file is not a playable AVI file.";
        case kErrExtraCharacters:
            return "Characters follow a quoted text.";
        case kErrCreateWindow:
            return "The movie window cannot be created in that parent window.";
        case kErrFileRead:
            return "The file cannot be read.";
        default:
            return "The movie device reported an error.";
    }
}

}  // namespace mci
