// The script workbench: the engine's problems and the preview's misses marked
// on their lines, a pick turned into lines that the preview then shows, and
// saving in the file's own encoding.
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <fstream>
#include <sstream>

#include "textfile/text_codec.h"
#include "ui/workbench/script_editor.h"
#include "ui/workbench/script_workbench.h"

using namespace kelvane::ui;
using kelvane::engine::Text;

namespace {

std::string bytesOf(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeBytes(const QString& path, const std::string& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

const Text kPage =
    u"<ul><li>\u308A\u3093\u3054 <b>198</b></li><li>\u307F\u304B\u3093 <b>298</b></li></ul>";

}  // namespace

class WorkbenchTest : public QObject {
  Q_OBJECT

 private slots:
  void marksProblemsAndMissesOnTheirLines() {
    const QString path = dir_.filePath("m.spt");
    writeBytes(path, "CLEAR\tD\r\nGETA\tHT\tV1\t\"<i>\"\r\nGETX\r\n");
    ScriptWorkbench bench(path, {[] { return kPage; }, {}});
    bench.runPreview();
    std::vector<std::pair<int, ScriptEditor::Mark::Kind>> marks;
    for (const auto& m : bench.editor()->marks()) marks.emplace_back(m.line, m.kind);
    using K = ScriptEditor::Mark::Kind;
    QCOMPARE(marks, (std::vector<std::pair<int, K>>{{2, K::Problem}, {1, K::Miss}}));
    QVERIFY(bench.editor()->marksText(2).contains(QStringLiteral("Cmnd=GETX")));
    // Typing a fix clears the problem at once, before the preview runs.
    QTextCursor c(bench.editor()->document()->findBlockByNumber(2));
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(QStringLiteral("CR\tD"));
    QCOMPARE(bench.editor()->marksText(2), QString());
  }

  void aPickBecomesLinesThatThePreviewShows() {
    const QString path = dir_.filePath("p.spt");
    writeBytes(path, "CLEAR\tD\r\nCR\tD\r\n");
    ScriptWorkbench bench(path, {[] { return kPage; }, {}});
    bench.runPreview();
    QTextCursor at(bench.editor()->document()->findBlockByNumber(1));
    bench.editor()->setTextCursor(at);
    QTextCursor sel(bench.htPane()->document());
    const qsizetype start = QString::fromStdU16String(kPage).indexOf(QStringLiteral("298"));
    sel.setPosition(static_cast<int>(start));
    sel.setPosition(static_cast<int>(start + 3), QTextCursor::KeepAnchor);
    bench.htPane()->setTextCursor(sel);
    const auto proposals = bench.proposalsForSelection();
    QCOMPARE(proposals.size(), size_t(2));  // the value, and every item's LOOP
    bench.insertLines(proposals[0].lines);
    bench.runPreview();
    QCOMPARE(bench.lastPreview().buffer(kelvane::engine::BufferId::D), Text(u"298\r\n"));
    QVERIFY(bench.editor()->toPlainText().startsWith(QStringLiteral("CLEAR\tD\nGETA\tHT\tV1")));
  }

  void savesInTheFilesEncodingAndRefusesWhatCp932CannotHold() {
    const QString path = dir_.filePath("s.spt");
    writeBytes(path, "PUT\t\"\x82\xA0\"\tD\r\n");  // CP932
    ScriptWorkbench bench(path, {});
    bench.editor()->appendPlainText(QStringLiteral("CR\tD"));
    QCOMPARE(bench.trySave(), std::nullopt);
    QCOMPARE(bytesOf(path), std::string("PUT\t\"\x82\xA0\"\tD\r\nCR\tD\r\n"));
    bench.editor()->appendPlainText(QStringLiteral("PUT\t\"\U0001F600\"\tD"));
    const auto error = bench.trySave();
    QVERIFY(error && error->contains(QStringLiteral("行 2 の 6 文字目")));
    QCOMPARE(bytesOf(path), std::string("PUT\t\"\x82\xA0\"\tD\r\nCR\tD\r\n"));  // untouched
  }

  // A file keeps its line ends: LF (no CR anywhere) is read as lines and
  // saved with LF, CR LF and CR stay what they were.
  void savesWithTheFilesLineEnds() {
    const std::pair<std::string, std::string> cases[] = {
        {"CLEAR\tD\nCR\tD\n", "CLEAR\tD\nCR\tD\nCR\tD\n"},
        {"CLEAR\tD\r\nCR\tD\r\n", "CLEAR\tD\r\nCR\tD\r\nCR\tD\r\n"},
        {"CLEAR\tD\rCR\tD\r", "CLEAR\tD\rCR\tD\rCR\tD\r"},
    };
    for (const auto& [before, after] : cases) {
      const QString path = dir_.filePath("e.spt");
      writeBytes(path, before);
      ScriptWorkbench bench(path, {});
      QCOMPARE(bench.editor()->blockCount(), 2);
      bench.editor()->appendPlainText(QStringLiteral("CR\tD"));
      QCOMPARE(bench.trySave(), std::nullopt);
      QCOMPARE(bytesOf(path), after);
    }
  }

 private:
  QTemporaryDir dir_;
};

QTEST_MAIN(WorkbenchTest)
#include "workbench_window_test.moc"
