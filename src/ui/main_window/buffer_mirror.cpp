#include "ui/main_window/buffer_mirror.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace kelvane::ui {
namespace {

using engine::Text;
using engine::TextView;

bool isBreak(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

QString toQString(TextView text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// Position in `shown` of the character that stands at box position `boxPos`
// (the length of shown for the end).
size_t shownIndexOf(TextView shown, qsizetype boxPos) {
  size_t i = 0;
  for (qsizetype p = 0; p < boxPos && i < shown.size(); ++p) {
    if (shown[i] == u'\r' && i + 1 < shown.size() && shown[i + 1] == u'\n') ++i;
    ++i;
  }
  return i;
}

// The box form's length of a text.
qsizetype boxLength(TextView text) {
  qsizetype n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    ++n;
  }
  return n;
}

}  // namespace

QString boxForm(TextView text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;  // the LF follows
    if (isBreak(c)) {
      out.append(QChar(u'\n'));
    } else if (c == 0x00A0) {
      out.append(QChar(u' '));
    } else {
      out.append(QChar(c));
    }
  }
  return out;
}

Text mergeBoxEdit(TextView shown, const QString& edited) {
  const QString before = boxForm(shown);
  const qsizetype limit = std::min(before.size(), edited.size());
  qsizetype prefix = 0;
  while (prefix < limit && before[prefix] == edited[prefix]) ++prefix;
  qsizetype suffix = 0;
  while (suffix < limit - prefix &&
         before[before.size() - 1 - suffix] == edited[edited.size() - 1 - suffix]) {
    ++suffix;
  }
  const size_t cutFrom = shownIndexOf(shown, prefix);
  const size_t cutTo = shownIndexOf(shown, before.size() - suffix);
  Text merged(shown.substr(0, cutFrom));
  for (qsizetype i = prefix; i < edited.size() - suffix; ++i) {
    const char16_t c = edited[i].unicode();
    if (c == u'\n') {
      merged += u"\r\n";
    } else {
      merged.push_back(c);
    }
  }
  merged += shown.substr(cutTo);
  return merged;
}

BufferMirror::BufferMirror(engine::TextBuffer& buffer, QPlainTextEdit* box, QObject* parent)
    : QObject(parent), buffer_(buffer), box_(box) {
  shownVersion_ = buffer_.version();
  shown_.assign(buffer_.view());
  replaceAll(shown_);
  connect(box_->document(), &QTextDocument::contentsChange, this,
          [this](int, int, int) { onContentsChange(); });
}

void BufferMirror::onContentsChange() {
  if (!updating_) edited_ = true;
}

void BufferMirror::replaceAll(TextView text) {
  updating_ = true;
  box_->setPlainText(toQString(text));
  updating_ = false;
}

void BufferMirror::show() {
  if (edited_ || !stale()) return;
  const TextView now = buffer_.view();
  const TextView was = shown_;
  QTextDocument* doc = box_->document();
  updating_ = true;
  // Text set by the program is not an edit the user can take back.
  doc->setUndoRedoEnabled(false);
  if (!was.empty() && now.size() >= was.size() && now.substr(0, was.size()) == was &&
      !(was.ends_with(u'\r') && now.size() > was.size() && now[was.size()] == u'\n')) {
    // Appended: add the new end only, keeping the view where it was unless
    // it was following the end.
    QScrollBar* bar = box_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    // One edit block: the box lays itself out once, not once per line.
    cursor.beginEditBlock();
    cursor.insertText(toQString(now.substr(was.size())));
    cursor.endEditBlock();
    if (atEnd) bar->setValue(bar->maximum());
  } else if (now.size() < was.size() && was.substr(was.size() - now.size()) == now &&
             !(now.starts_with(u'\n') && was[was.size() - now.size() - 1] == u'\r')) {
    // The front was dropped: remove just that much.
    QTextCursor cursor(doc);
    cursor.setPosition(0);
    cursor.setPosition(static_cast<int>(boxLength(was.substr(0, was.size() - now.size()))),
                       QTextCursor::KeepAnchor);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.endEditBlock();
  } else {
    box_->setPlainText(toQString(now));
  }
  doc->setUndoRedoEnabled(true);
  updating_ = false;
  shown_.assign(now);
  shownVersion_ = buffer_.version();
}

bool BufferMirror::takeEdit() {
  if (!edited_) return false;
  edited_ = false;
  // Should the buffer have moved on while the box held the edit, the edit,
  // made on the text the user saw, wins.
  const Text merged = mergeBoxEdit(shown_, box_->toPlainText());
  buffer_.assign(merged);
  shown_ = merged;
  shownVersion_ = buffer_.version();
  return true;
}

}  // namespace kelvane::ui
