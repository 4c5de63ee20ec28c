#include "engine/engine.h"

#include "engine/messages.h"
#include "engine/primitives.h"
#include "textfile/file_io.h"
#include "textfile/lines.h"
#include "textfile/text_codec.h"

namespace kelvane::engine {

using namespace std::string_view_literals;

Engine::Engine(Host& host) : host_(host) {
  for (size_t k = 0; k < slots_.size(); ++k) slots_[k] = {&keptFields_[k], false};
}

// ---- run driver ----------------------------------------------------------

RunOutcome Engine::run(TextView scriptPath) {
  const Text path(scriptPath);
  return runLoaded([&] { loadScript(path); });
}

RunOutcome Engine::runScriptText(TextView scriptText) {
  return runLoaded([&] {
    lines_ = textfile::splitLines(scriptText);
    if (lines_.size() > kMaxLines) lines_.resize(kMaxLines);
    readLines();
    host_.scriptLoaded();
  });
}

RunOutcome Engine::runLoaded(const std::function<void()>& load) {
  // A run started while another one yields would reload the list and clear
  // the loop under the first run's feet: it is ignored.
  if (running_) return RunOutcome::Ignored;
  running_ = true;
  host_.setTimerEnabled(false);
  for (TextBuffer& v : vars_) {
    v.clear();
    v.setFromPage(false);
  }
  // Whatever HT holds now, a page put it there or may have.
  ht_.setFromPage(true);
  stopFlag_ = false;
  stopRaisedByLastLine_ = false;
  load();
  loop_ = LoopState{};
  const int last = lineCount() - 1;
  for (int i = 0; i <= last; ++i) {
    // Tested before each line: a stop raised by the last line goes unseen.
    if (stopFlag_ || interruptRequested()) {
      stopFlag_ = true;
      running_ = false;
      return RunOutcome::Stopped;
    }
    host_.lineStarting(i);
    executeLine(static_cast<int16_t>(i));
    host_.lineFinished(i);
    if (loop_.jump) {
      i = loop_.start;
      loop_.jump = false;
    }
  }
  stopRaisedByLastLine_ = stopFlag_;
  stopFlag_ = false;
  host_.setTimerEnabled(true);
  running_ = false;
  return RunOutcome::Normal;
}

void Engine::loadScript(TextView path) {
  lines_.clear();
  const auto bytes = textfile::readFileBytes(textfile::toUtf8(path));
  if (bytes) {
    lines_ = textfile::splitLines(textfile::decodeText(*bytes));
    // The line counter is 16 bits wide: the lines beyond are not run.
    if (lines_.size() > kMaxLines) lines_.resize(kMaxLines);
  }
  readLines();
  host_.scriptLoaded();
}

void Engine::readLines() {
  for (size_t k = 0; k < slots_.size(); ++k) {
    if (slots_[k].field == &keptFields_[k]) continue;
    keptFields_[k] = *slots_[k].field;
    slots_[k].field = &keptFields_[k];
  }
  if (word_ != &keptWord_) {
    keptWord_ = *word_;
    word_ = &keptWord_;
  }
  parsed_.clear();
  parsed_.reserve(lines_.size());
  for (const Text& line : lines_) parsed_.push_back(ParsedLine::read(line));
}

void Engine::report(const Text& message) {
  stopFlag_ = true;
  host_.showMessage(message);
}

// ---- operands -------------------------------------------------------------

Operand Engine::operand(int n) {
  const Slot& s = slots_[static_cast<size_t>(n - 1)];
  const Field& f = *s.field;
  if (f.name && f.name->source) {
    if (f.name->id == BufferId::Time) return Operand(host_.timeText());
    if (f.name->id == BufferId::Date) return Operand(host_.dateText());
    const TextBuffer& source = buffer(f.name->id);
    lineFromPage_ = lineFromPage_ || source.fromPage();
    return Operand(source.view());
  }
  // An upper-cased slot never held a literal: the writer leaves those alone.
  // A lone double quote counts as the empty literal.
  if (f.literal) return Operand(f.literalText());
  report(messages::badSource(n, f.upper));
  return Operand(TextView{});
}

// ---- destinations ---------------------------------------------------------

void Engine::appendToDest(TextView value, int n) {
  writeDest(value, n, WriteMode::Append);
}

void Engine::replaceDest(TextView value, int n) {
  writeDest(value, n, WriteMode::Replace);
}

void Engine::replaceDest(Text&& value, int n) {
  TextBuffer* target = destination(n);
  if (!target) return;
  if (target == &title_) {
    writeTitle(value);
  } else if (fits(0, value.size())) {
    target->take(std::move(value));
    target->setFromPage(lineFromPage_);
  }
}

bool Engine::fits(size_t oldSize, size_t added) {
  if (added <= maxBufferLength_ && oldSize <= maxBufferLength_ - added) return true;
  report(messages::bufferTooLong());
  return false;
}

TextBuffer* Engine::destination(int n) {
  Slot& s = slots_[static_cast<size_t>(n - 1)];
  const Field& f = *s.field;
  // The slot itself is upper-cased, unless it starts with a quote.
  if (f.raw.empty() || f.raw.front() != u'"') s.upper = true;
  if (!f.name || !f.name->stored) {
    report(messages::badDestination(s.upper ? f.upper : f.raw));
    return nullptr;
  }
  return &buffer(f.name->id);
}

void Engine::writeDest(TextView value, int n, WriteMode mode) {
  TextBuffer* target = destination(n);
  if (!target) return;
  if (target == &title_) {
    writeTitle(value);  // the caption is always replaced
  } else if (mode == WriteMode::Append) {
    if (fits(target->size(), value.size())) {
      target->append(value);
      target->setFromPage(target->fromPage() || lineFromPage_);
    }
  } else if (fits(0, value.size())) {
    target->assign(value);
    target->setFromPage(lineFromPage_);
  }
}

TextBuffer& Engine::buffer(BufferId id) {
  switch (id) {
    case BufferId::HT:
      return ht_;
    case BufferId::D:
      return d_;
    case BufferId::Title:
      return title_;
    default:
      return vars_[static_cast<size_t>(id) - static_cast<size_t>(BufferId::V1)];
  }
}

void Engine::writeTitle(TextView caption) {
  const size_t firstKept = caption.find_first_not_of(u' ');
  title_.assign(firstKept == TextView::npos ? TextView{} : caption.substr(firstKept));
  host_.setTitle(title_.view());
}

// ---- primitives that write HT ---------------------------------------------

void Engine::assignHT(TextView piece) {
  if (fits(0, piece.size())) {
    ht_.assign(piece);
    ht_.setFromPage(lineFromPage_);
  }
}

TextView Engine::GetAfterHT(TextView text, TextView marker) {
  assignHT(GetAfter(text, marker));
  return ht_.view();
}

TextView Engine::GetAfterInclHT(TextView text, TextView marker) {
  assignHT(GetAfterIncl(text, marker));
  return ht_.view();
}

TextView Engine::GetBeforeHT(TextView text, TextView marker) {
  assignHT(GetBefore(text, marker));
  return ht_.view();
}

TextView Engine::GetBeforeInclHT(TextView text, TextView marker) {
  assignHT(GetBeforeIncl(text, marker));
  return ht_.view();
}

TextView Engine::TakeBetweenHT(TextView start, TextView end) {
  // Pieces handed out by the previous pass are no longer needed here.
  if (!ht_.aliases(start) && !ht_.aliases(end)) ht_.releaseDroppedFront();
  const TakenPiece taken = TakeBetween(ht_.view(), start, end);
  lineFromPage_ = lineFromPage_ || ht_.fromPage();
  // The piece stays readable: dropping the front of HT moves nothing.
  if (taken.found) ht_.dropFront(taken.consumed);
  return taken.piece;
}

}  // namespace kelvane::engine
