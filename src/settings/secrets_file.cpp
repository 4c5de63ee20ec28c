#include "settings/secrets_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "textfile/file_io.h"

namespace kelvane::settings {
namespace {

// Calls line(text) for each line of bytes, without its line end.
template <typename Line>
void eachLine(std::string_view bytes, Line line) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view text = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    line(text);
  }
}

bool hasKey(std::string_view line, std::string_view key) {
  return line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=';
}

}  // namespace

std::string secretsPathFor(const std::string& settingsPath) {
  std::error_code ec;
  return (std::filesystem::absolute(settingsPath, ec).parent_path() / "Kelvane.secrets").string();
}

std::optional<std::vector<std::string>> readSecrets(const std::string& path, std::string_view key,
                                                    std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return std::vector<std::string>();
    *error = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if ((st.st_mode & 077) != 0) ::chmod(path.c_str(), 0600);
  const std::optional<std::string> bytes = textfile::readFileBytes(path);
  if (!bytes) {
    *error = path + ": cannot be read";
    return std::nullopt;
  }
  std::vector<std::string> values;
  eachLine(*bytes, [&](std::string_view line) {
    if (hasKey(line, key) && line.size() > key.size() + 1)
      values.emplace_back(line.substr(key.size() + 1));
  });
  return values;
}

bool writeSecrets(const std::string& path, std::string_view key,
                  const std::vector<std::string>& values, std::string* error) {
  std::string kept;
  if (const std::optional<std::string> old = textfile::readFileBytes(path)) {
    eachLine(*old, [&](std::string_view line) {
      if (!line.empty() && !hasKey(line, key)) (kept += line) += '\n';
    });
  }
  for (const std::string& value : values) {
    if (value.find_first_of("\r\n") != std::string::npos) {
      *error = "a secret may not hold a line break";
      return false;
    }
    (((kept += key) += '=') += value) += '\n';
  }
  // The file exists with mode 0600 before anything is written to it: the
  // replacement keeps the mode of the file it replaces.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0 || ::fchmod(fd, 0600) != 0) {
    *error = path + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd);
  if (!textfile::writeFileAtomically(path, kept)) {
    *error = path + ": cannot be written";
    return false;
  }
  return true;
}

}  // namespace kelvane::settings
