// The window's layout arithmetic in twips (1440 per inch): where the
// resizable controls go for a client area of a given size, the smallest
// window, and which controls each tab page shows. Plain functions, so they
// can be checked without a window.
#pragma once

#include <QRect>

namespace kelvane::ui {

inline constexpr double kTwipsPerInch = 1440.0;

// The smallest outer window.
inline constexpr float kMinOuterWidth = 1500;
inline constexpr float kMinOuterHeight = 1200;
// QuitBtn never moves left of this.
inline constexpr float kQuitBtnMinLeft = 2000;

// Twips to device pixels at a logical DPI, and back.
int twipsToPixels(double twips, double dpi);
float pixelsToTwips(int pixels, double dpi);
// A rectangle given in twips, in pixels: edges are rounded, so neighbours
// that touch in twips touch on the screen; a negative size becomes 0.
QRect twipsRectToPixels(float left, float top, float width, float height, double dpiX, double dpiY);

// What the layout needs to know besides the client area.
struct LayoutInput {
  float scaleWidth = 0;  // client area, twips
  float scaleHeight = 0;
  float command3Width = 0;  // design sizes of the controls the rules refer to
  float quitBtnWidth = 0;
  float text6Top = 0;
};

// The sizes and positions the layout sets; everything else stays as designed.
struct LayoutValues {
  float text3Width = 0, text3Height = 0;
  float text5Width = 0;
  float text2Width = 0;
  float command3Left = 0;
  float memoTextLeft = 0, memoTextWidth = 0;
  float scriptListLeft = 0, scriptListWidth = 0;
  float command4Left = 0;
  float scriptPathWidth = 0;
  float scriptSelLeft = 0;
  float text6Width = 0;
  float quitBtnLeft = 0;
  float text6Height = 0;
  float webBrowserWidth = 0, webBrowserHeight = 0;
};

// Form_Resize's placements, in single precision, in the order they are made.
LayoutValues computeLayout(const LayoutInput& in);

// An outer size raised to the smallest window; true when it had to grow.
bool clampToMinimum(float& outerWidth, float& outerHeight);

// The tab pages.
enum class Page { Data = 0, Setting = 1, Page = 2 };

// The four controls whose visibility follows the current page; all others
// show exactly while their own page is current.
struct TabVisibility {
  bool command3 = false;
  bool command4 = false;
  bool scriptList = false;
  bool quitBtn = false;
  bool operator==(const TabVisibility&) const = default;
};
TabVisibility tabVisibility(int page);

}  // namespace kelvane::ui
