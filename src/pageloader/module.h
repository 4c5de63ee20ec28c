// The interface between kelvane-run and the page loader module it loads on
// its first URL command, so that runs without URL commands never pay for
// Qt WebEngine. Both sides are built from the same tree: the request carries
// the engine itself, and the version and engine size guard against a module
// of another build.
#pragma once

#include <cstddef>

namespace kelvane::engine {
class Engine;
}
namespace kelvane::acquisition {
struct LoadRecord;
}

extern "C" {

#define KELVANE_PAGELOADER_ABI 5
#define KELVANE_PAGELOADER_ENTRY "kelvane_pageloader_open_url"
#define KELVANE_PAGELOADER_LEAVE "kelvane_pageloader_leave_page"
#define KELVANE_PAGELOADER_END "kelvane_pageloader_end"
#define KELVANE_PAGELOADER_FILE "kelvane_pageloader.so"

// What the module tells its caller besides filling HT.
enum KelvanePageEvent {
  KELVANE_PAGE_LOAD_FAILED = 1,  // text: the reason
  KELVANE_PAGE_TIMED_OUT = 2,    // text: the address
  KELVANE_PAGE_SETTLED = 3,      // text: how long the settle wait lasted, and why
};

struct KelvanePageRequest {
  int abiVersion;     // KELVANE_PAGELOADER_ABI
  size_t engineSize;  // sizeof(kelvane::engine::Engine)
  kelvane::engine::Engine* engine;
  const char16_t* url;
  size_t urlLength;
  const char16_t* waitValue;  // the --wait text, read as the wait value box
  size_t waitValueLength;
  int settleAuto;  // 1: the settle wait ends once the page has settled
  void* context;
  void (*report)(void* context, int event, const char* utf8Text);
  // Filled with the load's record.
  kelvane::acquisition::LoadRecord* record;
  // The cookie file (UTF-8 path) the browser takes its cookies from, off the
  // record, and writes the cookies pages set back to; null or empty: none.
  const char* cookieFile;
};

// Loads the URL as the URL command does (HT filled, StopFlag set on a failed
// or timed-out load, the record filled). Returns 0, or -1 when the request does not match this
// module (another build); then *error names why (a static string).
typedef int (*KelvanePageLoaderEntry)(const KelvanePageRequest* request, const char** error);
// Lets go of the page shown once a run has ended, so the browser frees it.
typedef void (*KelvanePageLoaderLeave)();
// Shuts the browser and the application down; called once, before the
// process exits. Page loading is not available afterwards.
typedef void (*KelvanePageLoaderEnd)();
}
