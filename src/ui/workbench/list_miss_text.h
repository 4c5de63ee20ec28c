// The picker's reason for offering no list, as the window says it.
#pragma once

#include <QString>
#include <string>

namespace kelvane::ui {

// The reason in the window's language; a reason it does not know is shown
// as the picker gave it.
QString listMissText(const std::string& why);

}  // namespace kelvane::ui
