#include "engine/script.h"

#include "engine/engine.h"
#include "engine/messages.h"
#include "engine/numeric.h"

namespace kelvane::engine {

Field Field::read(TextView raw) {
  Field f;
  f.raw.assign(raw);
  f.upper = upperCopy(raw);
  f.name = findBufferName(raw);
  f.literal = !raw.empty() && raw.front() == u'"' && raw.back() == u'"';
  f.count = scriptCount(f.raw);
  f.upperCount = f.upper == f.raw ? f.count : scriptCount(f.upper);
  return f;
}

ParsedLine ParsedLine::read(TextView line) {
  ParsedLine parsed;
  size_t tab = line.find(u'\t');
  parsed.word.assign(line.substr(0, tab));
  while (tab != TextView::npos && parsed.fields.size() < 5) {
    const size_t start = tab + 1;
    tab = line.find(u'\t', start);
    parsed.fields.push_back(
        Field::read(line.substr(start, tab == TextView::npos ? TextView::npos : tab - start)));
  }
  parsed.command = Engine::findCommand(parsed.word);
  // Comments: a word that starts with ' or, exactly in capitals, with REM.
  const TextView word = parsed.word;
  parsed.comment = !parsed.command && (word.starts_with(u"'") || word.starts_with(u"REM"));
  return parsed;
}

namespace {

using Kind = LineProblem::Kind;

// What a fresh slot holds: nothing.
const Field& emptyField() {
  static const Field* empty = new Field(Field::read({}));
  return *empty;
}

void checkOperands(int index, const ParsedLine& line, std::vector<LineProblem>& out) {
  const std::string_view uses = line.command->uses;
  const auto fieldAt = [&](size_t k, bool& missing) -> const Field& {
    missing = k >= line.fields.size();
    return missing ? emptyField() : line.fields[k];
  };
  const auto add = [&](Kind kind, size_t k, Text message, bool missing) {
    out.push_back({index, missing ? Kind::MissingParameter : kind, static_cast<int>(k + 1),
                   std::move(message)});
  };
  for (size_t k = 0; k < uses.size(); ++k) {
    if (uses[k] != 'S' && uses[k] != 'B') continue;
    bool missing = false;
    const Field& f = fieldAt(k, missing);
    if ((f.name && f.name->source) || f.literal) continue;
    add(Kind::BadSource, k, messages::badSource(static_cast<int>(k + 1), f.upper), missing);
  }
  for (size_t k = 0; k < uses.size(); ++k) {
    if (uses[k] != 'D' && uses[k] != 'B') continue;
    bool missing = false;
    const Field& f = fieldAt(k, missing);
    if (f.name && f.name->stored) continue;
    const bool quoted = !f.raw.empty() && f.raw.front() == u'"';
    add(Kind::BadDestination, k, messages::badDestination(quoted ? f.raw : f.upper), missing);
  }
  for (size_t k = 0; k < uses.size(); ++k) {
    bool missing = false;
    if (uses[k] == 'N' && (fieldAt(k, missing), missing)) add(Kind::MissingParameter, k, {}, true);
  }
}

}  // namespace

std::vector<LineProblem> diagnose(std::span<const ParsedLine> lines) {
  std::vector<LineProblem> out;
  int openLoop = -1;
  const size_t count = lines.size() < Engine::kMaxLines ? lines.size() : Engine::kMaxLines;
  for (size_t i = 0; i < count; ++i) {
    const ParsedLine& line = lines[i];
    const int index = static_cast<int>(i);
    if (!line.command) {
      if (!line.comment)
        out.push_back({index, Kind::UnknownCommand, 0, messages::unknownCommand(index, line.word)});
      continue;
    }
    if (line.command->word == u"LOOP") {
      // A LOOP inside an open loop reports the nesting and reads nothing.
      if (openLoop >= 0) {
        out.push_back({index, Kind::NestedLoop, 0, messages::nestedLoop()});
        continue;
      }
      openLoop = index;
    }
    checkOperands(index, line, out);
    if (line.command->word == u"LOOPEND") {
      if (openLoop < 0)
        out.push_back({index, Kind::UnmatchedLoopEnd, 0, messages::unmatchedLoopEnd()});
      openLoop = -1;
    }
  }
  if (openLoop >= 0) out.push_back({openLoop, Kind::UnclosedLoop, 0, {}});
  return out;
}

}  // namespace kelvane::engine
