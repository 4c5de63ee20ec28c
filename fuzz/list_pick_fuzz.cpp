// Fuzzes the picker's reading of a page as it shows and its list offers.
// The input is two bytes choosing where the picked piece starts in the
// shown text, one choosing its length, then the page (read as a text file
// would be). The shown text maps every character into the page; typed text
// taken from it is found again; a list offer, run over the page, gives the
// lines it says it gives.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "check.h"
#include "textfile/text_codec.h"
#include "workbench/find_shown.h"
#include "workbench/list_check.h"
#include "workbench/list_pick.h"
#include "workbench/pick_shown.h"
#include "workbench/script_text.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const engine::Text page =
      textfile::decodeText(std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3));
  const workbench::PageText shown = workbench::readPageText(page);
  FUZZ_CHECK(shown.text.size() == shown.from.size() && shown.text.size() == shown.to.size() &&
             shown.text.size() == shown.owner.size());
  for (size_t i = 0; i < shown.text.size(); ++i) {
    FUZZ_CHECK(shown.from[i] <= shown.to[i] && shown.to[i] <= page.size());
    FUZZ_CHECK(shown.owner[i] >= 0 && static_cast<size_t>(shown.owner[i]) < shown.elements.size());
  }
  if (shown.text.empty()) return 0;
  const size_t begin = (data[0] | data[1] << 8) % shown.text.size();
  const size_t length = 1 + data[2] % (shown.text.size() - begin);
  const engine::Text typed = shown.text.substr(begin, length);
  if (!workbench::collapsedWhiteSpace(typed).empty())
    FUZZ_CHECK(workbench::findShown(shown, typed).has_value());
  const workbench::ListResult list = workbench::suggestList(page, shown, begin, begin + length);
  if (list.offer) {
    const auto d = workbench::runLines(page, list.offer->lines);
    FUZZ_CHECK(d && workbench::displayIs(*d, list.offer->display));
  }
  return 0;
}
