// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/app_title.h"

#include "text/text_store.h"

namespace settings {

std::string ApplicationTitle() {
    return text::GetStoredText(text::kApplicationTitle);
}

}  // namespace settings
