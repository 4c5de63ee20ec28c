// The workbench's view of the page as the browser renders it: the body
// markup of the last load shown with the page's own scripts off (they ran
// before the markup was taken) and every navigation refused. Hovering
// outlines the element under the pointer; a click picks it. The picking
// runs in a world of its own, apart from anything the page could run.
#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

#include "engine/text.h"

class QLabel;
class QWebEnginePage;
class QWebEngineView;

namespace kelvane::ui {

class PagePickView : public QWidget {
  Q_OBJECT

 public:
  explicit PagePickView(QWidget* parent = nullptr);
  ~PagePickView() override;

  // Shows the markup (a page of more than 2 MB is not shown: the view
  // takes markup only up to that size).
  void showPage(const engine::Text& html, const QUrl& base);
  // Picks the element at pos (in the view's pixels), as a click does.
  void pickAt(QPoint pos);
  QWebEngineView* view() const { return view_; }
  bool loaded() const { return loaded_; }

 signals:
  // The element's place from <body> (each step its index among its
  // parent's elements) and its text as shown.
  void picked(QList<int> path, QString text);
  void pageShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void watchInput();
  double zoom() const;

  QWebEngineView* view_ = nullptr;
  QWebEnginePage* page_ = nullptr;
  QLabel* note_ = nullptr;
  QObject* input_ = nullptr;  // the widget the view's mouse events reach
  bool loaded_ = false;
  QPoint hover_;  // where the pointer was last looked at
};

}  // namespace kelvane::ui
