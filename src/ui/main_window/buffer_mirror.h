// Keeps a text box showing one of the engine's buffers (Text3 shows D,
// Text6 shows HT) without slowing the engine down: the box is brought up to
// date only when asked, with only what changed, and an edit the user makes
// in the box is taken into the buffer only when the window says it is safe.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

#include "engine/text.h"
#include "engine/text_buffer.h"

class QPlainTextEdit;

namespace kelvane::ui {

// The text a plain-text box gives back after being given text: CR LF, CR,
// and the paragraph, line and frame separators become LF, and a no-break
// space becomes a space.
QString boxForm(engine::TextView text);

// One stretch of a buffer text, [from, to), replaced by text.
struct TextEdit {
  size_t from = 0;
  size_t to = 0;
  engine::Text text;
};

// The edit the user made in the box: `shown` is the buffer text the box was
// given, `edited` what the box holds now. Only the edited stretch (between
// the longest common start and end) changes; the rest keeps its exact
// characters, line ends included. A line break typed in the box becomes
// CR LF, the line end of the display.
TextEdit boxEdit(engine::TextView shown, const QString& edited);
// The buffer text after an edit in the box, made on `shown`.
engine::Text mergeBoxEdit(engine::TextView shown, const QString& edited);
// An edit made on `shown` applied to `current`, the buffer's text now: the
// engine may have written meanwhile. Where the engine changed the stretch
// the user edited, nothing comes back and the engine's text stands.
std::optional<engine::Text> rebaseEdit(engine::TextView shown, const TextEdit& edit,
                                       engine::TextView current);

class BufferMirror : public QObject {
 public:
  BufferMirror(engine::TextBuffer& buffer, QPlainTextEdit* box, QObject* parent = nullptr);

  // Brings the box up to date when the buffer changed since it was last
  // shown: an append adds only the new end, a text that lost its front
  // drops only that front, anything else replaces the box's text. A box
  // holding an edit not yet taken is left as it is.
  void show();
  // Takes an edit the user made in the box into the buffer, as an edit of
  // the buffer's current text; true when there was one. An edit of a
  // stretch the engine has changed since the box was shown is dropped.
  bool takeEdit();
  bool hasEdit() const { return edited_; }
  // Whether the box is behind the buffer.
  bool stale() const { return buffer_.version() != shownVersion_; }
  QPlainTextEdit* box() const { return box_; }

 private:
  void replaceAll(engine::TextView text);
  void onContentsChange();

  engine::TextBuffer& buffer_;
  QPlainTextEdit* box_;
  engine::Text shown_;  // what the box was given, as the buffer held it
  uint64_t shownVersion_ = 0;
  bool updating_ = false;
  bool edited_ = false;
};

}  // namespace kelvane::ui
