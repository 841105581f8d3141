// SPDX-License-Identifier: GPL-3.0-or-later
// Every section, key and switch text of the settings file, spelt exactly as stored.
#pragma once

namespace settings {

inline constexpr const char* kSectionPreferences = "Preferences";
inline constexpr const char* kSectionMain = "Main";
inline constexpr const char* kSectionPreview = "Preview";

inline constexpr const char* kKeyReadDirectory = "Read_Directory";
inline constexpr const char* kKeySaveDirectory = "Save_Directory";
inline constexpr const char* kKeyRememberRead = "Remember_Read";
inline constexpr const char* kKeyRememberSave = "Remember_Save";
inline constexpr const char* kKeyMatchPattern = "Match_Pattern";
inline constexpr const char* kKeyClearJob = "Clear_Job";
inline constexpr const char* kKeyPromptDelete = "Prompt_Delete";
inline constexpr const char* kKeyDeleteAskSure = "Delete_Ask_Sure";
inline constexpr const char* kKeySourceErrorStop = "Source_Error_Stop";
inline constexpr const char* kKeyDebugTrace = "Debug_Trace";
inline constexpr const char* kKeyWindowState = "WindowState";  // in "Main" and "Preview"

// The only texts that switch a feature on; every other text, the empty one included, is off.
inline constexpr const char* kCheckOn = "1";
inline constexpr const char* kCheckOff = "0";
inline constexpr const char* kStopOn = "True";
inline constexpr const char* kStopOff = "False";
inline constexpr const char* kTraceOn = "ON";

// The file pattern used while "Match_Pattern" is empty or missing.
inline constexpr const char* kDefaultMatchPattern = "*.avi";

inline constexpr const char* kApplicationName = "Trelvane";
inline constexpr const char* kIniFileName = "Trelvane.ini";
inline constexpr const char* kLogFileName = "trvdebug.log";

}  // namespace settings
