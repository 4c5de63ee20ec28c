// kelvane-run --settings: a settings file's fields as the program reads them.
#pragma once

#include <cstdio>
#include <string>

namespace kelvane::cli {

// Prints the fields of a settings file as the reader understands them, one
// per line as "N: value"; 2 when the file cannot be read.
int printSettings(const std::string& path, std::FILE* out, std::FILE* err);

}  // namespace kelvane::cli
