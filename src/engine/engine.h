// The script engine: its buffers and state, operand resolution, the
// destination writer, the line interpreter and the run driver. One object
// holds everything; two engines in one process never see each other.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "engine/buffer_names.h"
#include "engine/host.h"
#include "engine/script.h"
#include "engine/text.h"
#include "engine/text_buffer.h"

namespace kelvane::engine {

// A resolved source parameter: a view of a buffer or of the line's own
// literal, or a text of its own (TIME, DATE).
class Operand {
 public:
  Operand() = default;
  explicit Operand(TextView view) : view_(view) {}
  explicit Operand(Text owned) : owned_(std::make_unique<Text>(std::move(owned))), view_(*owned_) {}
  TextView view() const { return view_; }

 private:
  // Held on the heap so that the view stays valid when the operand moves;
  // only TIME and DATE need it.
  std::unique_ptr<Text> owned_;
  TextView view_;
};

// A marker search of an extraction or DEL line that found nothing, as the
// line saw it. The views hold only during the call.
struct SearchMiss {
  int line = 0;
  TextView command;  // the command word as written
  TextView source;   // the text's parameter as written; "HT" for GHC
  TextView text;     // the whole text searched
  size_t from = 0;   // where the search began: after the start marker, or 0
  TextView marker;   // the marker not found (as resolved, before upper-casing)
  TextView after;    // the start marker, when the end marker is the one missing
};

// Told of every search that found nothing; only set by tools that explain
// misses, so a run without one pays nothing more than a null test.
class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  virtual void markerNotFound(const SearchMiss& miss) = 0;
};

enum class RunOutcome {
  Normal,   // ran past the last line: StopFlag clear, timer on
  Stopped,  // a script error or failed load stopped it: timer left off
  Ignored,  // a run was already going (a click during a yield)
};

struct LoopState {
  int16_t start = 0;    // LoopStart
  int16_t counter = 0;  // LoopCounter
  int16_t count = 0;    // LoopCount
  bool active = false;  // LoopActive
  bool jump = false;    // LoopJump
};

class Engine {
 public:
  static constexpr int kMaxLines = 32767;
  // No buffer grows past this many characters: a script that doubles a
  // buffer in a loop is stopped with a message instead of exhausting memory.
  static constexpr size_t kDefaultMaxBufferLength = size_t{1} << 27;

  explicit Engine(Host& host);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // One run of the script file at scriptPath (re-read from disk): what the
  // window's update button (Exec_Click) does below the window.
  RunOutcome run(TextView scriptPath);
  // The same run over script text held in memory (tests, fuzzing).
  RunOutcome runScriptText(TextView scriptText);

  // Reads the script file into the script list (LoadScript) and reads each
  // line once; a file that cannot be read leaves the list empty, silently.
  void loadScript(TextView path);
  // Fills the parameter slots from the line read at load and carries its
  // command out (ExecuteLine).
  void executeLine(int16_t lineIndex);
  // The text parameter slot n names: a buffer, TIME, DATE or a literal
  // (GetSource).
  Operand operand(int n);
  // The destination writer: append (PutToDest) or replace (ReplaceDest) the
  // buffer that slot n names, or the caption (SetTitle).
  void appendToDest(TextView value, int n);
  void replaceDest(TextView value, int n);
  void replaceDest(Text&& value, int n);
  void writeTitle(TextView caption);

  // The HT-writing extraction primitives.
  TextView GetAfterHT(TextView text, TextView marker);
  TextView GetAfterInclHT(TextView text, TextView marker);
  TextView GetBeforeHT(TextView text, TextView marker);
  TextView GetBeforeInclHT(TextView text, TextView marker);
  TextView TakeBetweenHT(TextView start, TextView end);

  // Buffers: HT (the page), D (the display), V1..V5.
  TextBuffer& ht() { return ht_; }
  TextBuffer& d() { return d_; }
  TextBuffer& var(int n) { return vars_.at(static_cast<size_t>(n - 1)); }
  const TextBuffer& ht() const { return ht_; }
  const TextBuffer& d() const { return d_; }
  const TextBuffer& var(int n) const { return vars_.at(static_cast<size_t>(n - 1)); }
  // The caption written through TITLE (empty until a script writes it).
  TextBuffer& title() { return title_; }
  const TextBuffer& title() const { return title_; }
  // A stored buffer by its name's id (not TIME or DATE).
  TextBuffer& buffer(BufferId id);
  const TextBuffer& buffer(BufferId id) const { return const_cast<Engine*>(this)->buffer(id); }

  const std::vector<Text>& scriptLines() const { return lines_; }
  // The lines as read at load, for the editor's diagnostics.
  std::span<const ParsedLine> parsedLines() const { return parsed_; }
  int16_t lineCount() const { return static_cast<int16_t>(lines_.size()); }
  const Text& commandWord() const { return *word_; }
  // Parameter slot k (1..5) as it stands: the field a line put there, or its
  // upper-cased form once the destination writer has normalised it.
  const Text& param(int k) const {
    const Slot& s = slots_.at(static_cast<size_t>(k - 1));
    return s.upper ? s.field->upper : s.field->raw;
  }
  const LoopState& loop() const { return loop_; }
  // While the URL command's page loads: whether its address came from a
  // page. Text cut from HT, and every buffer a line writes from such text,
  // counts as from a page (TextBuffer::fromPage); a literal of the script,
  // TIME and DATE do not. HT counts as from a page at the start of every
  // run and after every load. The loader refuses such an address unless it
  // is an http: or https: one.
  bool urlFromPage() const { return urlFromPage_; }
  bool stopFlag() const { return stopFlag_; }
  // True when the last run ended normally although its last line raised a
  // stop (a script error there): the driver tests StopFlag before each line
  // only, so the window's run ends normally; kelvane-run counts it as failed.
  bool stopRaisedByLastLine() const { return stopRaisedByLastLine_; }
  // Sets StopFlag: the run ends before its next line. For the host (a page
  // that did not load) and for tests.
  void stop() { stopFlag_ = true; }
  bool running() const { return running_; }
  // Asks the run to end before its next line and page waits to give up, for
  // good (kelvane-run on SIGTERM). Safe to call from a signal handler.
  void requestInterrupt() { interrupted_.store(true, std::memory_order_relaxed); }
  bool interruptRequested() const { return interrupted_.load(std::memory_order_relaxed); }
  // Clears the loop state, as the window does when it is loaded.
  void resetLoop() { loop_ = LoopState{}; }

