// The line interpreter: the command table, finding a line's command word in
// it, running a parsed line and the commands themselves.
#include "engine/engine.h"
#include "engine/messages.h"
#include "engine/numeric.h"
#include "engine/primitives.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace kelvane::engine {

// The command words, each with its handler and what its fields name (no two
// rows share a word, so the order does not matter to findCommand). Each
// handler resolves its operands, calls one primitive and hands the result to
// the writer. Every
// marker search ignores letter case, so a -U command, which upper-cases its
// markers first, gives exactly what its plain twin gives: it runs the twin's
// handler.
const Engine::Command Engine::kCommands[] = {
    {u"CLEAR", &Engine::cmdClear, "D"},
    {u"GETA", &Engine::cmdGet<GetAfter>, "SDS"},
    {u"GHA", &Engine::cmdGetHT<&Engine::GetAfterHT>, "SDS"},
    {u"GETA-U", &Engine::cmdGet<GetAfter>, "SDS"},
    {u"GHA-U", &Engine::cmdGetHT<&Engine::GetAfterHT>, "SDS"},
    {u"GETAI", &Engine::cmdGet<GetAfterIncl>, "SDS"},
    {u"GHAI", &Engine::cmdGetHT<&Engine::GetAfterInclHT>, "SDS"},
    {u"GETAI-U", &Engine::cmdGet<GetAfterIncl>, "SDS"},
    {u"GHAI-U", &Engine::cmdGetHT<&Engine::GetAfterInclHT>, "SDS"},
    {u"GETB", &Engine::cmdGet<GetBefore>, "SDS"},
    {u"GHB", &Engine::cmdGetHT<&Engine::GetBeforeHT>, "SDS"},
    {u"GETB-U", &Engine::cmdGet<GetBefore>, "SDS"},
    {u"GHB-U", &Engine::cmdGetHT<&Engine::GetBeforeHT>, "SDS"},
    {u"GETBI", &Engine::cmdGet<GetBeforeIncl>, "SDS"},
    {u"GHBI", &Engine::cmdGetHT<&Engine::GetBeforeInclHT>, "SDS"},
    {u"GETBI-U", &Engine::cmdGet<GetBeforeIncl>, "SDS"},
    {u"GHBI-U", &Engine::cmdGetHT<&Engine::GetBeforeInclHT>, "SDS"},
    {u"GETC", &Engine::cmdGetBetween, "SDSS"},
    {u"GHC", &Engine::cmdTakeBetween, "DSS"},
    {u"GETC-U", &Engine::cmdGetBetween, "SDSS"},
    {u"GHC-U", &Engine::cmdTakeBetween, "DSS"},
    {u"GETN", &Engine::cmdGetN, "SDN"},
    {u"CUTAN", &Engine::cmdCutTail, "BN"},
    {u"CUTBN", &Engine::cmdCutHead, "BN"},
    {u"TIME", &Engine::cmdTime, "D"},
    {u"DATE", &Engine::cmdDate, "D"},
    {u"CR", &Engine::cmdCr, "D"},
    {u"PUT", &Engine::cmdPut, "SD"},
    {u"REPLACE", &Engine::cmdReplace, "SD"},
    {u"PUTTAB", &Engine::cmdPutTab, "D"},
    {u"DEL", &Engine::cmdDel, "BS"},
    {u"DEL-U", &Engine::cmdDel, "BS"},
    {u"URL", &Engine::cmdUrl, "S"},
    {u"TAGDEL", &Engine::cmdTagDel, "B"},
    {u"CON", &Engine::cmdCon, "BS"},
    {u"LOOP", &Engine::cmdLoop, "S"},
    {u"LOOPEND", &Engine::cmdLoopEnd, ""},
    {u"", &Engine::cmdNothing, ""},
    {u"REM", &Engine::cmdNothing, ""},
    {u"'", &Engine::cmdNothing, ""},
};

namespace {

// A command word of up to eight ASCII characters as one number, upper-cased;
// kNoKey when the word cannot be a command word (too long, or not ASCII once
// upper-cased).
constexpr uint64_t kNoKey = ~uint64_t{0};

uint64_t commandKey(TextView word) {
  if (word.size() > 8) return kNoKey;
  uint64_t key = 0;
  for (const char16_t c : word) {
    const char16_t upper = upperUnitFast(c);
    if (upper == 0 || upper >= 0x80) return kNoKey;
    key = (key << 8) | upper;
  }
  return key;
}

}  // namespace

std::span<const Engine::Command> Engine::commandTable() {
  return kCommands;
}

// What findCommand must find: the row whose word equals the command word
// upper-cased. The words of the table are all different.
const Engine::Command* Engine::findCommandByLoop(TextView word) {
  for (const Command& command : kCommands) {
    if (equalsUpper(word, command.word)) return &command;
  }
  return nullptr;
}

