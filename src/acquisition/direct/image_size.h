// The size an image is shown at, read from its header alone, and the size
// the browser's image document gives an image too large for its view.
#pragma once

#include <optional>
#include <string_view>

namespace kelvane::acquisition {

struct ImageSize {
  int width = 0;
  int height = 0;
};

// The view kelvane-run's browser lays pages out in.
inline constexpr ImageSize kUnattendedView{1024, 768};

// The width and height of a PNG, GIF, JPEG (turned as its Exif orientation
// says), BMP or WebP image; nothing for another format, a header cut short
// or a zero size.
std::optional<ImageSize> imageSizeOf(std::string_view bytes);

// Whether the image may move: every GIF, and a WebP or PNG that says it
// has frames. The browser fades the background in only behind still ones.
bool mayAnimate(std::string_view bytes);

// The size an image of the given size is shrunk to so that it fits the
// view, with its proportions kept; nothing when it fits as it is.
std::optional<ImageSize> shrunkToFit(ImageSize image, ImageSize view);

}  // namespace kelvane::acquisition
