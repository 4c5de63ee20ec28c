// kelvane-run's --fetch auto over one run: which fetcher each URL command
// uses and why, the pages a run loaded both ways, and after the run the
// verdict on them: the script is run once more, apart, over the directly
// fetched pages, and the display it gives is compared with the run's.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/fetch_choice.h"
#include "engine/engine.h"

namespace kelvane::cli {

class AutoFetch {
 public:
  AutoFetch() : memory_(std::make_unique<acquisition::FetchMemoryInProcess>()) {}
  // Verdicts kept elsewhere (the history) from now on.
  void setMemory(std::unique_ptr<acquisition::FetchMemory> memory) { memory_ = std::move(memory); }

  // A run begins: the buffers it starts from are kept for the comparison.
  void beginRun(const engine::Engine& engine);
  // How to load url; a remembered verdict counts one more run.
  acquisition::FetchPlan plan(const std::string& url);
  // What a load put into HT: the page text the run read and, for a page
  // loaded both ways, the direct fetch's text besides.
  void loaded(const std::string& url, engine::TextView ht,
              std::optional<std::u16string> directHt = std::nullopt);
  // The direct fetch ran by the choice it remembers; a miss on its page
  // has it checked again.
  void remembered(const std::string& url) { directByVerdict_.push_back(url); }
  // A page that runs no script: direct from now on.
  void decideDirect(const std::string& url, const std::string& why);

  // The run has ended. After a normal run the pages loaded both ways get
  // their verdict (what it was is returned, for the trace); a run with a
  // marker miss has its directly fetched pages checked again next time.
  std::string endRun(const engine::Engine& engine, engine::TextView scriptPath, bool normal,
                     bool missed);

 private:
  struct Page {
    std::string url;
    std::u16string ht;
    std::optional<std::u16string> directHt;
  };
  std::unique_ptr<acquisition::FetchMemory> memory_;
  std::vector<engine::Text> startBuffers_;
  engine::Text startTitle_;
  std::vector<Page> pages_;
  std::vector<std::string> directByVerdict_;
};

// The display the script gives when every page of the run reads as given
// (the directly fetched text where there is one): nothing when that run
// loads other addresses than the run did, or does not end normally.
std::optional<engine::Text> displayOver(engine::TextView scriptPath,
                                        const std::vector<engine::Text>& startBuffers,
                                        engine::TextView startTitle,
                                        const std::vector<std::string>& urls,
                                        const std::vector<const std::u16string*>& pages);

}  // namespace kelvane::cli
