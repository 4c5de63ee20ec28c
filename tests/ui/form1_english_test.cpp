// The window in the reader's language: the C locale and Japanese keep the
// program's texts and load nothing; an English locale gets the built English
// translation, for the window, the engine's messages and the other layers.
#include <QGroupBox>

#include "ui/form1_fixture.h"
#include "ui/translations.h"

class Form1EnglishTest : public QObject, protected Form1Fixture {
  Q_OBJECT

  struct Shown {
    QString exec, refreshItem, execName, frameTitle;
  };
  Shown shown() {
    auto form = start();
    return {child<QPushButton>(*form, "Exec")->text(), form->menuItem("mnuReflesh")->text(),
            child<QPushButton>(*form, "Exec")->accessibleName(),
            child<QGroupBox>(*form, "Frame1")->title()};
  }

 private slots:
  void init() { reset(); }
  void cleanup() { language::setCurrent(language::Language::Japanese); }

  void onlyAnEnglishLocaleGetsEnglish() {
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qunsetenv("LANGUAGE");
    for (const char* locale : {"C", "ja_JP.UTF-8", "de_DE.UTF-8"}) {
      qputenv("LANG", locale);
      QCOMPARE(installTranslations(*QCoreApplication::instance(), KELVANE_APP_DIR),
               language::Language::Japanese);
      const Shown ja = shown();
      QCOMPARE(ja.exec, QString("更新"));
      QCOMPARE(ja.refreshItem, QString("更新(&R)"));
      QCOMPARE(ja.execName, QString("更新"));
      QCOMPARE(ja.frameTitle, QString("自動更新時間帯"));
      // Qt's own dialogs too (Qt's translations are installed with it).
      QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("キャンセル"));
    }
    qputenv("LANG", "en_US.UTF-8");
    QCOMPARE(installTranslations(*QCoreApplication::instance(), KELVANE_APP_DIR),
             language::Language::English);
    const Shown en = shown();
    QCOMPARE(en.exec, QString("Refresh"));
    QCOMPARE(en.refreshItem, QString("&Refresh"));
    QCOMPARE(en.execName, QString("Refresh"));
    QCOMPARE(en.frameTitle, QString("Update hours"));
    QCOMPARE(QString::fromStdU16String(settings::cannotWriteMessage()),
             QString("Cannot write the settings file."));
  }
};

QTEST_MAIN(Form1EnglishTest)
#include "form1_english_test.moc"