// The same match through a small hash table of the words' keys, since every
// line of every run looks its word up.
const Engine::Command* Engine::findCommand(TextView word) {
  constexpr size_t kSlots = 128;  // a power of two, more than three times the table
  struct Slot {
    uint64_t key = kNoKey;
    const Command* command = nullptr;
  };
  const auto slotOf = [](uint64_t key) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> 57) & (kSlots - 1);
  };
  static const std::array<Slot, kSlots> table = [&] {
    std::array<Slot, kSlots> slots{};
    for (const Command& command : kCommands) {
      const uint64_t key = commandKey(command.word);
      size_t i = slotOf(key);
      while (slots[i].command) i = (i + 1) & (kSlots - 1);
      slots[i] = {key, &command};
    }
    return slots;
  }();
  const uint64_t key = commandKey(word);
  if (key == kNoKey) return nullptr;
  for (size_t i = slotOf(key);; i = (i + 1) & (kSlots - 1)) {
    const Slot& slot = table[i];
    if (!slot.command) return nullptr;
    if (slot.key == key) return slot.command;
  }
}

void Engine::executeLine(int16_t lineIndex) {
  host_.selectLine(lineIndex);
  if (lineIndex < 0 || lineIndex >= lineCount()) return;
  const ParsedLine& line = parsed_[static_cast<size_t>(lineIndex)];
  word_ = &line.word;
  // Slots the line does not reach keep what an earlier line left there.
  for (size_t k = 0; k < line.fields.size(); ++k) slots_[k] = {&line.fields[k], false};
  lineFromPage_ = false;
  if (line.command) {
    (this->*line.command->run)(lineIndex);
  } else if (!line.comment) {
    report(messages::unknownCommand(lineIndex, line.word));
  }
}

// ---- handlers -------------------------------------------------------------

void Engine::cmdClear(int16_t) {
  replaceDest(TextView{}, 1);
}

void Engine::noteSearch(int16_t line, TextView source, TextView text, TextView marker) {
  if (findMarker(text, marker) != 0) return;
  searchObserver_->markerNotFound({line, commandWord(), source, text, 0, marker, {}});
}

void Engine::noteSearch(int16_t line, TextView source, TextView text, TextView start,
                        TextView end) {
  const size_t a = findMarker(text, start);
  if (a == 0) {
    searchObserver_->markerNotFound({line, commandWord(), source, text, 0, start, {}});
    return;
  }
  const size_t from = std::min(a - 1 + start.size(), text.size());
  if (findMarker(text.substr(from), end) != 0) return;
  searchObserver_->markerNotFound({line, commandWord(), source, text, from, end, start});
}

template <TextView (*Primitive)(TextView, TextView)>
void Engine::cmdGet(int16_t line) {
  const Operand text = operand(1);
  const Operand marker = operand(3);
  if (searchObserver_) noteSearch(line, param(1), text.view(), marker.view());
  replaceDest(Primitive(text.view(), marker.view()), 2);
}

template <TextView (Engine::*Primitive)(TextView, TextView)>
void Engine::cmdGetHT(int16_t line) {
  const Operand text = operand(1);
  const Operand marker = operand(3);
  // Before the primitive: it replaces HT, which the text may be a view of.
  if (searchObserver_) noteSearch(line, param(1), text.view(), marker.view());
  replaceDest((this->*Primitive)(text.view(), marker.view()), 2);
}

void Engine::cmdGetBetween(int16_t line) {
  const Operand text = operand(1);
  const Operand start = operand(3);
  const Operand end = operand(4);
  if (searchObserver_) noteSearch(line, param(1), text.view(), start.view(), end.view());
  replaceDest(GetBetween(text.view(), start.view(), end.view()), 2);
}

void Engine::cmdTakeBetween(int16_t line) {
  const Operand start = operand(2);
  const Operand end = operand(3);
  if (searchObserver_) noteSearch(line, u"HT", ht_.view(), start.view(), end.view());
  appendToDest(TakeBetweenHT(start.view(), end.view()), 1);
}

void Engine::cmdGetN(int16_t) {
  const Operand text = operand(1);
  replaceDest(GetLeftN(text.view(), count(3)), 2);
}

void Engine::cmdCutTail(int16_t) {
  const Operand text = operand(1);
  replaceDest(CutTailN(text.view(), count(2)), 1);
}

void Engine::cmdCutHead(int16_t) {
  const Operand text = operand(1);
  replaceDest(CutHeadN(text.view(), count(2)), 1);
}

void Engine::cmdTime(int16_t) {
  appendToDest(host_.timeText(), 1);
}

void Engine::cmdDate(int16_t) {
  appendToDest(host_.dateText(), 1);
}

