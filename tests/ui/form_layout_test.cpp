// The layout arithmetic: the resize rules, their floors, the smallest window
// and twips to pixels (the tabs' visibility is checked on the window).
#include <QTest>

#include "ui/main_window/form_layout.h"

using namespace kelvane::ui;

class FormLayoutTest : public QObject {
  Q_OBJECT

 private:
  static LayoutInput input(float sw, float sh) {
    return {.scaleWidth = sw,
            .scaleHeight = sh,
            .command3Width = 600,
            .quitBtnWidth = 800,
            .text6Top = 5460};
  }

 private slots:
  void startSize() {
    // The client area a window without settings opens with.
    const LayoutValues v = computeLayout(input(3915, 7410));
    QCOMPARE(v.text3Width, 3805.0f);
    QCOMPARE(v.text3Height, 7030.0f);
    QCOMPARE(v.text5Width, 2655.0f);
    QCOMPARE(v.text2Width, 3115.0f);
    QCOMPARE(v.command3Left, 3225.0f);
    QCOMPARE(v.memoTextLeft, 100.0f);
    QCOMPARE(v.memoTextWidth, 3615.0f);
    QCOMPARE(v.scriptListLeft, 1755.0f);
    QCOMPARE(v.scriptListWidth, 1960.0f);
    QCOMPARE(v.command4Left, 3235.0f);
    QCOMPARE(v.scriptPathWidth, 3185.0f);
    QCOMPARE(v.scriptSelLeft, 3265.0f);
    QCOMPARE(v.text6Width, 3815.0f);
    QCOMPARE(v.quitBtnLeft, 3015.0f);
    QCOMPARE(v.text6Height, 1850.0f);
    QCOMPARE(v.webBrowserWidth, 3785.0f);
    QCOMPARE(v.webBrowserHeight, 6360.0f);
  }

  void floors_data() {
    QTest::addColumn<float>("sw");
    QTest::addColumn<float>("sh");
    QTest::addColumn<float>("memoWidth");
    QTest::addColumn<float>("listWidth");
    QTest::addColumn<float>("pathWidth");
    QTest::addColumn<float>("text6Width");
    QTest::addColumn<float>("quitLeft");
    QTest::addColumn<float>("text6Height");
    QTest::addColumn<float>("browserWidth");
    QTest::addColumn<float>("browserHeight");
    QTest::addColumn<float>("selLeft");
    // Wide enough for every computed value.
    QTest::newRow("wide") << 9600.f << 8000.f << 9300.f << 7645.f << 8870.f << 9500.f << 8700.f
                          << 2440.f << 9470.f << 6950.f << 8950.f;
    // QuitBtn meets its floor of 2000 first.
    QTest::newRow("quit floor") << 2800.f << 6000.f << 2500.f << 845.f << 2070.f << 2700.f << 2000.f
                                << 440.f << 2670.f << 4950.f << 2150.f;
    // The smallest window: every floor holds.
    QTest::newRow("tiny") << 1380.f << 780.f << 1080.f << 2.f << 650.f << 1280.f << 2000.f << 1.f
                          << 1250.f << 1.f << 730.f;
    QTest::newRow("nothing") << 0.f << 0.f << 1.f << 2.f << 1.f << 1.f << 2000.f << 1.f << 1.f
                             << 1.f << 81.f;
  }

  void floors() {
    QFETCH(float, sw);
    QFETCH(float, sh);
    const LayoutValues v = computeLayout(input(sw, sh));
    QTEST(v.memoTextWidth, "memoWidth");
    QTEST(v.scriptListWidth, "listWidth");
    QTEST(v.scriptPathWidth, "pathWidth");
    QTEST(v.text6Width, "text6Width");
    QTEST(v.quitBtnLeft, "quitLeft");
    QTEST(v.text6Height, "text6Height");
    QTEST(v.webBrowserWidth, "browserWidth");
    QTEST(v.webBrowserHeight, "browserHeight");
    QTEST(v.scriptSelLeft, "selLeft");  // follows the floored ScriptPath
  }

  void valuesWithoutFloorMayGoNegative() {
    // Steps without a floor are left as computed; the window clamps them
    // when it turns them into pixels.
    const LayoutValues v = computeLayout(input(100, 100));
    QCOMPARE(v.text3Width, -10.0f);
    QCOMPARE(v.text3Height, -280.0f);
    QCOMPARE(v.text5Width, -1160.0f);
    QCOMPARE(twipsRectToPixels(50, 330, v.text3Width, v.text3Height, 96, 96).size(), QSize(0, 0));
  }

  void minimumWindow_data() {
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("wantWidth");
    QTest::addColumn<float>("wantHeight");
    QTest::addColumn<bool>("grew");
    QTest::newRow("large") << 4000.f << 8000.f << 4000.f << 8000.f << false;
    QTest::newRow("exactly") << 1500.f << 1200.f << 1500.f << 1200.f << false;
    QTest::newRow("narrow") << 1499.f << 8000.f << 1500.f << 8000.f << true;
    QTest::newRow("low") << 4000.f << 100.f << 4000.f << 1200.f << true;
    QTest::newRow("both") << 0.f << -5.f << 1500.f << 1200.f << true;
  }

  void minimumWindow() {
    QFETCH(float, width);
    QFETCH(float, height);
    const bool grew = clampToMinimum(width, height);
    QTEST(grew, "grew");
    QTEST(width, "wantWidth");
    QTEST(height, "wantHeight");
  }

  void twipsAndPixels_data() {
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<float>("back");  // the pixels in twips again
    QTest::newRow("96 dpi") << 96.0 << 3915.0 << 261 << 3915.f;
    QTest::newRow("96 dpi half") << 96.0 << 7.5 << 1 << 15.f;
    QTest::newRow("120 dpi") << 120.0 << 1440.0 << 120 << 1440.f;
    QTest::newRow("144 dpi") << 144.0 << 1500.0 << 150 << 1500.f;
    QTest::newRow("192 dpi") << 192.0 << 331.0 << 44 << 330.f;
  }

  void twipsAndPixels() {
    QFETCH(double, dpi);
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips, dpi), pixels);
    QTEST(pixelsToTwips(pixels, dpi), "back");
  }

  void neighboursTouch() {
    // Two boxes that touch in twips touch on the screen, whatever rounding
    // does to each edge.
    const QRect a = twipsRectToPixels(50, 0, 3185, 300, 96, 96);
    const QRect b = twipsRectToPixels(3235, 0, 550, 300, 96, 96);
    QCOMPARE(a.right() + 1, b.left());
  }
};

QTEST_APPLESS_MAIN(FormLayoutTest)
#include "form_layout_test.moc"
