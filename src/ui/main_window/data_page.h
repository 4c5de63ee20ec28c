// The "Data" page: the display Text3, buffer D of the script.
#pragma once

#include "ui/main_window/design.h"

class QPlainTextEdit;
class QWidget;

namespace kelvane::ui {

struct DataPage {
  QPlainTextEdit* Text3 = nullptr;
};

DataPage buildDataPage(QWidget* page, Design& design);

}  // namespace kelvane::ui
