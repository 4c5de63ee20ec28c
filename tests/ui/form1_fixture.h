// What the window tests share: a Form1 started in a folder of its own with
// fake dialogs and a fake browser, and small helpers to reach its controls
// and files.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "acquisition/update_timer.h"
#include "platform/title_bar.h"
#include "settings/settings.h"
#include "textfile/text_codec.h"
#include "ui/about/frm_splash.h"
#include "ui/fakes.h"
#include "ui/main_window/form1.h"
#include "ui/main_window/form_layout.h"
#include "ui/main_window/tab_control.h"
#include "ui/run/run_controller.h"

using namespace kelvane;
using namespace kelvane::ui;
using kelvane::testing::FakeBrowser;
using kelvane::testing::FakeDialogs;

namespace form1_fixture {

inline QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// A script file of the given lines, CR LF after each.
inline void writeScript(const QString& path, const QStringList& lines) {
  writeAll(path, (lines.join("\r\n") + "\r\n").toUtf8());
}

// The lines of a settings file (CP932 or UTF-8), without their blanks.
inline QStringList settingsLines(const QString& path) {
  const QByteArray bytes = readAll(path);
  const QString text = QString::fromStdU16String(
      textfile::decodeText(std::string_view(bytes.constData(), bytes.size()), nullptr));
  QStringList lines = text.split("\r\n");
  for (QString& line : lines) line = line.trimmed();
  return lines;
}

}  // namespace form1_fixture

using namespace form1_fixture;

class Form1Fixture {
 protected:
  QTemporaryDir dir_;
  QString appDir_;  // the program's folder; the test's folder when empty
  std::shared_ptr<FakeDialogs> dialogs_;
  std::map<std::u16string, std::u16string> pages_;
  FakeBrowser* browser_ = nullptr;
  // Puts widgets into WebBrowser1 where the real view would be.
  std::function<void(QWidget*)> fillBrowserHolder_;
  int quits_ = 0;
  // The change notices the window gave: summary, then body.
  std::vector<QStringList> notices_;
  // The arguments of each program the window started.
  std::vector<QStringList> started_;
  // The watch's settings file (kelvane --settings); empty: the default.
  QString settingsFile_;

  std::unique_ptr<Form1> start(const QString& commandLine = {}) {
    StartOptions options;
    options.applicationDir = appDir_.isEmpty() ? dir_.path() : appDir_;
    options.commandLine = commandLine;
    options.settingsFile = settingsFile_;
    options.dialogs = dialogs_;
    options.browserFactory = [this](QWidget* holder) {
      if (fillBrowserHolder_) fillBrowserHolder_(holder);
      auto browser = std::make_unique<FakeBrowser>(pages_);
      browser_ = browser.get();
      return browser;
    };
    options.quit = [this] { ++quits_; };
    options.startProgram = [this](const QStringList& arguments) {
      started_.push_back(arguments);
      return true;
    };
    options.notify = [this](const QString& summary, const QString& body) {
      notices_.push_back({summary, body});
    };
    return std::make_unique<Form1>(std::move(options));
  }

  template <typename W>
  static W* child(Form1& form, const char* name) {
    W* w = form.findChild<W*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  static QString text(Form1& form, const char* name) {
    return child<QLineEdit>(form, name)->text();
  }
  QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

  // Chooses a popup item as the user does: a right click on the tab strip
  // opens the menu, a click on the item chooses it.
  static void choose(Form1& form, const char* name) { choose(form, form.menuItem(name)); }
  static void choose(Form1& form, QAction* item) {
    if (!form.isVisible()) {
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
    QWidget* strip = form.SSTab1()->strip();
    QTest::mouseClick(strip, Qt::RightButton, {}, QPoint(strip->width() - 5, 5));
    QMenu* menu = form.mnuPop();
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QTRY_VERIFY(!menu->isVisible());
  }

  // Every test starts from an empty folder and fresh fakes.
  void reset() {
    if (!dir_.isValid()) qFatal("no temporary folder");
    QFile::remove(path("Kelvane.cnf"));
    appDir_.clear();
    settingsFile_.clear();
    dialogs_ = std::make_shared<FakeDialogs>();
    pages_.clear();
    browser_ = nullptr;
    fillBrowserHolder_ = nullptr;
    quits_ = 0;
    notices_.clear();
    started_.clear();
  }
};
