// The line interpreter: splitting a line into its fields, recognising the
// command word and the commands themselves.
#include "engine/engine.h"
#include "engine/messages.h"
#include "engine/numeric.h"
#include "engine/primitives.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane::engine {
namespace {

constexpr char16_t kTab = u'\t';

}  // namespace

// The command words in the order they are tested. Each handler resolves its
// operands, calls one primitive and hands the result to the writer. Every
// marker search ignores letter case, so a -U command, which upper-cases its
// markers first, gives exactly what its plain twin gives: it runs the twin's
// handler.
const Engine::Command Engine::kCommands[] = {
    {u"CLEAR", &Engine::cmdClear},
    {u"GETA", &Engine::cmdGet<GetAfter>},
    {u"GHA", &Engine::cmdGetHT<&Engine::GetAfterHT>},
    {u"GETA-U", &Engine::cmdGet<GetAfter>},
    {u"GHA-U", &Engine::cmdGetHT<&Engine::GetAfterHT>},
    {u"GETAI", &Engine::cmdGet<GetAfterIncl>},
    {u"GHAI", &Engine::cmdGetHT<&Engine::GetAfterInclHT>},
    {u"GETAI-U", &Engine::cmdGet<GetAfterIncl>},
    {u"GHAI-U", &Engine::cmdGetHT<&Engine::GetAfterInclHT>},
    {u"GETB", &Engine::cmdGet<GetBefore>},
    {u"GHB", &Engine::cmdGetHT<&Engine::GetBeforeHT>},
    {u"GETB-U", &Engine::cmdGet<GetBefore>},
    {u"GHB-U", &Engine::cmdGetHT<&Engine::GetBeforeHT>},
    {u"GETBI", &Engine::cmdGet<GetBeforeIncl>},
    {u"GHBI", &Engine::cmdGetHT<&Engine::GetBeforeInclHT>},
    {u"GETBI-U", &Engine::cmdGet<GetBeforeIncl>},
    {u"GHBI-U", &Engine::cmdGetHT<&Engine::GetBeforeInclHT>},
    {u"GETC", &Engine::cmdGetBetween},
    {u"GHC", &Engine::cmdTakeBetween},
    {u"GETC-U", &Engine::cmdGetBetween},
    {u"GHC-U", &Engine::cmdTakeBetween},
    {u"GETN", &Engine::cmdGetN},
    {u"CUTAN", &Engine::cmdCutTail},
    {u"CUTBN", &Engine::cmdCutHead},
    {u"TIME", &Engine::cmdTime},
    {u"DATE", &Engine::cmdDate},
    {u"CR", &Engine::cmdCr},
    {u"PUT", &Engine::cmdPut},
    {u"REPLACE", &Engine::cmdReplace},
    {u"PUTTAB", &Engine::cmdPutTab},
    {u"DEL", &Engine::cmdDel},
    {u"DEL-U", &Engine::cmdDel},
    {u"URL", &Engine::cmdUrl},
    {u"TAGDEL", &Engine::cmdTagDel},
    {u"CON", &Engine::cmdCon},
    {u"LOOP", &Engine::cmdLoop},
    {u"LOOPEND", &Engine::cmdLoopEnd},
    {u"", &Engine::cmdNothing},
    {u"REM", &Engine::cmdNothing},
    {u"'", &Engine::cmdNothing},
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

void Engine::splitLine(TextView line) {
  // One pass for the tabs that end the command word and the five fields.
  size_t tabs[6];
  size_t count = 0;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i tab = _mm_set1_epi16(static_cast<short>(kTab));
  for (; i + 8 <= line.size() && count < 6; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, tab)));
    while (mask != 0 && count < 6) {
      tabs[count++] = i + static_cast<size_t>(__builtin_ctz(mask)) / 2;
      mask &= mask - 1;  // each unit sets two bits
      mask &= mask - 1;
    }
  }
#endif
  for (; i < line.size() && count < 6; ++i) {
    if (line[i] == kTab) tabs[count++] = i;
  }
  commandWord_.assign(line.substr(0, count > 0 ? tabs[0] : line.size()));
  // Slots the line does not reach keep what an earlier line left there;
  // fields after the fifth are ignored.
  for (size_t k = 0; k < count && k < params_.size(); ++k) {
    const size_t start = tabs[k] + 1;
    const size_t end = k + 1 < count ? tabs[k + 1] : line.size();
    params_[k].assign(line.substr(start, end - start));
  }
}

void Engine::executeLine(int16_t lineIndex) {
  host_.selectLine(lineIndex);
  if (lineIndex < 0 || lineIndex >= lineCount()) return;
  splitLine(lines_[static_cast<size_t>(lineIndex)]);
  if (const Command* command = findCommand(commandWord_)) {
    (this->*command->run)(lineIndex);
    return;
  }
  // Comments: a word that starts with ' or, exactly in capitals, with REM.
  const TextView word = commandWord_;
  if (word.starts_with(u"'") || word.starts_with(u"REM")) return;
  report(messages::unknownCommand(lineIndex, commandWord_));
}

