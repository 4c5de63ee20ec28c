// The about box on its own: its texts, its picture, and the ways it closes.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/about/frm_splash.h"

using kelvane::ui::frmSplash;

class AboutTest : public QObject {
  Q_OBJECT

 private slots:
  void texts() {
    frmSplash box;
    const auto label = [&](const char* name) { return box.findChild<QLabel*>(name)->text(); };
    QCOMPARE(label("lblProductName"), QString("Kelvane"));
    QCOMPARE(label("lblCompanyProduct"), QString("Webデータ抽出表示"));
    QCOMPARE(label("lblVersion"), QString("Version 1.1.7"));
    QCOMPARE(label("Label1"), QString("このダイアログ内をクリックすると閉じます."));
    QVERIFY(label("lblCopyright").contains("Copyright"));
    QCOMPARE(label("Label2"), QString("man:kelvane(1)"));
    QCOMPARE(box.findChild<QPushButton*>("CloseBtn")->text(), QString("閉じる"));
    QVERIFY(!box.findChild<QLabel*>("imgLogo")->pixmap().isNull());
  }

  void versionWithoutLeadingZeros() {
    QCOMPARE(frmSplash::versionText(1, 1, 7), QString("Version 1.1.7"));
    QCOMPARE(frmSplash::versionText(2, 10, 0), QString("Version 2.10.0"));
  }

  void logoIsDrawn() {
    const QImage logo = frmSplash::logo(64).toImage();
    QCOMPARE(logo.size(), QSize(64, 64));
    // Something is drawn, and not everywhere.
    int opaque = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) opaque += qAlpha(logo.pixel(x, y)) > 0;
    }
    QVERIFY(opaque > 500);
    QVERIFY(opaque < 64 * 64);
  }

  void closeButtonAndClickInsideClose() {
    frmSplash box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
    QVERIFY(!box.isVisible());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.findChild<QLabel*>("Label1"), Qt::LeftButton);
    QVERIFY(!box.isVisible());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QWidget* frame = box.findChild<QWidget*>("Frame1");
    QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(frame->width() - 3, frame->height() - 3));
    QVERIFY(!box.isVisible());
  }

  // Escape and Enter close it, wherever the focus is in it; other keys do not.
  void escapeAndEnterClose() {
    const struct {
      Qt::Key key;
      bool closes;
    } keys[] = {
        {Qt::Key_Escape, true}, {Qt::Key_Return, true}, {Qt::Key_Enter, true}, {Qt::Key_A, false}};
    for (const auto& k : keys) {
      frmSplash box;
      box.show();
      QVERIFY(QTest::qWaitForWindowExposed(&box));
      for (QWidget* target : {static_cast<QWidget*>(&box), box.findChild<QWidget*>("CloseBtn")}) {
        box.show();
        target->setFocus();
        QTest::keyClick(target, k.key);
        QCOMPARE(box.isVisible(), !k.closes);
      }
    }
  }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
