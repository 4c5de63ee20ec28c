// The real dialogs, driven through their widgets, and the title-bar toggle.
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/dialogs.h"
#include "platform/title_bar.h"

using namespace kelvane::platform;

namespace {

// Runs `act` on the modal dialog of type D once it is open.
template <typename D>
void whenOpen(std::function<void(D*)> act) {
  QTimer::singleShot(0, [act] {
    QTRY_VERIFY(qobject_cast<D*>(QApplication::activeModalWidget()) != nullptr);
    act(qobject_cast<D*>(QApplication::activeModalWidget()));
  });
}

}  // namespace

class PlatformDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void fileChooserStartsInTheFolderListingEverything() {
    QTemporaryDir dir;
    QFile(dir.filePath("noextension")).open(QIODevice::WriteOnly);
    QtDialogs dialogs;
    QString seenDir;
    QStringList seenFilters;
    whenOpen<QFileDialog>([&](QFileDialog* d) {
      seenDir = d->directory().absolutePath();
      seenFilters = d->nameFilters();
      d->selectFile(dir.filePath("noextension"));
      static_cast<QDialog*>(d)->accept();
    });
    const auto chosen = dialogs.chooseOpenFile(nullptr, dir.path());
    QCOMPARE(seenDir, QDir(dir.path()).absolutePath());
    QCOMPARE(seenFilters, QStringList{"*.* (*)"});
    QCOMPARE(chosen, std::optional<QString>(dir.filePath("noextension")));

    whenOpen<QFileDialog>([](QFileDialog* d) { d->reject(); });
    QCOMPARE(dialogs.chooseOpenFile(nullptr, dir.path()), std::nullopt);
  }

  void fontChooserPresetAndCancel() {
    QtDialogs dialogs;
    QString family;
    for (const QString& f : QFontDatabase::families()) {
      if (QFontDatabase::styles(f).contains("Bold") && QFontDatabase::isSmoothlyScalable(f)) {
        family = f;
        break;
      }
    }
    if (family.isEmpty()) QSKIP("no scalable font with a bold face");
    const FontChoice preset{family, 14, true, false};
    QFont seen;
    whenOpen<QFontDialog>([&](QFontDialog* d) {
      seen = d->currentFont();
      QFont changed = d->currentFont();
      changed.setPointSize(20);
      d->setCurrentFont(changed);
      d->reject();
    });
    QCOMPARE(dialogs.chooseFont(nullptr, preset), std::nullopt);
    QCOMPARE(seen.family(), family);
    QCOMPARE(seen.pointSizeF(), 14.0);
    QVERIFY(seen.bold());
    QVERIFY(!seen.italic());

    whenOpen<QFontDialog>([&](QFontDialog* d) {
      QFont changed = d->currentFont();
      changed.setPointSize(20);
      d->setCurrentFont(changed);
      d->accept();
    });
    const auto chosen = dialogs.chooseFont(nullptr, preset);
    QVERIFY(chosen.has_value());
    QCOMPARE(chosen->family, family);
    QCOMPARE(chosen->pointSize, 20.0);
    QVERIFY(chosen->bold);
    QVERIFY(!chosen->italic);
  }

  void colourChooserPresetAndCancel() {
    QtDialogs dialogs;
    QColor seen;
    whenOpen<QColorDialog>([&](QColorDialog* d) {
      seen = d->currentColor();
      d->setCurrentColor(Qt::green);
      d->reject();
    });
    QCOMPARE(dialogs.chooseColor(nullptr, QColor(10, 20, 30)), std::nullopt);
    QCOMPARE(seen, QColor(10, 20, 30));

    whenOpen<QColorDialog>([](QColorDialog* d) {
      d->setCurrentColor(QColor(1, 2, 3));
      d->accept();
    });
    QCOMPARE(dialogs.chooseColor(nullptr, QColor(10, 20, 30)), std::optional(QColor(1, 2, 3)));
  }

  void messageBoxHasTheTitleAndOneButton() {
    QtDialogs dialogs;
    QString title, text;
    int buttons = 0;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      buttons = static_cast<int>(box->buttons().size());
      box->accept();
    });
    dialogs.showMessage(nullptr, "Logファイルに書き込めません．");
    QCOMPARE(title, QString("Kelvane"));
    QCOMPARE(text, QString("Logファイルに書き込めません．"));
    QCOMPARE(buttons, 1);
  }

  // Toggling twice gives the frame back (Form1Test::titleBarToggle, through
  // the window); a hidden window stays hidden.
  void titleBarToggleLeavesAHiddenWindowHidden() {
    QWidget window;
    toggleTitleBar(&window);
    QVERIFY(!isTitleBarShown(&window));
    QVERIFY(!window.isVisible());
  }
};

QTEST_MAIN(PlatformDialogsTest)
#include "platform_dialogs_test.moc"
