// The boxes that mirror the engine's buffers: what a box gives back, how an
// edit is merged into the buffer, and that a box is brought up to date with
// only what changed.
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include "ui/main_window/buffer_mirror.h"

using namespace kelvane::ui;
using kelvane::engine::Text;
using kelvane::engine::TextBuffer;

Q_DECLARE_METATYPE(std::u16string)

namespace {

QString q(const Text& t) {
  return QString::fromStdU16String(t);
}

// The document change a show() made: position, removed, added.
struct Change {
  int position = -1;
  int removed = -1;
  int added = -1;
};

}  // namespace

class BufferMirrorTest : public QObject {
  Q_OBJECT

 private slots:
  void boxFormIsWhatTheBoxGivesBack_data() {
    QTest::addColumn<std::u16string>("text");
    QTest::newRow("plain") << Text(u"abc");
    QTest::newRow("crlf") << Text(u"a\r\nb\r\n");
    QTest::newRow("lone cr and lf") << Text(u"a\rb\nc\r");
    QTest::newRow("cr cr lf") << Text(u"a\r\r\nb");
    QTest::newRow("separators") << Text(u"a\u2028b\u2029c");
    QTest::newRow("no-break space") << Text(u"a\u00A0b");
    QTest::newRow("tabs and japanese") << Text(u"・りんご\t￥198\r\n");
    QTest::newRow("empty") << Text();
  }

  void boxFormIsWhatTheBoxGivesBack() {
    QFETCH(std::u16string, text);
    QPlainTextEdit box;
    box.setPlainText(q(text));
    QCOMPARE(boxForm(text), box.toPlainText());
  }

  void mergeKeepsLineEndsOutsideTheEdit_data() {
    QTest::addColumn<std::u16string>("shown");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<std::u16string>("merged");
    QTest::newRow("unchanged") << Text(u"a\r\nb\rc\n") << QString("a\nb\nc\n")
                               << Text(u"a\r\nb\rc\n");
    QTest::newRow("typed in the middle")
        << Text(u"one\r\ntwo\r\nthree") << QString("one\ntwoX\nthree")
        << Text(u"one\r\ntwoX\r\nthree");
    QTest::newRow("typed a line break")
        << Text(u"ab\rcd") << QString("a\nb\ncd") << Text(u"a\r\nb\rcd");
    QTest::newRow("deleted a line end")
        << Text(u"a\r\nb\r\nc") << QString("ab\nc") << Text(u"ab\r\nc");
    QTest::newRow("emptied") << Text(u"x\r\ny") << QString() << Text();
    QTest::newRow("into empty") << Text() << QString("m\nn") << Text(u"m\r\nn");
    QTest::newRow("no-break space kept")
        << Text(u"a\u00A0b\r\nc") << QString("a b\ncZ") << Text(u"a\u00A0b\r\ncZ");
  }

  void mergeKeepsLineEndsOutsideTheEdit() {
    QFETCH(std::u16string, shown);
    QFETCH(QString, edited);
    QTEST(mergeBoxEdit(shown, edited), "merged");
  }

  void appendAddsOnlyTheNewEnd() {
    TextBuffer buffer;
    buffer.assign(u"line 1\r\n");
    QPlainTextEdit box;
    BufferMirror mirror(buffer, &box);
    Change change;
    connect(box.document(), &QTextDocument::contentsChange, this, [&](int p, int r, int a) {
      change = {p, r, a};
    });
    buffer.append(u"line 2\r\n");
    QVERIFY(mirror.stale());
    mirror.show();
    QCOMPARE(box.toPlainText(), QString("line 1\nline 2\n"));
    QCOMPARE(change.position, 7);
    QCOMPARE(change.removed, 0);
    QVERIFY(!mirror.hasEdit());
    QVERIFY(!mirror.stale());
  }

  void droppedFrontRemovesOnlyTheFront() {
    TextBuffer buffer;
    buffer.assign(u"<li>a</li>\r\n<li>b</li>\r\n<li>c</li>");
    QPlainTextEdit box;
    BufferMirror mirror(buffer, &box);
    Change change;
    connect(box.document(), &QTextDocument::contentsChange, this, [&](int p, int r, int a) {
      change = {p, r, a};
    });
    buffer.dropFront(12);
    mirror.show();
    QCOMPARE(box.toPlainText(), QString("<li>b</li>\n<li>c</li>"));
    QCOMPARE(change.position, 0);
    QCOMPARE(change.added, 0);
  }