// ---- handlers -------------------------------------------------------------

void Engine::cmdClear(int16_t) {
  replaceDest({}, slot(1));
}

void Engine::noteSearch(int16_t line, TextView source, TextView text, TextView marker) {
  if (findMarker(text, marker) != 0) return;
  searchObserver_->markerNotFound({line, commandWord_, source, text, 0, marker, {}});
}

void Engine::noteSearch(int16_t line, TextView source, TextView text, TextView start,
                        TextView end) {
  const size_t a = findMarker(text, start);
  if (a == 0) {
    searchObserver_->markerNotFound({line, commandWord_, source, text, 0, start, {}});
    return;
  }
  const size_t from = std::min(a - 1 + start.size(), text.size());
  if (findMarker(text.substr(from), end) != 0) return;
  searchObserver_->markerNotFound({line, commandWord_, source, text, from, end, start});
}

template <TextView (*Primitive)(TextView, TextView)>
void Engine::cmdGet(int16_t line) {
  const Operand text = operand(1);
  const Operand marker = operand(3);
  if (searchObserver_) noteSearch(line, slot(1), text.view(), marker.view());
  replaceDest(Primitive(text.view(), marker.view()), slot(2));
}

template <TextView (Engine::*Primitive)(TextView, TextView)>
void Engine::cmdGetHT(int16_t line) {
  const Operand text = operand(1);
  const Operand marker = operand(3);
  // Before the primitive: it replaces HT, which the text may be a view of.
  if (searchObserver_) noteSearch(line, slot(1), text.view(), marker.view());
  replaceDest((this->*Primitive)(text.view(), marker.view()), slot(2));
}

void Engine::cmdGetBetween(int16_t line) {
  const Operand text = operand(1);
  const Operand start = operand(3);
  const Operand end = operand(4);
  if (searchObserver_) noteSearch(line, slot(1), text.view(), start.view(), end.view());
  replaceDest(GetBetween(text.view(), start.view(), end.view()), slot(2));
}

void Engine::cmdTakeBetween(int16_t line) {
  const Operand start = operand(2);
  const Operand end = operand(3);
  if (searchObserver_) noteSearch(line, u"HT", ht_.view(), start.view(), end.view());
  appendToDest(TakeBetweenHT(start.view(), end.view()), slot(1));
}

void Engine::cmdGetN(int16_t) {
  const Operand text = operand(1);
  replaceDest(GetLeftN(text.view(), scriptCount(slot(3))), slot(2));
}

void Engine::cmdCutTail(int16_t) {
  const Operand text = operand(1);
  replaceDest(CutTailN(text.view(), scriptCount(slot(2))), slot(1));
}

void Engine::cmdCutHead(int16_t) {
  const Operand text = operand(1);
  replaceDest(CutHeadN(text.view(), scriptCount(slot(2))), slot(1));
}

void Engine::cmdTime(int16_t) {
  appendToDest(host_.timeText(), slot(1));
}

void Engine::cmdDate(int16_t) {
  appendToDest(host_.dateText(), slot(1));
}

void Engine::cmdCr(int16_t) {
  appendToDest(u"\r\n", slot(1));
}

void Engine::cmdPut(int16_t) {
  const Operand value = operand(1);
  appendToDest(value.view(), slot(2));
}

void Engine::cmdReplace(int16_t) {
  const Operand value = operand(1);
  replaceDest(value.view(), slot(2));
}

void Engine::cmdPutTab(int16_t) {
  appendToDest(u"\t", slot(1));
}

void Engine::cmdDel(int16_t line) {
  const Operand text = operand(1);
  const Operand marker = operand(2);
  if (searchObserver_) noteSearch(line, slot(1), text.view(), marker.view());
  replaceDest(DeleteFirst(text.view(), marker.view()), slot(1));
}

void Engine::cmdUrl(int16_t) {
  // A copy: loading empties HT, which the operand may be a view of.
  const Text url(operand(1).view());
  host_.openUrl(url);
}

void Engine::cmdTagDel(int16_t) {
  const Operand text = operand(1);
  replaceDest(StripFirstTag(text.view()), slot(1));
}

void Engine::cmdCon(int16_t) {
  const Operand a = operand(1);
  const Operand b = operand(2);
  if (!fits(a.view().size(), b.view().size())) return;
  Text joined;
  joined.reserve(a.view().size() + b.view().size());
  joined.append(a.view());
  joined.append(b.view());
  replaceDest(joined, slot(1));
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
}

void Engine::cmdLoopEnd(int16_t) {
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
    loop_.jump = true;
    return;
  }
  // The body has run at least once; LoopCounter keeps its last value.
  loop_.start = 0;
  loop_.count = 0;
  loop_.active = false;
  loop_.jump = false;
}

}  // namespace kelvane::engine
