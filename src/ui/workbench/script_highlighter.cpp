#include "ui/workbench/script_highlighter.h"

#include "engine/script.h"

namespace kelvane::ui {

ScriptHighlighter::ScriptHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  command_.setForeground(QColor(0x00, 0x33, 0x99));
  command_.setFontWeight(QFont::Bold);
  unknown_.setForeground(QColor(0xC0, 0x00, 0x00));
  unknown_.setFontWeight(QFont::Bold);
  buffer_.setForeground(QColor(0x80, 0x00, 0x80));
  literal_.setForeground(QColor(0x00, 0x70, 0x20));
  comment_.setForeground(QColor(0x70, 0x70, 0x70));
  comment_.setFontItalic(true);
}

void ScriptHighlighter::highlightBlock(const QString& text) {
  if (text.isEmpty()) return;
  const engine::ParsedLine line = engine::ParsedLine::read(text.toStdU16String());
  if (line.comment) {
    setFormat(0, static_cast<int>(text.size()), comment_);
    return;
  }
  const int wordLength = static_cast<int>(line.word.size());
  if (wordLength > 0) setFormat(0, wordLength, line.command ? command_ : unknown_);
  int at = wordLength + 1;
  for (const engine::Field& field : line.fields) {
    const int length = static_cast<int>(field.raw.size());
    if (field.literal)
      setFormat(at, length, literal_);
    else if (field.name)
      setFormat(at, length, buffer_);
    at += length + 1;
  }
}

}  // namespace kelvane::ui
