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

TextEdit boxEdit(TextView shown, const QString& edited) {
  const QString before = boxForm(shown);
  const qsizetype limit = std::min(before.size(), edited.size());
  qsizetype prefix = 0;
  while (prefix < limit && before[prefix] == edited[prefix]) ++prefix;
  qsizetype suffix = 0;
  while (suffix < limit - prefix &&
         before[before.size() - 1 - suffix] == edited[edited.size() - 1 - suffix]) {
    ++suffix;
  }
  TextEdit edit;
  edit.from = shownIndexOf(shown, prefix);
  edit.to = shownIndexOf(shown, before.size() - suffix);
  for (qsizetype i = prefix; i < edited.size() - suffix; ++i) {
    const char16_t c = edited[i].unicode();
    if (c == u'\n') {
      edit.text += u"\r\n";
    } else {
      edit.text.push_back(c);
    }
  }
  return edit;
}

namespace {

Text applied(TextView text, size_t from, size_t to, TextView replacement) {
  Text out;
  out.reserve(text.size() - (to - from) + replacement.size());
  out.append(text.substr(0, from));
  out.append(replacement);
  out.append(text.substr(to));
  return out;
}

}  // namespace

Text mergeBoxEdit(TextView shown, const QString& edited) {
  const TextEdit edit = boxEdit(shown, edited);
  return applied(shown, edit.from, edit.to, edit.text);
}

std::optional<Text> rebaseEdit(TextView shown, const TextEdit& edit, TextView current) {
  // What the engine changed since: the stretch [changedFrom, changedTo) of
  // shown, between the longest common start and end of the two texts.
  const size_t limit = std::min(shown.size(), current.size());
  size_t changedFrom = 0;
  while (changedFrom < limit && shown[changedFrom] == current[changedFrom]) ++changedFrom;
  size_t common = 0;
  while (common < limit - changedFrom &&
         shown[shown.size() - 1 - common] == current[current.size() - 1 - common]) {
    ++common;
  }
  const size_t changedTo = shown.size() - common;
  // Before the engine's change the positions are the same; after it they
  // moved by what the change added or removed. An edit that touches a
  // stretch the engine removed or replaced has lost what it was made on;
  // only where the engine merely added text can the two meet.
  const bool inserted = changedFrom == changedTo;
  if (edit.to < changedFrom || (inserted && edit.to == changedFrom)) {
    return applied(current, edit.from, edit.to, edit.text);
  }
  if (edit.from > changedTo || (inserted && edit.from == changedTo)) {
    const size_t moved = current.size() - common;
    return applied(current, edit.from - changedTo + moved, edit.to - changedTo + moved, edit.text);
  }
  return std::nullopt;
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
  const TextEdit edit = boxEdit(shown_, box_->toPlainText());
  // What the box holds now, in the buffer's form.
  Text inBox = applied(shown_, edit.from, edit.to, edit.text);
  if (!stale()) {
    buffer_.assign(inBox);
    shown_ = std::move(inBox);
    shownVersion_ = buffer_.version();
    return true;
  }
  // The engine wrote since the box was shown: the edit is made again on
  // the buffer's current text, or dropped where the engine changed the same
  // stretch. Either way the box catches up at its next showing.
  if (auto merged = rebaseEdit(shown_, edit, buffer_.view())) buffer_.assign(*merged);
  shown_ = std::move(inBox);
  return true;
}

}  // namespace kelvane::ui
