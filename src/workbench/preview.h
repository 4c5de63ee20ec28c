// The editor's live preview: a script run over the page text of the last
// load, without loading anything (URL lines use that page), cut off before
// it can hold the editor up, with what each line did and what it missed.
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <vector>

#include "engine/buffer_names.h"
#include "engine/engine.h"
#include "engine/script.h"
#include "workbench/near_miss.h"

namespace kelvane::workbench {

using engine::Text;
using engine::TextView;

struct PreviewLimits {
  long maxPasses = 100000;  // loop passes (LOOPEND lines run)
  std::chrono::milliseconds maxTime{300};
  size_t maxBufferLength = size_t{1} << 24;
};

// A buffer a line changed, as the line left it.
struct BufferChange {
  engine::BufferId buffer;
  size_t length = 0;
  Text start;  // its first characters
};

// A marker search of the line that found nothing, with the nearest
// candidates in the text it searched.
struct PreviewMiss {
  Text marker;
  Text after;  // the start marker, when the end marker is the one missing
  size_t searchedLength = 0;
  std::vector<NearMiss> candidates;
  std::vector<Text> contexts;  // the text at each candidate
};

struct LineReport {
  int runs = 0;                       // how often the line ran
  std::vector<BufferChange> changes;  // its first run's changes
  std::vector<Text> messages;         // what the run showed on this line
  std::optional<PreviewMiss> miss;    // its first miss
  int misses = 0;
};

struct PreviewResult {
  engine::RunOutcome outcome = engine::RunOutcome::Normal;
  bool cutOff = false;  // the limits ended the run
  long passes = 0;
  // The stored buffers as the run left them, in kBufferNames order.
  std::array<Text, engine::kStoredBufferCount> buffers;
  std::vector<LineReport> lines;
  // What the engine's parse says of each line, known without running.
  std::vector<engine::LineProblem> problems;
  std::chrono::microseconds took{0};

  const Text& buffer(engine::BufferId id) const { return buffers[static_cast<size_t>(id)]; }
};

// Runs script (lines ended by CR or CR LF) with HT starting as page and D
// as display.
PreviewResult preview(TextView script, TextView page, TextView display = {},
                      const PreviewLimits& limits = {});

// The problems of each line of a script, without running it.
std::vector<engine::LineProblem> diagnoseScript(TextView script);

}  // namespace kelvane::workbench