  void splitLineEndsReplaceTheWholeText() {
    TextBuffer buffer;
    buffer.assign(u"a\r");
    QPlainTextEdit box;
    BufferMirror mirror(buffer, &box);
    buffer.append(u"\nb");  // the CR and LF now make one line end
    mirror.show();
    QCOMPARE(box.toPlainText(), QString("a\nb"));
    buffer.dropFront(2);  // leaves "\nb": the LF alone is a line end
    mirror.show();
    QCOMPARE(box.toPlainText(), QString("\nb"));
    buffer.assign(u"other");
    mirror.show();
    QCOMPARE(box.toPlainText(), QString("other"));
  }

  void userEditIsTakenIntoTheBuffer() {
    TextBuffer buffer;
    buffer.assign(u"price\r\n198\r\n");
    QPlainTextEdit box;
    BufferMirror mirror(buffer, &box);
    QVERIFY(!mirror.takeEdit());

    QTextCursor cursor(box.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText("memo");
    QVERIFY(mirror.hasEdit());
    // The engine writes meanwhile: the box keeps the user's text.
    buffer.append(u"x");
    mirror.show();
    QCOMPARE(box.toPlainText(), QString("price\n198\nmemo"));

    // Both the edit and what the engine wrote are kept.
    QVERIFY(mirror.takeEdit());
    QCOMPARE(Text(buffer.view()), Text(u"price\r\n198\r\nmemox"));
    QVERIFY(!mirror.hasEdit());
    mirror.show();
    QCOMPARE(box.toPlainText(), QString("price\n198\nmemox"));
    // Shown text set by the program is no edit.
    buffer.append(u"\r\nmore");
    mirror.show();
    QVERIFY(!mirror.hasEdit());
    QCOMPARE(box.toPlainText(), QString("price\n198\nmemox\nmore"));
  }

  // The box lags the buffer by up to a tenth of a second during a run: an
  // edit made on the older text is made again on the current one, or gives
  // way where the engine changed the same stretch.
  void editOnOlderTextLosesNothingTheEngineWrote_data() {
    QTest::addColumn<std::u16string>("shown");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<std::u16string>("engineNow");
    QTest::addColumn<std::u16string>("merged");
    QTest::newRow("output appended") << Text(u"a\r\nb\r\n") << QString("aX\nb\n")
                                     << Text(u"a\r\nb\r\nc\r\n") << Text(u"aX\r\nb\r\nc\r\n");
    QTest::newRow("cleared") << Text(u"a\r\nb") << QString("a\nbY") << Text() << Text();
    QTest::newRow("front dropped by a walk")
        << Text(u"<li>1</li><li>2</li>") << QString("<li>1</li><li>2</li>Z") << Text(u"<li>2</li>")
        << Text(u"<li>2</li>Z");
    QTest::newRow("same stretch changed")
        << Text(u"price 100") << QString("price 10") << Text(u"price 120") << Text(u"price 120");
    QTest::newRow("both added at the end")
        << Text(u"ab") << QString("abY") << Text(u"abX") << Text(u"abYX");
  }

  void editOnOlderTextLosesNothingTheEngineWrote() {
    QFETCH(std::u16string, shown);
    QFETCH(QString, typed);
    QFETCH(std::u16string, engineNow);
    TextBuffer buffer;
    buffer.assign(shown);
    QPlainTextEdit box;
    BufferMirror mirror(buffer, &box);
    box.setPlainText(typed);
    buffer.assign(engineNow);
    QVERIFY(mirror.takeEdit());
    QTEST(Text(buffer.view()), "merged");
    mirror.show();
    QCOMPARE(box.toPlainText(), boxForm(buffer.view()));
  }

  void programTextCannotBeUndone() {
    TextBuffer buffer;
    QPlainTextEdit box;
    BufferMirror mirror(buffer, &box);
    buffer.assign(u"result");
    mirror.show();
    box.undo();
    QCOMPARE(box.toPlainText(), QString("result"));
    QVERIFY(!mirror.hasEdit());
  }
};

QTEST_MAIN(BufferMirrorTest)
#include "buffer_mirror_test.moc"
