// A script line read once, when the script is loaded: its command, and what
// each of its fields names as a source, as a destination and as a number.
// Running a line only looks these up. What the run would report about a line
// is also readable here without running it (diagnose), for an editor.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/buffer_names.h"
#include "engine/text.h"

namespace kelvane::engine {

class Engine;

// One row of the command table: the word, its handler, and how the handler
// uses parameters 1..5, one letter each: S source, D destination, B source
// and then destination, N number, '-' unused. Sources are resolved in
// parameter order and the destination is written last.
struct Command {
  TextView word;
  void (Engine::*run)(int16_t lineIndex);
  std::string_view uses;
};

// A parameter field as written, read every way a command may use it.
struct Field {
  Text raw;
  // The field upper-cased: what the destination writer leaves in the slot.
  Text upper;
  // The buffer it names, letter case ignored (TIME, DATE and TITLE
  // included); null for none.
  const BufferName* name = nullptr;
  // Begins and ends with a double quote (a lone quote is the empty literal).
  bool literal = false;
  int16_t count = 0;       // raw read as a number
  int16_t upperCount = 0;  // upper read as a number

  static Field read(TextView raw);
  TextView literalText() const {
    return raw.size() < 2 ? TextView{} : TextView(raw).substr(1, raw.size() - 2);
  }
};

struct ParsedLine {
  Text word;                         // the command word as written
  const Command* command = nullptr;  // null: a comment or an unknown word
  bool comment = false;
  // The fields after the command word; a line fills at most five slots and
  // the fields after the fifth are ignored.
  std::vector<Field> fields;

  static ParsedLine read(TextView line);
};

// What running a line would report, known without running it.
struct LineProblem {
  enum class Kind : uint8_t {
    UnknownCommand,    // no command has this word, and it is no comment
    MissingParameter,  // the command reads a parameter the line does not give
    BadSource,         // neither a buffer name nor a literal in double quotes
    BadDestination,    // not a buffer the command can write
    NestedLoop,        // LOOP while a loop is open
    UnmatchedLoopEnd,  // LOOPEND with no LOOP open
    UnclosedLoop,      // LOOP with no LOOPEND after it (its body runs once)
  };
  int line = 0;  // 0-based, as the messages count lines
  Kind kind{};
  int parameter = 0;  // 1..5, or 0 for the line as a whole
  // The message the run shows on reaching the line, in the order it would
  // show them; empty when it shows none. For a missing parameter it is what
  // the run shows when no earlier line has filled that slot.
  Text message;

  bool operator==(const LineProblem&) const = default;
};

std::vector<LineProblem> diagnose(std::span<const ParsedLine> lines);

}  // namespace kelvane::engine
