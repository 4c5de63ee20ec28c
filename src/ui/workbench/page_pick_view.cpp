#include "ui/workbench/page_pick_view.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace kelvane::ui {
namespace {

// The picking, in the application's own world (the page's own scripts are
// off, and with them the page's event listeners): kelvaneMark(x, y) outlines
// the element there, kelvanePick(x, y) outlines it and gives its place from
// <body> and its text as shown.
constexpr const char* kPickScript = R"JS(
(function () {
  if (window.kelvanePick) return;
  let marked = null, before = '';
  function mark(e) {
    if (marked === e) return;
    if (marked) marked.style.outline = before;
    marked = e;
    if (e) { before = e.style.outline; e.style.outline = '2px solid #d0306a'; }
  }
  document.addEventListener('mouseover', ev => {
    if (ev.target instanceof Element && ev.target !== document.body) mark(ev.target);
  }, true);
  for (const type of ['click', 'auxclick', 'submit'])
    document.addEventListener(type, ev => { ev.preventDefault(); ev.stopPropagation(); }, true);
  window.kelvaneMark = function (x, y) {
    const el = document.elementFromPoint(x, y);
    mark(el && el !== document.body && el !== document.documentElement ? el : null);
  };
  window.kelvanePick = function (x, y) {
    const el = document.elementFromPoint(x, y);
    if (!el || el === document.body || el === document.documentElement) return null;
    mark(el);
    const path = [];
    let e = el;
    while (e && e !== document.body) {
      let i = 0, s = e;
      while ((s = s.previousElementSibling)) i++;
      path.unshift(i);
      e = e.parentElement;
    }
    if (!e) return null;
    return { path: path, text: el.innerText || el.textContent || '' };
  };
})();
)JS";

// A page that follows no navigation but the markup it was given.
class PickPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool mainFrame) override {
    return mainFrame && url.scheme() == QLatin1String("data");
  }
};

constexpr qsizetype kMostMarkup = 2 * 1024 * 1024;

}  // namespace

PagePickView::PagePickView(QWidget* parent) : QWidget(parent) {
  // Nothing of the user's browsing (cookies, cache) is used or kept.
  auto* profile = new QWebEngineProfile(this);
  auto* page = new PickPage(profile, this);
  page_ = page;
  page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  QWebEngineScript script;
  script.setName(QStringLiteral("kelvane-pick"));
  script.setWorldId(QWebEngineScript::ApplicationWorld);
  script.setInjectionPoint(QWebEngineScript::DocumentReady);
  script.setSourceCode(QString::fromLatin1(kPickScript));
  page->scripts().insert(script);
  view_ = new QWebEngineView(this);
  view_->setObjectName(QStringLiteral("PagePickBrowser"));
  view_->setPage(page);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  note_ = new QLabel(
      QCoreApplication::translate(
          "ScriptWorkbench", "要素をクリックすると，その値とリスト全体を切り出す行を作ります．"),
      this);
  note_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(note_);
  layout->addWidget(view_, 1);
  // The outline follows the pointer: the view's own widget is not told of
  // moves without a button, so the pointer is looked at a few times a second
  // while it is over the page.
  auto* hover = new QTimer(this);
  hover->setInterval(80);
  connect(hover, &QTimer::timeout, this, [this] {
    if (!loaded_ || !view_->isVisible()) return;
    const QPoint at = view_->mapFromGlobal(QCursor::pos());
    if (!view_->rect().contains(at) || at == hover_) return;
    hover_ = at;
    view_->page()->runJavaScript(QStringLiteral("window.kelvaneMark && kelvaneMark(%1, %2)")
                                     .arg(at.x() / zoom())
                                     .arg(at.y() / zoom()),
                                 QWebEngineScript::ApplicationWorld);
  });
  hover->start();
  connect(view_, &QWebEngineView::loadFinished, this, [this](bool) {
    loaded_ = true;
    watchInput();
    emit pageShown();
  });
}

PagePickView::~PagePickView() {
  // The page goes before its profile, which is released after it.
  delete view_;
  delete page_;
}

void PagePickView::showPage(const engine::Text& html, const QUrl& base) {
  loaded_ = false;
  const QString markup = QString::fromStdU16String(html);
  if (markup.size() > kMostMarkup) {
    note_->setText(QCoreApplication::translate("ScriptWorkbench",
                                               "ページが大きすぎて表示できません（2 MB まで）．HT "
                                               "の中で選んでください．"));
    view_->setHtml(QString(), base);
    return;
  }
  view_->setHtml(markup, base);
}

void PagePickView::watchInput() {
  QObject* input = view_->focusProxy() ? static_cast<QObject*>(view_->focusProxy()) : view_;
  if (input == input_) return;
  if (input_) input_->removeEventFilter(this);
  input_ = input;
  input_->installEventFilter(this);
}

bool PagePickView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == input_ && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      const QPoint at = mouse->position().toPoint();
      QTimer::singleShot(0, this, [this, at] { pickAt(at); });
    }
  }
  return QWidget::eventFilter(watched, event);
}

double PagePickView::zoom() const {
  return view_->zoomFactor() > 0 ? view_->zoomFactor() : 1.0;
}

void PagePickView::pickAt(QPoint pos) {
  const QString call = QStringLiteral("window.kelvanePick ? kelvanePick(%1, %2) : null")
                           .arg(pos.x() / zoom())
                           .arg(pos.y() / zoom());
  QPointer<PagePickView> self(this);
  view_->page()->runJavaScript(
      call, QWebEngineScript::ApplicationWorld, [self](const QVariant& result) {
        if (!self) return;
        const QVariantMap map = result.toMap();
        if (map.isEmpty()) return;
        QList<int> path;
        for (const QVariant& step : map.value(QStringLiteral("path")).toList())
          path << step.toInt();
        emit self->picked(path, map.value(QStringLiteral("text")).toString());
      });
}

}  // namespace kelvane::ui
