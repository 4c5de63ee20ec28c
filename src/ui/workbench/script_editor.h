// The script editor's text box: line numbers counted from 0, as the
// program's messages count lines, and marks on lines (a problem the engine's
// parse finds, a marker search of the preview that found nothing) with their
// explanation as the line's tooltip.
#pragma once

#include <QPlainTextEdit>
#include <QTimer>
#include <vector>

namespace kelvane::ui {

class ScriptEditor : public QPlainTextEdit {
  Q_OBJECT

 public:
  struct Mark {
    enum class Kind { Problem, Miss };
    int line = 0;
    Kind kind = Kind::Problem;
    QString text;
  };

  explicit ScriptEditor(QWidget* parent = nullptr);
  void setMarks(std::vector<Mark> marks);
  const std::vector<Mark>& marks() const { return marks_; }
  // What the line's tooltip says: its marks, one a line.
  QString marksText(int line) const;
  int lineNumberWidth() const;
  // Sets the tab stops so that each field of every line starts in one
  // column (done by itself a moment after an edit).
  void alignColumns();
  void paintLineNumbers(QPaintEvent* event);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void updateMargin();
  static constexpr qsizetype kAlignedFields = 5;
  QWidget* numbers_;
  QTimer columns_;
  std::vector<Mark> marks_;
};

}  // namespace kelvane::ui
