// SPDX-License-Identifier: GPL-3.0-or-later
// How stored texts are understood, the texts shared between windows, and the settings written
// when the main window closes.
#pragma once

#include <string>
#include <string_view>

namespace settings {

// Kept by the composition root and handed to the windows that use them: the main window's save
// folder and the preview window's last position text (empty until the preview first loads).
struct SharedTexts {
    std::string saveDirectory;
    std::string previewPosText;
};

// Only the exact texts switch a feature on: "1" for the check-box keys, "True" for
// "Source_Error_Stop", "ON" for "Debug_Trace".
bool IsCheckOn(std::string_view stored);
bool IsStopOn(std::string_view stored);
bool IsTraceOn(std::string_view stored);

// The stored "Match_Pattern", or "*.avi" while it is empty or missing.
std::string MatchPatternOrDefault(std::string_view stored);

// Whether the start-up sequence opens the debug log: "Debug_Trace" is "ON".
bool DebugTraceWanted();

// What the main window stores as it closes, in this order: its position in "Main"; the preview's
// position in "Preview" when there is one; the file box's folder when "Remember_Read" is "1" and
// the save folder when "Remember_Save" is "1", both flags read from the file at this moment.
// Failed writes are ignored, as every settings write is.
void SaveOnMainWindowClose(const std::string& mainPosText, const SharedTexts& texts,
                           const std::string& fileBoxFolder);

}  // namespace settings
