#include "ui/main_window/setting_page.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kelvane::ui {
namespace {

template <typename W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLabel* label(QWidget* parent, int number, const QString& caption) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(QStringLiteral("Label%1").arg(number));
  return l;
}

// A short box for a number: hours, minutes, the interval, the wait value.
QLineEdit* numberBox(QWidget* parent, const char* name) {
  auto* box = named(new QLineEdit(parent), name);
  box->setAlignment(Qt::AlignRight);
  return box;
}

}  // namespace

SettingPage buildSettingPage(QWidget* page, Design& d) {
  SettingPage p;
  auto& L = p.labels;

  p.Exec = named(new QPushButton(QCoreApplication::translate("Form1", "更新"), page), "Exec");
  d.place(p.Exec, 100, 420, 1555, 420);

  L[7] = label(page, 8, QStringLiteral("Script"));
  d.place(L[7], 1755, 420, 1500, 240);
  p.ScriptList = named(new QListWidget(page), "ScriptList");
  p.ScriptList->setUniformItemSizes(true);
  p.ScriptList->setSelectionMode(QAbstractItemView::SingleSelection);
  d.place(p.ScriptList, 1755, 660, 1960, 1440);

  L[10] = label(page, 11, QStringLiteral("Wait"));
  d.place(L[10], 100, 960, 500, 255);
  p.WaitValue = numberBox(page, "WaitValue");
  d.place(p.WaitValue, 620, 930, 440, 300);

  L[0] = label(page, 1, QCoreApplication::translate("Form1", "間隔"));
  d.place(L[0], 100, 1350, 500, 255);
  p.Text4 = numberBox(page, "Text4");
  d.place(p.Text4, 620, 1320, 440, 300);
  L[1] = label(page, 2, QStringLiteral("min"));
  d.place(L[1], 1085, 1350, 355, 255);
  p.Check1 = named(new QCheckBox(page), "Check1");
  d.place(p.Check1, 1450, 1335, 270, 270);

  p.Command5 =
      named(new QPushButton(QCoreApplication::translate("Form1", "設定記憶"), page), "Command5");
  d.place(p.Command5, 100, 1740, 1555, 360);

  L[9] = label(page, 10, QStringLiteral("ScriptFile"));
  d.place(L[9], 100, 2190, 1500, 240);
  p.ScriptPath = named(new QLineEdit(page), "ScriptPath");
  d.place(p.ScriptPath, 50, 2430, 3185, 300);
  p.ScriptSel =
      named(new QPushButton(QCoreApplication::translate("Form1", "選択"), page), "ScriptSel");
  d.place(p.ScriptSel, 3265, 2430, 550, 300);

  L[8] = label(page, 9, QStringLiteral("Memo"));
  d.place(L[8], 100, 2820, 1500, 240);
  p.MemoText = named(new QLineEdit(page), "MemoText");
  d.place(p.MemoText, 100, 3060, 3615, 300);

  p.Frame1 =
      named(new QGroupBox(QCoreApplication::translate("Form1", "自動更新時間帯"), page), "Frame1");
  d.place(p.Frame1, 50, 3450, 2990, 690);
  QWidget* f = p.Frame1;
  p.TimeWindow =
      named(new QCheckBox(QCoreApplication::translate("Form1", "有効"), f), "TimeWindow");
  d.place(p.TimeWindow, 120, 315, 720, 270);
  p.Text7 = numberBox(f, "Text7");
  d.place(p.Text7, 900, 300, 360, 300);
  L[2] = label(f, 3, QStringLiteral(":"));
  L[2]->setAlignment(Qt::AlignCenter);
  d.place(L[2], 1260, 330, 150, 255);
  p.Text8 = numberBox(f, "Text8");
  d.place(p.Text8, 1410, 300, 360, 300);
  L[3] = label(f, 4, QStringLiteral("-"));
  L[3]->setAlignment(Qt::AlignCenter);
  d.place(L[3], 1770, 330, 180, 255);
  p.Text9 = numberBox(f, "Text9");
  d.place(p.Text9, 1950, 300, 360, 300);
  L[4] = label(f, 5, QStringLiteral(":"));
  L[4]->setAlignment(Qt::AlignCenter);
  d.place(L[4], 2310, 330, 150, 255);
  p.Text10 = numberBox(f, "Text10");
  d.place(p.Text10, 2460, 300, 360, 300);

  L[5] = label(page, 6, QStringLiteral("LogFile"));
  d.place(L[5], 100, 4200, 1500, 240);
  p.Command2 = named(new QPushButton(QStringLiteral("Log"), page), "Command2");
  d.place(p.Command2, 60, 4440, 450, 300);
  p.Text5 = named(new QLineEdit(page), "Text5");
  d.place(p.Text5, 540, 4440, 2655, 300);
  p.Command4 =
      named(new QPushButton(QCoreApplication::translate("Form1", "選択"), page), "Command4");
  d.place(p.Command4, 3235, 4440, 580, 300);

  p.Check3 =
      named(new QCheckBox(QCoreApplication::translate("Form1", "Log自動書込"), page), "Check3");
  d.place(p.Check3, 100, 4845, 1700, 270);
  p.QuitBtn = named(new QPushButton(QCoreApplication::translate("Form1", "終了"), page), "QuitBtn");
  d.place(p.QuitBtn, 3015, 4815, 800, 330);

  L[6] = label(page, 7, QStringLiteral("HTML"));
  d.place(L[6], 100, 5220, 1500, 240);
  p.Text6 = named(new QPlainTextEdit(page), "Text6");
  p.Text6->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  p.Text6->setTabChangesFocus(true);  // as in the display
  d.place(p.Text6, 50, 5460, 3815, 1850);
  return p;
}

}  // namespace kelvane::ui
