// The script workbench: the engine's problems and the preview's misses marked
// on their lines, a pick turned into lines that the preview then shows, and
// saving in the file's own encoding.
#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "textfile/text_codec.h"
#include "ui/workbench/list_miss_text.h"
#include "ui/workbench/page_pick_view.h"
#include "ui/workbench/script_editor.h"
#include "ui/workbench/script_workbench.h"
#include "workbench/list_miss.h"

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
  // Every reason the picker can give for offering no list is said in the
  // window's language, each in words of its own; one it does not know is
  // shown as it came.
  void everyListMissIsSaidInTheWindowsLanguage() {
    namespace miss = kelvane::workbench::list_miss;
    std::vector<std::string> reasons(std::begin(miss::kAll), std::end(miss::kAll));
    for (const char* v : miss::kVariants) reasons.push_back(miss::kFailsOnVariant + std::string(v));
    QSet<QString> said;
    for (const std::string& why : reasons) {
      const QString text = listMissText(why);
      const bool japanese = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x3041 && c.unicode() <= 0x309F;  // hiragana
      });
      QVERIFY2(japanese, why.c_str());
      said.insert(text);
    }
    QCOMPARE(said.size(), static_cast<qsizetype>(reasons.size()));
    QCOMPARE(listMissText("a reason of tomorrow"), QStringLiteral("a reason of tomorrow"));
  }

  void marksProblemsAndMissesOnTheirLines() {
    const QString path = dir_.filePath("m.spt");
    writeBytes(path, "CLEAR\tD\r\nGETA\tHT\tV1\t\"<i>\"\r\nGETX\r\n");
    ScriptWorkbench bench(path, {[] { return kPage; }, {}, {}});
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
    ScriptWorkbench bench(path, {[] { return kPage; }, {}, {}});
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

  // A click on the rendered page picks the element under it: its place in
  // HT is selected, and the offers cut it as shown and the whole list.
  void aClickOnTheRenderedPagePicksTheElementAndItsList() {
    const Text page =
        u"<ul class=\"goods\"><li class=\"g\" id=\"a1\"><span class=\"n\">\u308A\u3093\u3054 "
        u"2kg</span><span class=\"p\"><b>198</b>\u5186</span></li><li class=\"g\" "
        u"id=\"a2\"><span class=\"n\">\u307F\u304B\u3093</span><span "
        u"class=\"p\"><b>1,298</b>\u5186</span></li></ul>";
    const QString path = dir_.filePath("c.spt");
    writeBytes(path, "CLEAR\tD\r\n");
    ScriptWorkbench bench(path, {[&] { return page; }, {}, {}});
    bench.show();
    PagePickView* view = bench.showRenderedPage();
    QTRY_VERIFY_WITH_TIMEOUT(view->loaded(), 30000);
    QVariant box;
    view->view()->page()->runJavaScript(
        QStringLiteral(
            "(() => { const r = document.querySelectorAll('span.p')[1]"
            ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()"),
        QWebEngineScript::ApplicationWorld, [&](const QVariant& v) { box = v; });
    QTRY_VERIFY_WITH_TIMEOUT(box.isValid(), 10000);
    QList<int> picked;
    QString text;
    connect(view, &PagePickView::picked, this, [&](const QList<int>& p, const QString& t) {
      picked = p;
      text = t;
    });
    const double zoom = view->view()->zoomFactor();
    view->pickAt(QPoint(static_cast<int>(box.toList()[0].toDouble() * zoom),
                        static_cast<int>(box.toList()[1].toDouble() * zoom)));
    QTRY_VERIFY_WITH_TIMEOUT(!picked.isEmpty(), 10000);
    QCOMPARE(text, QStringLiteral("1,298"));  // the <b> under the pointer
    const auto offer = bench.pickElement(picked);
    QVERIFY(offer.has_value());
    QCOMPARE(bench.htPane()->textCursor().selectedText(), QStringLiteral("1,298"));
    QVERIFY(!offer->piece.empty());
    QVERIFY(offer->list.offer.has_value());
    const std::vector<Text> rows{u"\u308A\u3093\u3054 2kg\t198\u5186",
                                 u"\u307F\u304B\u3093\t1,298\u5186"};
    QCOMPARE(offer->list.offer->display, rows);
    if (auto* menu = bench.findChild<QMenu*>(QStringLiteral("PagePickMenu"))) menu->close();
  }

  // The fields start in one column on every line, Japanese text or not.
  void theEditorsColumnsLineUp() {
    const QString path = dir_.filePath("t.spt");
    writeBytes(
        path,
        "GETC\tHT\tV1\t\"\xE3\x81\xBF\xE3\x81\x8B\xE3\x82\x93\xEF\xBC\x88\xE6\x9C"
        "\x89\xE7\x94\xB0\xEF\xBC\x89 5kg\"\t\"</b>\"\r\nGETC\tHT\tV1\t\"<b>\"\t\"</b>\"\r\n");
    ScriptWorkbench bench(path, {});
    bench.show();
    bench.editor()->alignColumns();
    const auto fieldX = [&](int line) {
      QTextCursor c(bench.editor()->document()->findBlockByNumber(line));
      c.setPosition(c.block().position() + c.block().text().lastIndexOf(QLatin1Char('\t')) + 1);
      return bench.editor()->cursorRect(c).x();
    };
    QCOMPARE(fieldX(0), fieldX(1));
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

int main(int argc, char** argv) {
  // The rendered page's browser shares the window's drawing contexts.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  WorkbenchTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "workbench_window_test.moc"
