// A shared library opened when a program first needs it, not at its start:
// the programs then neither load nor bind what most of their runs never use.
#pragma once

#include <string>

namespace kelvane::textfile {

class LazyLibrary {
 public:
  // Opens the library by its soname; error() tells why when it cannot be.
  explicit LazyLibrary(const char* soname);

  // Looks the symbol up into function. A missing one is told by error().
  template <typename F>
  void bind(const char* symbol, F& function) {
    function = reinterpret_cast<F>(lookup(symbol));
  }

  // Empty when the library and every symbol bound so far were found.
  const std::string& error() const { return error_; }

 private:
  void* lookup(const char* symbol);

  std::string soname_;
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace kelvane::textfile
