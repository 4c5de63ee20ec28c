// Colour codes both ways, system colours through the palette, and the
// display font with its Japanese fallback.
#include <QFontDatabase>
#include <QTest>

#include "ui/main_window/appearance.h"

using namespace kelvane::ui;

class AppearanceTest : public QObject {
  Q_OBJECT

 private slots:
  void plainCodes_data() {
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QColor>("color");
    QTest::newRow("black") << qint32(0) << QColor(0, 0, 0);
    QTest::newRow("red is the lowest byte") << qint32(0x0000FF) << QColor(255, 0, 0);
    QTest::newRow("green") << qint32(0x00FF00) << QColor(0, 255, 0);
    QTest::newRow("blue is the third byte") << qint32(0xFF0000) << QColor(0, 0, 255);
    QTest::newRow("mixed") << qint32(0x336699) << QColor(0x99, 0x66, 0x33);
    QTest::newRow("white") << qint32(0xFFFFFF) << QColor(255, 255, 255);
  }

  void plainCodes() {
    QFETCH(qint32, code);
    QFETCH(QColor, color);
    QCOMPARE(colorFromCode(code, QPalette()), std::optional<QColor>(color));
    QCOMPARE(codeFromColor(color), code);
  }

  void topByteOfPlainColourIgnored() {
    QCOMPARE(colorFromCode(0x020000FF, QPalette()), std::optional<QColor>(QColor(255, 0, 0)));
  }

  void systemColours_data() {
    QTest::addColumn<qint32>("code");
    QTest::addColumn<int>("role");
    // As the settings file holds them: 0x80000000 plus the colour's index.
    QTest::newRow("window") << qint32(-2147483643) << int(QPalette::Base);
    QTest::newRow("window text") << qint32(-2147483640) << int(QPalette::Text);
    QTest::newRow("button face") << qint32(-2147483633) << int(QPalette::Button);
    QTest::newRow("button text") << qint32(-2147483630) << int(QPalette::ButtonText);
    QTest::newRow("highlight") << qint32(-2147483635) << int(QPalette::Highlight);
    QTest::newRow("highlight text") << qint32(-2147483634) << int(QPalette::HighlightedText);
  }

  void systemColours() {
    QFETCH(qint32, code);
    QFETCH(int, role);
    QPalette palette;
    palette.setColor(static_cast<QPalette::ColorRole>(role), QColor(12, 34, 56));
    QCOMPARE(roleOfSystemColor(code), std::optional(static_cast<QPalette::ColorRole>(role)));
    QCOMPARE(colorFromCode(code, palette), std::optional<QColor>(QColor(12, 34, 56)));
    QCOMPARE(systemColorOfRole(static_cast<QPalette::ColorRole>(role)), std::optional(code));
  }

  void unknownSystemColour() {
    QCOMPARE(colorFromCode(-2147483549, QPalette()), std::nullopt);  // index 99
    QCOMPARE(roleOfSystemColor(0x0000FF), std::nullopt);
    QCOMPARE(systemColorOfRole(QPalette::Link), std::nullopt);
  }

  void startValues() {
    const Appearance start;
    QCOMPARE(start.fontName, QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(start.fontSize, 9.0f);
    QCOMPARE(start.backColor, qint32(-2147483643));
    QCOMPARE(start.foreColor, qint32(-2147483640));
  }

  void paletteFollowsCodes() {
    QPalette base;
    base.setColor(QPalette::Base, QColor(1, 2, 3));
    base.setColor(QPalette::Text, QColor(4, 5, 6));
    Appearance a;
    QPalette p = displayPalette(a, base);
    QCOMPARE(p.color(QPalette::Base), QColor(1, 2, 3));
    QCOMPARE(p.color(QPalette::Text), QColor(4, 5, 6));

    a.backColor = 0x00FFFF;  // yellow
    a.foreColor = 0xFF0000;  // blue
    p = displayPalette(a, base);
    QCOMPARE(p.color(QPalette::Base), QColor(255, 255, 0));
    QCOMPARE(p.color(QPalette::Text), QColor(0, 0, 255));
    // Nothing else changes.
    QCOMPARE(p.color(QPalette::Button), base.color(QPalette::Button));

    // A code naming no known colour leaves its role as it was.
    a.backColor = -2147483571;  // index 77
    p = displayPalette(a, base);
    QCOMPARE(p.color(QPalette::Base), QColor(1, 2, 3));
  }

  void missingFaceFallsBackButKeepsItsName() {
    const QString fallback = japaneseFallbackFamily();
    if (fallback.isEmpty()) QSKIP("no Japanese font on this system");
    Appearance a;  // "ＭＳ Ｐゴシック", which only Windows has
    if (fontFamilyExists(a.fontName)) QSKIP("this system has the Windows font");
    a.fontSize = 14;
    a.bold = true;
    a.italic = true;
    const QFont font = displayFont(a, QFont());
    QCOMPARE(font.family(), fallback);
    QVERIFY(QFontDatabase::writingSystems(font.family()).contains(QFontDatabase::Japanese));
    QCOMPARE(font.pointSizeF(), 14.0);
    QVERIFY(font.bold());
    QVERIFY(font.italic());
    QCOMPARE(a.fontName, QStringLiteral("ＭＳ Ｐゴシック"));
  }

  void existingFaceIsUsed() {
    QString family;
    for (const QString& f : QFontDatabase::families()) {
      if (fontFamilyExists(f) && f != japaneseFallbackFamily()) family = f;
    }
    if (family.isEmpty()) QSKIP("only one font family");
    Appearance a;
    a.fontName = family;
    QCOMPARE(displayFont(a, QFont()).family(), family);
  }
};

QTEST_MAIN(AppearanceTest)
#include "appearance_test.moc"
