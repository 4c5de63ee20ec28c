// The current time and date as the TIME and DATE commands write them.
#pragma once

#include <ctime>

#include "engine/text.h"

namespace kelvane::engine {

// "9:05:07": hours without a leading zero.
Text formatTime(const std::tm& local);
// "2003/06/14".
Text formatDate(const std::tm& local);
// The local time now.
std::tm localNow();

}  // namespace kelvane::engine
