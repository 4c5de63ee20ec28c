#include "acquisition/direct/image_size.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace kelvane::acquisition {
namespace {

uint32_t bigEndian(std::string_view b, size_t at, size_t bytes) {
  uint32_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

uint32_t littleEndian(std::string_view b, size_t at, size_t bytes) {
  uint32_t v = 0;
  for (size_t i = bytes; i-- > 0;) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

std::optional<ImageSize> sized(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  return ImageSize{static_cast<int>(width), static_cast<int>(height)};
}

// The Exif orientation of an APP1 segment's data (1 when it says none):
// 5 to 8 turn the image a quarter.
int exifOrientation(std::string_view app1) {
  if (!app1.starts_with(std::string_view("Exif\0\0", 6))) return 1;
  const std::string_view tiff = app1.substr(6);
  if (tiff.size() < 8) return 1;
  const bool little = tiff.starts_with("II");
  if (!little && !tiff.starts_with("MM")) return 1;
  const auto number = [&](size_t at, size_t bytes) {
    return little ? littleEndian(tiff, at, bytes) : bigEndian(tiff, at, bytes);
  };
  const uint32_t ifd = number(4, 4);
  if (ifd > tiff.size() - 2) return 1;
  const uint32_t entries = number(ifd, 2);
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + size_t{12} * i;
    if (entry + 12 > tiff.size()) break;
    if (number(entry, 2) == 0x0112 && number(entry + 2, 2) == 3) {
      return static_cast<int>(number(entry + 8, 2));
    }
  }
  return 1;
}

std::optional<ImageSize> jpegSize(std::string_view b) {
  int orientation = 1;
  size_t at = 2;
  while (at + 4 <= b.size()) {
    if (static_cast<unsigned char>(b[at]) != 0xFF) return std::nullopt;
    const auto marker = static_cast<unsigned char>(b[at + 1]);
    if (marker == 0xFF) {  // fill
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    const size_t length = bigEndian(b, at + 2, 2);
    if (length < 2 || at + 2 + length > b.size()) return std::nullopt;
    const std::string_view data = b.substr(at + 4, length - 2);
    if (marker == 0xE1 && orientation == 1) orientation = exifOrientation(data);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (data.size() < 5) return std::nullopt;
      const int64_t height = bigEndian(data, 1, 2), width = bigEndian(data, 3, 2);
      return orientation >= 5 && orientation <= 8 ? sized(height, width) : sized(width, height);
    }
    at += 2 + length;
  }
  return std::nullopt;
}

std::optional<ImageSize> webpSize(std::string_view b) {
  if (b.size() < 30) return std::nullopt;
  const std::string_view chunk = b.substr(12, 4);
  if (chunk == "VP8 " && bigEndian(b, 23, 3) == 0x9D012A) {
    return sized(littleEndian(b, 26, 2) & 0x3FFF, littleEndian(b, 28, 2) & 0x3FFF);
  }
  if (chunk == "VP8L" && static_cast<unsigned char>(b[20]) == 0x2F) {
    const uint32_t bits = littleEndian(b, 21, 4);
    return sized((bits & 0x3FFF) + 1, (bits >> 14 & 0x3FFF) + 1);
  }
  if (chunk == "VP8X") return sized(littleEndian(b, 24, 3) + 1, littleEndian(b, 27, 3) + 1);
  return std::nullopt;
}

}  // namespace

std::optional<ImageSize> imageSizeOf(std::string_view b) {
  if (b.starts_with("\x89PNG\r\n\x1A\n") && b.size() >= 24 && b.substr(12, 4) == "IHDR") {
    return sized(bigEndian(b, 16, 4), bigEndian(b, 20, 4));
  }
  if ((b.starts_with("GIF87a") || b.starts_with("GIF89a")) && b.size() >= 10) {
    return sized(littleEndian(b, 6, 2), littleEndian(b, 8, 2));
  }
  if (b.starts_with("\xFF\xD8")) return jpegSize(b);
  if (b.starts_with("RIFF") && b.size() >= 12 && b.substr(8, 4) == "WEBP") return webpSize(b);
  if (b.starts_with("BM") && b.size() >= 26) {
    if (littleEndian(b, 14, 4) == 12) return sized(littleEndian(b, 18, 2), littleEndian(b, 20, 2));
    const auto height = static_cast<int32_t>(littleEndian(b, 22, 4));  // negative: top down
    return sized(static_cast<int32_t>(littleEndian(b, 18, 4)), std::abs(int64_t{height}));
  }
  return std::nullopt;
}

bool mayAnimate(std::string_view b) {
  if (b.starts_with("GIF8")) return true;
  if (b.starts_with("RIFF") && b.size() > 20 && b.substr(8, 8) == "WEBPVP8X") {
    return (static_cast<unsigned char>(b[20]) & 0x02) != 0;
  }
  if (!b.starts_with("\x89PNG\r\n\x1A\n")) return false;
  // An animated PNG's animation chunk comes before its image data.
  for (size_t at = 8; at + 8 <= b.size();) {
    const std::string_view type = b.substr(at + 4, 4);
    if (type == "acTL") return true;
    if (type == "IDAT") return false;
    at += size_t{12} + bigEndian(b, at, 4);
  }
  return false;
}

std::optional<ImageSize> shrunkToFit(ImageSize image, ImageSize view) {
  // In single precision, as the browser computes it: a width of 1025 in a
  // view of 1024 comes out 1023 or 1024 by it.
  const float scale = std::min(static_cast<float>(view.width) / static_cast<float>(image.width),
                               static_cast<float>(view.height) / static_cast<float>(image.height));
  if (scale >= 1) return std::nullopt;
  return ImageSize{static_cast<int>(static_cast<float>(image.width) * scale),
                   static_cast<int>(static_cast<float>(image.height) * scale)};
}

}  // namespace kelvane::acquisition
