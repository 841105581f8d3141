#include "settings/app_title.h"

namespace settings {

std::string ApplicationTitle() {
    return "Trelvane";
}

}  // namespace settings
