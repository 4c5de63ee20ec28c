// The window without a mouse, and as a screen reader tells it.
#include <QAccessible>
#include <QApplication>

#include "ui/form1_fixture.h"

class Form1AccessTest : public QObject, protected Form1Fixture {
  Q_OBJECT

 private slots:
  void init() { reset(); }

  // Keyboard only: the context-menu key and Shift+F10 on the tab strip open
  // the popup menu; Tab leaves the display and the HTML box without typing.
  void keyboardReachesThePopupMenuAndTabLeavesTheBoxes() {
    auto form = start();
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QWidget* strip = form->SSTab1()->strip();
    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Menu), Qt::SHIFT | Qt::Key_F10}) {
      strip->setFocus();
      QTest::keyClick(strip, key.key(), key.keyboardModifiers());
      QTRY_VERIFY2(form->mnuPop()->isVisible(), qPrintable(QKeySequence(key).toString()));
      form->mnuPop()->hide();
    }
    for (int page : {0, 1}) {
      form->SSTab1()->setCurrentIndex(page);
      auto* box = child<QPlainTextEdit>(*form, page == 0 ? "Text3" : "Text6");
      box->setFocus();
      QTest::keyClicks(box, "a");
      QTest::keyClick(box, Qt::Key_Tab);
      QCOMPARE(box->toPlainText(), QString("a"));
      QVERIFY(!box->hasFocus());
    }
  }

  // A screen reader names every control, and no two alike.
  void everyControlHasItsOwnAccessibleName() {
    auto form = start();
    QStringList names;
    for (QWidget* w : form->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QListWidget*>(w) ||
                           w->objectName() == "WebBrowser1";
      // The strip's scroll arrows are Qt's own, named by Qt.
      if (!control || w->parent() == form->SSTab1()->strip()) continue;
      const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
      QVERIFY2(!name.isEmpty(), qPrintable(w->objectName()));
      QVERIFY2(!names.contains(name), qPrintable(name));
      names << name;
    }
    QCOMPARE(names.size(), 24);
  }
};

QTEST_MAIN(Form1AccessTest)
#include "form1_access_test.moc"
