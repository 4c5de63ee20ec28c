#include "textfile/lazy_library.h"

#include <dlfcn.h>

namespace kelvane::textfile {

LazyLibrary::LazyLibrary(const char* soname) : soname_(soname) {
  handle_ = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = ::dlerror();
    error_ = reason ? reason : soname_ + " cannot be opened";
  }
}

void* LazyLibrary::lookup(const char* symbol) {
  if (!handle_) return nullptr;
  void* found = ::dlsym(handle_, symbol);
  if (!found && error_.empty()) error_ = soname_ + " lacks the functions of its interface";
  return found;
}

}  // namespace kelvane::textfile
