#include "ui/workbench/script_editor.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QTextBlock>
#include <QToolTip>

namespace kelvane::ui {
namespace {

const QColor kProblem(0xD0, 0x00, 0x00);
const QColor kMiss(0xFF, 0xE0, 0xB0);

class LineNumbers : public QWidget {
 public:
  explicit LineNumbers(ScriptEditor* editor) : QWidget(editor), editor_(editor) {}
  QSize sizeHint() const override { return {editor_->lineNumberWidth(), 0}; }

 protected:
  void paintEvent(QPaintEvent* event) override { editor_->paintLineNumbers(event); }

 private:
  ScriptEditor* editor_;
};

}  // namespace

ScriptEditor::ScriptEditor(QWidget* parent)
    : QPlainTextEdit(parent), numbers_(new LineNumbers(this)) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font(QStringLiteral("monospace"));
  font.setStyleHint(QFont::TypeWriter);
  setFont(font);
  setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 8);
  columns_.setSingleShot(true);
  columns_.setInterval(200);
  connect(&columns_, &QTimer::timeout, this, &ScriptEditor::alignColumns);
  connect(document(), &QTextDocument::contentsChanged, this, [this] { columns_.start(); });
  connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { updateMargin(); });
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy != 0)
      numbers_->scroll(0, dy);
    else
      numbers_->update(0, rect.y(), numbers_->width(), rect.height());
  });
  updateMargin();
}

int ScriptEditor::lineNumberWidth() const {
  const int digits = static_cast<int>(QString::number(std::max(1, blockCount() - 1)).size());
  return 12 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(2, digits);
}

void ScriptEditor::alignColumns() {
  // Each field starts where the widest field before it in any line ends,
  // measured in the font as drawn: a full-width character is as wide as it
  // shows, so columns line up under Japanese text too. A field wider than
  // 40 half-width characters does not push the others further.
  const QFontMetricsF metrics(font());
  const qreal space = metrics.horizontalAdvance(QLatin1Char(' '));
  std::vector<qreal> widest(kAlignedFields, 0);
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    const QStringList fields = b.text().split(QLatin1Char('\t'));
    for (qsizetype k = 0; k + 1 < fields.size() && k < kAlignedFields; ++k)
      widest[static_cast<size_t>(k)] =
          std::max(widest[static_cast<size_t>(k)],
                   std::min(metrics.horizontalAdvance(fields[k]), 40 * space));
  }
  QList<QTextOption::Tab> tabs;
  qreal at = 0;
  for (qreal w : widest) {
    if (w == 0) break;
    at += std::max(w + 2 * space, 8 * space);
    tabs << QTextOption::Tab(at, QTextOption::LeftTab);
  }
  QTextOption option = document()->defaultTextOption();
  if (option.tabs() == tabs) return;
  option.setTabs(tabs);
  document()->setDefaultTextOption(option);
}

void ScriptEditor::updateMargin() {
  setViewportMargins(lineNumberWidth(), 0, 0, 0);
}

void ScriptEditor::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  const QRect r = contentsRect();
  numbers_->setGeometry(r.left(), r.top(), lineNumberWidth(), r.height());
}

void ScriptEditor::paintLineNumbers(QPaintEvent* event) {
  QPainter painter(numbers_);
  painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  while (block.isValid() && top <= event->rect().bottom()) {
    const int height = qRound(blockBoundingRect(block).height());
    const int line = block.blockNumber();
    bool problem = false, miss = false;
    for (const Mark& m : marks_) {
      if (m.line != line) continue;
      (m.kind == Mark::Kind::Problem ? problem : miss) = true;
    }
    if (miss) painter.fillRect(0, top, numbers_->width(), height, kMiss);
    painter.setPen(problem ? kProblem : palette().color(QPalette::PlaceholderText));
    QFont f = font();
    f.setBold(problem);
    painter.setFont(f);
    // Lines count from 0, as the program's messages count them.
    painter.drawText(0, top, numbers_->width() - 6, height, Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(line));
    block = block.next();
    top += height;
  }
}

void ScriptEditor::setMarks(std::vector<Mark> marks) {
  marks_ = std::move(marks);
  QList<QTextEdit::ExtraSelection> selections;
  for (const Mark& m : marks_) {
    const QTextBlock block = document()->findBlockByNumber(m.line);
    if (!block.isValid()) continue;
    QTextEdit::ExtraSelection s;
    s.cursor = QTextCursor(block);
    if (m.kind == Mark::Kind::Problem) {
      s.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
      s.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
      s.format.setUnderlineColor(kProblem);
    } else {
      s.format.setBackground(kMiss);
      s.format.setProperty(QTextFormat::FullWidthSelection, true);
    }
    selections.push_back(s);
  }
  setExtraSelections(selections);
  numbers_->update();
}

QString ScriptEditor::marksText(int line) const {
  QStringList texts;
  for (const Mark& m : marks_) {
    if (m.line == line) texts << m.text;
  }
  return texts.join(QLatin1Char('\n'));
}

bool ScriptEditor::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    QPoint at = viewport()->mapFromGlobal(help->globalPos());
    const int line = cursorForPosition(at).blockNumber();
    const QString text = marksText(line);
    if (text.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), text, this);
    return true;
  }
  return QPlainTextEdit::event(event);
}

}  // namespace kelvane::ui