void Engine::cmdCr(int16_t) {
  appendToDest(u"\r\n", 1);
}

void Engine::cmdPut(int16_t) {
  const Operand value = operand(1);
  appendToDest(value.view(), 2);
}

void Engine::cmdReplace(int16_t) {
  const Operand value = operand(1);
  replaceDest(value.view(), 2);
}

void Engine::cmdPutTab(int16_t) {
  appendToDest(u"\t", 1);
}

void Engine::cmdDel(int16_t line) {
  const Operand text = operand(1);
  const Operand marker = operand(2);
  if (searchObserver_) noteSearch(line, param(1), text.view(), marker.view());
  replaceDest(DeleteFirst(text.view(), marker.view()), 1);
}

void Engine::cmdUrl(int16_t) {
  // A copy: loading empties HT, which the operand may be a view of.
  const Text url(operand(1).view());
  urlFromPage_ = lineFromPage_;
  host_.openUrl(url);
  urlFromPage_ = false;
  ht_.setFromPage(true);
}

void Engine::cmdTagDel(int16_t) {
  const Operand text = operand(1);
  replaceDest(StripFirstTag(text.view()), 1);
}

void Engine::cmdCon(int16_t) {
  const Operand a = operand(1);
  const Operand b = operand(2);
  if (!fits(a.view().size(), b.view().size())) return;
  Text joined;
  joined.reserve(a.view().size() + b.view().size());
  joined.append(a.view());
  joined.append(b.view());
  replaceDest(std::move(joined), 1);
}

void Engine::cmdLoop(int16_t lineIndex) {
  if (loop_.active) {
    // Loops do not nest. The open loop stays open.
    loop_.start = 0;
    loop_.count = 0;
    loop_.jump = false;
    report(messages::nestedLoop());
    return;
  }
  loop_.start = lineIndex;
  loop_.counter = 0;
  loop_.count = scriptCount(operand(1).view());
  loop_.active = true;
  settleLoopEnd_ = -1;
}

bool Engine::passSettled(int16_t loopEnd) {
  if (settleLoopEnd_ != loopEnd) {
    // Each pass runs the same lines in the same order (the language has no
    // branches), so a pass that starts from the buffers the pass before
    // started from does what it did: unless a line reads the clock or
    // loads a page.
    settleLoopEnd_ = loopEnd;
    settleMarked_ = false;
    settleable_ = true;
    for (int16_t i = static_cast<int16_t>(loop_.start + 1); i < loopEnd; ++i) {
      const ParsedLine& line = parsed_[static_cast<size_t>(i)];
      if (line.command &&
          (line.command->run == &Engine::cmdTime || line.command->run == &Engine::cmdDate ||
           line.command->run == &Engine::cmdUrl))
        settleable_ = false;
      for (const Field& f : line.fields)
        if (f.name && (f.name->id == BufferId::Time || f.name->id == BufferId::Date))
          settleable_ = false;
    }
  }
  if (!settleable_) return false;
  // A buffer is as the last pass left it when no line changed it since, or
  // when its text, kept then, reads the same. A long text is not kept: a
  // loop that keeps changing one does not end early.
  constexpr size_t kKeptMost = 4096;
  const std::array<const TextBuffer*, 8> buffers = {&ht_,      &d_,       &vars_[0], &vars_[1],
                                                    &vars_[2], &vars_[3], &vars_[4], &title_};
  bool settled = settleMarked_;
  for (size_t k = 0; k < buffers.size(); ++k) {
    const TextBuffer& b = *buffers[k];
    PassEnd& last = passEnds_[k];
    const bool same = b.fromPage() == last.fromPage &&
                      (b.changes() == last.changes || (last.kept && b.view() == last.text));
    settled = settled && same;
    if (b.changes() != last.changes) {
      last.kept = b.size() <= kKeptMost;
      if (last.kept) last.text.assign(b.view());
    }
    last.changes = b.changes();
    last.fromPage = b.fromPage();
  }
  settleMarked_ = true;
  return settled;
}

void Engine::cmdLoopEnd(int16_t lineIndex) {
  host_.processEvents();
  if (!loop_.active) {
    loop_.start = 0;
    loop_.count = 0;
    loop_.jump = false;
    report(messages::unmatchedLoopEnd());
    return;
  }
  ++loop_.counter;
  if (loop_.counter < loop_.count) {
    if (!endSettledLoops_ || searchObserver_ || stopFlag_ || !passSettled(lineIndex)) {
      loop_.jump = true;
      return;
    }
    // Settled: the loop ends as after its last pass.
    loop_.counter = loop_.count;
  }
  // The body has run at least once; LoopCounter keeps its last value.
  loop_.start = 0;
  loop_.count = 0;
  loop_.active = false;
  loop_.jump = false;
}

}  // namespace kelvane::engine
