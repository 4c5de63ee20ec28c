#include "ui/main_window/form_layout.h"

#include <algorithm>
#include <cmath>

namespace kelvane::ui {
namespace {

float atLeast(float value, float floor) {
  return value < floor ? floor : value;
}

int roundEdge(double twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

}  // namespace

int twipsToPixels(double twips, double dpi) {
  return roundEdge(twips, dpi);
}

float pixelsToTwips(int pixels, double dpi) {
  return static_cast<float>(pixels * kTwipsPerInch / dpi);
}

QRect twipsRectToPixels(float left, float top, float width, float height, double dpiX,
                        double dpiY) {
  const int x = roundEdge(left, dpiX);
  const int y = roundEdge(top, dpiY);
  const int right = roundEdge(static_cast<double>(left) + std::max(0.0f, width), dpiX);
  const int bottom = roundEdge(static_cast<double>(top) + std::max(0.0f, height), dpiY);
  return QRect(x, y, std::max(0, right - x), std::max(0, bottom - y));
}

LayoutValues computeLayout(const LayoutInput& in) {
  const float sw = in.scaleWidth;
  const float sh = in.scaleHeight;
  LayoutValues v;
  v.text3Width = sw - 110;
  v.text3Height = sh - 380;
  v.text5Width = sw - 650 - 10 - 600;
  v.text2Width = sw - in.command3Width - 200;
  v.command3Left = v.text2Width + 110;
  v.memoTextLeft = 100;
  v.memoTextWidth = atLeast(sw - v.memoTextLeft - 200, 1);
  v.scriptListLeft = 1755;
  v.scriptListWidth = atLeast(sw - v.scriptListLeft - 200, 2);
  v.command4Left = v.text5Width + 580;
  v.scriptPathWidth = atLeast(sw - 650 - 80, 1);
  v.scriptSelLeft = v.scriptPathWidth + 80;
  v.text6Width = atLeast(sw - 100, 1);
  v.quitBtnLeft = atLeast(sw - in.quitBtnWidth - 100, kQuitBtnMinLeft);
  v.text6Height = atLeast(sh - in.text6Top - 100, 1);
  v.webBrowserWidth = atLeast(sw - 130, 1);
  v.webBrowserHeight = atLeast(sh - 1050, 1);
  return v;
}

bool clampToMinimum(float& outerWidth, float& outerHeight) {
  bool grew = false;
  if (outerWidth < kMinOuterWidth) {
    outerWidth = kMinOuterWidth;
    grew = true;
  }
  if (outerHeight < kMinOuterHeight) {
    outerHeight = kMinOuterHeight;
    grew = true;
  }
  return grew;
}

TabVisibility tabVisibility(int page) {
  switch (page) {
    case static_cast<int>(Page::Setting):
      return {.command3 = false, .command4 = true, .scriptList = true, .quitBtn = true};
    case static_cast<int>(Page::Page):
      return {.command3 = true, .command4 = false, .scriptList = false, .quitBtn = false};
    default:
      return {};
  }
}

}  // namespace kelvane::ui
