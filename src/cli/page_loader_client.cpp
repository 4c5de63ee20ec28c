#include "cli/page_loader_client.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "cli/output.h"

namespace kelvane::cli {

// What the module tells besides filling HT and the record, as lines on
// standard error.
void PageLoaderClient::report(void* context, int event, const char* utf8Text) {
  auto* self = static_cast<PageLoaderClient*>(context);
  if (event == KELVANE_PAGE_LOAD_FAILED) {
    writeMessage(self->err_, std::string("cannot load URL: ") + utf8Text);
  } else if (event == KELVANE_PAGE_TIMED_OUT) {
    writeMessage(self->err_, std::string("the page did not finish loading in time: ") + utf8Text);
  } else if (event == KELVANE_PAGE_SETTLED && self->trace_) {
    writeLine(self->err_, std::string("    settle: ") + utf8Text);
  }
}

namespace {

std::string executableDir() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::filesystem::path(std::string(buffer, static_cast<size_t>(n))).parent_path().string();
}

}  // namespace

std::vector<std::string> PageLoaderClient::modulePaths() {
  std::vector<std::string> paths;
  const std::string dir = executableDir();
  if (!dir.empty()) {
    paths.push_back(dir + "/" KELVANE_PAGELOADER_FILE);
    paths.push_back(dir + "/" KELVANE_MODULE_DIR_FROM_BIN "/" KELVANE_PAGELOADER_FILE);
  }
  return paths;
}

bool PageLoaderClient::load(std::string* reason) {
  if (entry_) return true;
  std::string firstError;
  for (const std::string& path : modulePaths()) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) continue;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      if (firstError.empty()) firstError = ::dlerror();
      continue;
    }
    entry_ = reinterpret_cast<KelvanePageLoaderEntry>(::dlsym(module, KELVANE_PAGELOADER_ENTRY));
    leave_ = reinterpret_cast<KelvanePageLoaderLeave>(::dlsym(module, KELVANE_PAGELOADER_LEAVE));
    end_ = reinterpret_cast<KelvanePageLoaderEnd>(::dlsym(module, KELVANE_PAGELOADER_END));
    if (entry_ && leave_ && end_) return true;
    entry_ = nullptr;
    if (firstError.empty()) firstError = path + " lacks its entry points";
    ::dlclose(module);
  }
  *reason = !firstError.empty() ? firstError
                                : std::string(KELVANE_PAGELOADER_FILE) +
                                      " was found neither beside the program nor in its " +
                                      KELVANE_MODULE_DIR_FROM_BIN " folder";
  return false;
}

void PageLoaderClient::runEnded() {
  if (started_) leave_();
}

PageLoaderClient::~PageLoaderClient() {
  if (started_) end_();
}

void PageLoaderClient::openUrl(engine::Engine& engine, std::u16string_view url,
                               std::u16string_view waitValue, std::FILE* err,
                               acquisition::LoadRecord* load) {
  load->fetch = acquisition::FetchMode::Browser;
  std::string reason;
  if (!this->load(&reason)) {
    load->error = "page loading is not available: " + reason;
    writeMessage(err, load->error);
    engine.stop();
    return;
  }
  err_ = err;
  const KelvanePageRequest request{KELVANE_PAGELOADER_ABI,
                                   sizeof(engine::Engine),
                                   &engine,
                                   url.data(),
                                   url.size(),
                                   waitValue.data(),
                                   waitValue.size(),
                                   settleMode_ == acquisition::SettleMode::Auto ? 1 : 0,
                                   this,
                                   &PageLoaderClient::report,
                                   load,
                                   cookieFile_.c_str()};
  const char* error = nullptr;
  if (trace_ && !started_ && !cookieFile_.empty()) {
    writeLine(err, "    browser: off the record, with the cookies of " + cookieFile_);
  }
  started_ = true;
  if (entry_(&request, &error) != 0) {
    load->error = std::string("page loading is not available: ") +
                  (error ? error : "the module refused the request");
    writeMessage(err, load->error);
    engine.stop();
  }
  std::fflush(err);
}

}  // namespace kelvane::cli
