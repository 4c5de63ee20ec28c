#include "ui/workbench/preview_text.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTreeWidget>

namespace kelvane::ui {
namespace {

using engine::BufferId;
using engine::Text;
using Kind = engine::LineProblem::Kind;

QString qs(engine::TextView text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A text on one line: line ends and tabs made visible.
QString oneLine(engine::TextView text, qsizetype most = 80) {
  QString s = qs(text.substr(0, static_cast<size_t>(most)));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("↵"));
  s.replace(QLatin1Char('\r'), QStringLiteral("↵"));
  s.replace(QLatin1Char('\n'), QStringLiteral("␊"));
  s.replace(QLatin1Char('\t'), QStringLiteral("→"));
  if (text.size() > static_cast<size_t>(most)) s += QStringLiteral("…");
  return s;
}

QString bufferName(BufferId id) {
  for (const engine::BufferName& n : engine::kBufferNames) {
    if (n.id == id) return qs(n.name);
  }
  return {};
}

const char* candidateName(workbench::NearMiss::Kind kind) {
  switch (kind) {
    case workbench::NearMiss::Kind::OtherCase:
      return "大文字・小文字の別";
    case workbench::NearMiss::Kind::Width:
      return "全角・半角の違い";
    case workbench::NearMiss::Kind::WhiteSpace:
      return "空白・改行の違い";
    case workbench::NearMiss::Kind::Prefix:
      return "先頭だけ一致";
  }
  return "";
}

}  // namespace

QString problemText(const engine::LineProblem& p) {
  const QString n = QString::number(p.parameter);
  QString what;
  switch (p.kind) {
    case Kind::UnknownCommand:
      what = QCoreApplication::translate("ScriptWorkbench", "不明なコマンドです");
      break;
    case Kind::MissingParameter:
      what = QCoreApplication::translate("ScriptWorkbench",
                                         "第%1パラメータがありません（前の行の値が使われます）")
                 .arg(n);
      break;
    case Kind::BadSource:
      what = QCoreApplication::translate(
                 "ScriptWorkbench",
                 "第%1パラメータ: バッファ名か、ダブルクオーツで囲んだ文字列が必要です")
                 .arg(n);
      break;
    case Kind::BadDestination:
      what = QCoreApplication::translate("ScriptWorkbench",
                                         "第%1パラメータ: 書き込めるバッファ名が必要です")
                 .arg(n);
      break;
    case Kind::NestedLoop:
      what = QCoreApplication::translate("ScriptWorkbench", "LOOP の中の LOOP です");
      break;
    case Kind::UnmatchedLoopEnd:
      what = QCoreApplication::translate("ScriptWorkbench", "対応する LOOP がありません");
      break;
    case Kind::UnclosedLoop:
      what = QCoreApplication::translate("ScriptWorkbench",
                                         "LOOPEND がありません（本体は 1 回だけ実行されます）");
      break;
  }
  if (!p.message.empty()) what += QStringLiteral("\n") + qs(p.message);
  return what;
}

QString missText(const workbench::PreviewMiss& miss, int times) {
  QString text =
      QCoreApplication::translate("ScriptWorkbench", "「%1」が見つかりません（長さ %2 の中")
          .arg(qs(miss.marker))
          .arg(miss.searchedLength);
  if (!miss.after.empty())
    text += QCoreApplication::translate("ScriptWorkbench", "、「%1」の後").arg(qs(miss.after));
  text += QCoreApplication::translate("ScriptWorkbench", "）");
  if (times > 1) text += QStringLiteral(" ×%1").arg(times);
  for (size_t k = 0; k < miss.candidates.size(); ++k) {
    text += QStringLiteral("\n    %1 %2: %3")
                .arg(QString::fromUtf8(candidateName(miss.candidates[k].kind)))
                .arg(miss.candidates[k].position)
                .arg(oneLine(miss.contexts[k], 40));
  }
  return text;
}

QString previewStatus(const workbench::PreviewResult& r) {
  QString s = QCoreApplication::translate("ScriptWorkbench", "プレビュー %1 ms")
                  .arg(static_cast<double>(r.took.count()) / 1000.0, 0, 'f', 1);
  if (r.cutOff)
    s += QCoreApplication::translate("ScriptWorkbench",
                                     "　― ループ %1 回で打ち切りました（プレビューは止まりません）")
             .arg(r.passes);
  else if (r.outcome == engine::RunOutcome::Stopped)
    s += QCoreApplication::translate("ScriptWorkbench", "　― エラーで止まりました");
  return s;
}

void fillBuffers(QTableWidget* table, const workbench::PreviewResult& r) {
  table->setRowCount(static_cast<int>(engine::kStoredBufferCount));
  for (size_t k = 0; k < engine::kStoredBufferCount; ++k) {
    const Text& text = r.buffers[k];
    const int row = static_cast<int>(k);
    table->setItem(row, 0, new QTableWidgetItem(qs(engine::kBufferNames[k].name)));
    table->setItem(row, 1, new QTableWidgetItem(QString::number(text.size())));
    table->setItem(row, 2, new QTableWidgetItem(oneLine(text, 200)));
  }
  table->resizeColumnToContents(0);
  table->resizeColumnToContents(1);
}

void fillLines(QTreeWidget* tree, const workbench::PreviewResult& r, const QTextDocument* script) {
  tree->clear();
  for (size_t i = 0; i < r.lines.size(); ++i) {
    const workbench::LineReport& line = r.lines[i];
    if (line.runs == 0 && line.messages.empty() && !line.miss) continue;
    const QTextBlock block = script->findBlockByNumber(static_cast<int>(i));
    auto* item = new QTreeWidgetItem(
        {QString::number(i), QString::number(line.runs), oneLine(block.text().toStdU16String())});
    for (const workbench::BufferChange& c : line.changes) {
      new QTreeWidgetItem(item, {QString(), QString(),
                                 QStringLiteral("%1 (%2) %3")
                                     .arg(bufferName(c.buffer))
                                     .arg(c.length)
                                     .arg(oneLine(c.start, 60))});
    }
    for (const Text& m : line.messages)
      new QTreeWidgetItem(item, {QString(), QString(), QStringLiteral("⚠ ") + qs(m)});
    if (line.miss) {
      auto* miss =
          new QTreeWidgetItem(item, {QString(), QString(), missText(*line.miss, line.misses)});
      miss->setForeground(2, QColor(0xB0, 0x50, 0x00));
    }
    tree->addTopLevelItem(item);
    item->setExpanded(true);
  }
  tree->resizeColumnToContents(0);
  tree->resizeColumnToContents(1);
}

int occurrenceAt(const QString& text, const QString& selected, qsizetype start) {
  int k = 0;
  for (qsizetype at = text.indexOf(selected); at >= 0 && at <= start;
       at = text.indexOf(selected, at + 1))
    ++k;
  return std::max(k, 1);
}

QString linesText(const std::vector<Text>& lines) {
  QStringList list;
  for (const Text& l : lines) list << oneLine(l, 200);
  return list.join(QLatin1Char('\n'));
}

}  // namespace kelvane::ui
