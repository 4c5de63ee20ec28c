// Fuzzes the picker that kelvane-run --suggest and the workbench use. The
// input is two bytes choosing where the piece starts, two choosing its
// length, a byte choosing where the lines deliver it, then the page, read as
// a text file would be or, when the fifth byte has bit 7 set, as UTF-16
// units. Every proposal is lines without a line break that the parser takes
// as they are, and run over the page they leave exactly the piece in the
// destination (a piece proposal) or text holding it (every item of a list);
// the occurrence search finds the piece where it is.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "engine/engine.h"
#include "textfile/text_codec.h"
#include "workbench/preview.h"
#include "workbench/quiet_host.h"
#include "workbench/suggest.h"

namespace {

using namespace kelvane;
using engine::Text;
using engine::TextView;

Text textOf(std::string_view bytes, bool units) {
  if (!units) return textfile::decodeText(bytes);
  Text text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text;
}

// The destination buffer after the lines ran over the page; nothing when the
// run stopped.
std::optional<Text> destinationAfter(TextView page, const std::vector<Text>& lines,
                                     engine::BufferId dest) {
  workbench::QuietHost host;
  engine::Engine engine(host);
  engine.ht().assign(page);
  Text script;
  for (const Text& l : lines) script += l + u"\r\n";
  if (engine.runScriptText(script) != engine::RunOutcome::Normal) return std::nullopt;
  return Text(engine.buffer(dest).view());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const unsigned startChoice = data[0] | data[1] << 8;
  const unsigned lengthChoice = data[2] | data[3] << 8;
  const uint8_t options = data[4];
  const Text page =
      textOf(std::string_view(reinterpret_cast<const char*>(data) + 5, size - 5), options & 0x80);
  if (page.empty()) return 0;
  const size_t position = startChoice % page.size();
  const size_t length = 1 + lengthChoice % (page.size() - position);
  const TextView piece = TextView(page).substr(position, length);

  workbench::PickTarget target;
  static constexpr const char16_t* kDestinations[] = {u"D", u"V2", u"d", u"V1"};
  target.dest = kDestinations[options & 3];
  target.work = (options & 4) ? u"V3" : u"V1";
  target.append = options & 8;
  Text upper = target.dest;
  engine::upperInPlace(upper);
  const engine::BufferName* dest = engine::findBufferName(upper);
  FUZZ_CHECK(dest && dest->stored);

  // The occurrence search counts every start position.
  int occurrence = 1;
  for (size_t at = page.find(piece); at < position; at = page.find(piece, at + 1)) ++occurrence;
  FUZZ_CHECK(workbench::findOccurrence(page, piece, occurrence) == position);

  const auto proposals = workbench::suggest(page, position, length, target);
  FUZZ_CHECK(proposals.size() <= 2);
  for (size_t i = 0; i < proposals.size(); ++i) {
    const workbench::Proposal& p = proposals[i];
    FUZZ_CHECK(!p.lines.empty());
    Text script;
    for (const Text& line : p.lines) {
      FUZZ_CHECK(line.find_first_of(u"\r\n") == Text::npos);
      script += line + u"\r\n";
    }
    FUZZ_CHECK(workbench::diagnoseScript(script).empty());
    const std::optional<Text> left = destinationAfter(page, p.lines, dest->id);
    FUZZ_CHECK(left.has_value());
    if (p.kind == workbench::Proposal::Kind::Piece) {
      FUZZ_CHECK(i == 0 && *left == piece);
    } else {
      FUZZ_CHECK(left->find(piece) != Text::npos);
    }
  }
  return 0;
}
