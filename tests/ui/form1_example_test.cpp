// The bundled example through the window and the real browser engine, as the
// README runs it: the script beside the program, named by a bare argument,
// loads the page beside it, and 更新 fills the display with the prices.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ui/main_window/form1.h"
#include "ui/run/run_controller.h"

using namespace kelvane::ui;

class Form1ExampleTest : public QObject {
  Q_OBJECT

 private slots:
  void exampleShowsThePrices() {
    QTemporaryDir programDir;
    for (const char* name : {"prices.html", "prices-live.spt"}) {
      QVERIFY(QFile::copy(QStringLiteral(KELVANE_EXAMPLES_DIR "/") + name,
                          programDir.filePath(QString::fromLatin1(name))));
    }
    StartOptions options;
    options.applicationDir = programDir.path();
    options.commandLine = QStringLiteral("prices-live.spt");
    Form1 window(std::move(options));
    // No settle time: the page has no scripts to wait for.
    window.findChild<QLineEdit*>(QStringLiteral("WaitValue"))->setText(QStringLiteral("0"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.run().browserCreated());

    window.findChild<QPushButton*>(QStringLiteral("Exec"))->click();

    QVERIFY(window.run().browserCreated());
    QFile expected(QStringLiteral(KELVANE_EXAMPLES_DIR "/prices.expected.txt"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromStdU16String(std::u16string(window.run().engine().d().view())),
             QString::fromUtf8(expected.readAll()));
    QCOMPARE(window.windowTitle(), QStringLiteral("以上 "));
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("Text2"))->text(),
             QStringLiteral("prices.html"));
  }
};

int main(int argc, char** argv) {
  // The embedded browser shares the window's graphics context.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  Form1ExampleTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "form1_example_test.moc"