  void setMaxBufferLength(size_t n) { maxBufferLength_ = n; }
  // For runs nobody follows line by line (the workbench trying lines out):
  // a loop pass that leaves every buffer as the pass before it left them
  // ends the loop, as every further pass would do the same again. Only
  // loops whose lines neither read the clock nor load a page; not while a
  // search observer listens.
  void setEndSettledLoops(bool on) { endSettledLoops_ = on; }
  // Null (the default) for no observer.
  void setSearchObserver(SearchObserver* observer) { searchObserver_ = observer; }

  using Command = engine::Command;
  static const Command kCommands[];
  static std::span<const Command> commandTable();
  // The row whose word equals `word` upper-cased, or null: findCommand
  // fast, findCommandByLoop plainly (the statement of what findCommand must
  // find).
  static const Command* findCommand(TextView word);
  static const Command* findCommandByLoop(TextView word);

 private:
  enum class WriteMode { Append, Replace };

  // A parameter slot: the field the last line that reached it put there,
  // and whether the destination writer has upper-cased it since.
  struct Slot {
    const Field* field;
    bool upper = false;
  };

  RunOutcome runLoaded(const std::function<void()>& load);
  // Reads every line of lines_ into parsed_, after moving what the slots
  // and the command word hold out of the old lines.
  void readLines();
  void report(const Text& message);
  // The stored buffer slot n names, normalising the slot; null (after the
  // message) when it names none; &title_ for TITLE.
  TextBuffer* destination(int n);
  void writeDest(TextView value, int n, WriteMode mode);
  bool fits(size_t oldSize, size_t added);
  void assignHT(TextView piece);
  // Slot n read as a number, as it stands.
  int16_t count(int n) const {
    const Slot& s = slots_[static_cast<size_t>(n - 1)];
    return s.upper ? s.field->upperCount : s.field->count;
  }
  // Tell the observer when marker (or, for two markers, either one) is not
  // found in text; `source` names the text for the report.
  void noteSearch(int16_t line, TextView source, TextView text, TextView marker);
  void noteSearch(int16_t line, TextView source, TextView text, TextView start, TextView end);

  // Command handlers (one per row of the command table).
  void cmdClear(int16_t);
  template <TextView (*Primitive)(TextView, TextView)>
  void cmdGet(int16_t);
  template <TextView (Engine::*Primitive)(TextView, TextView)>
  void cmdGetHT(int16_t);
  void cmdGetBetween(int16_t);
  void cmdTakeBetween(int16_t);
  void cmdGetN(int16_t);
  void cmdCutTail(int16_t);
  void cmdCutHead(int16_t);
  void cmdTime(int16_t);
  void cmdDate(int16_t);
  void cmdCr(int16_t);
  void cmdPut(int16_t);
  void cmdReplace(int16_t);
  void cmdPutTab(int16_t);
  void cmdDel(int16_t);
  void cmdUrl(int16_t);
  void cmdTagDel(int16_t);
  void cmdCon(int16_t);
  void cmdLoop(int16_t);
  void cmdLoopEnd(int16_t);
  void cmdNothing(int16_t) {}
  // Whether the loop's pass that ends at line loopEnd changed no buffer.
  bool passSettled(int16_t loopEnd);

  Host& host_;
  TextBuffer ht_;
  TextBuffer d_;
  std::array<TextBuffer, 5> vars_;
  TextBuffer title_;
  std::vector<Text> lines_;
  std::vector<ParsedLine> parsed_;
  // The slots and the command word outlive the script they came from: on a
  // reload what they hold moves here.
  std::array<Field, 5> keptFields_;
  Text keptWord_;
  std::array<Slot, 5> slots_;
  const Text* word_ = &keptWord_;
  LoopState loop_;
  bool stopFlag_ = false;
  bool stopRaisedByLastLine_ = false;
  bool running_ = false;
  // Some operand of the line running came from a page.
  bool lineFromPage_ = false;
  bool urlFromPage_ = false;
  size_t maxBufferLength_ = kDefaultMaxBufferLength;
  SearchObserver* searchObserver_ = nullptr;
  bool endSettledLoops_ = false;
  // The loop passSettled looks at: its LOOPEND line, whether its lines may
  // settle, and each buffer as the last pass left it: its count of
  // changes, whether it is from a page, and its text when short.
  struct PassEnd {
    uint64_t changes = 0;
    bool fromPage = false;
    bool kept = false;  // text holds the buffer's text
    Text text;
  };
  int16_t settleLoopEnd_ = -1;
  bool settleable_ = false;
  bool settleMarked_ = false;
  std::array<PassEnd, 8> passEnds_;
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::atomic<bool> interrupted_{false};
};

}  // namespace kelvane::engine
