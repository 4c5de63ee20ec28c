// The script editor's colours, from the engine's own reading of each line:
// command words, buffer names, literals and comments; an unknown word shows
// as one.
#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace kelvane::ui {

class ScriptHighlighter : public QSyntaxHighlighter {
  Q_OBJECT

 public:
  explicit ScriptHighlighter(QTextDocument* document);

 protected:
  void highlightBlock(const QString& text) override;

 private:
  QTextCharFormat command_, unknown_, buffer_, literal_, comment_;
};

}  // namespace kelvane::ui
