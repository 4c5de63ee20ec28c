// The "Data" page: the display Text3, buffer D of the script.
#pragma once

#include "ui/main_window/design.h"

class QIcon;
class QPlainTextEdit;
class QWidget;

namespace kelvane::ui {

struct DataPage {
  QPlainTextEdit* Text3 = nullptr;
};

DataPage buildDataPage(QWidget* page, Design& design);

// The mark a failed load puts on the "Data" tab: a red disc with a white
// "!", drawn at the given size so it needs no image file.
QIcon failureMark(int size);

}  // namespace kelvane::ui
