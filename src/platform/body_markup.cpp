#include "platform/body_markup.h"

#include <QEventLoop>
#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <algorithm>
#include <memory>

namespace kelvane::platform {
namespace {

// How often a wait for the page's answer looks whether to give up.
constexpr int kGiveUpPollMs = 50;

// The body's markup is written out once and kept in this world's global,
// where the page's scripts cannot reach or change it. Answers its length
// (-1 when the script engine cannot write out a page that large) and the
// encoding, and the markup itself when it fits in one piece. Markup over
// the cap (%1) is not kept. %2 is the piece size.
constexpr char kWriteOutScript[] =
    "(function(cap,piece){var b=document.body,h;"
    "try{h=b?String(b.innerHTML):''}catch(e){h=null}"
    "var n=h===null?-1:h.length,keep=n>=0&&n<=cap;"
    "window.__kelvaneMarkup=keep&&n>piece?h:null;"
    "return [n,String(document.characterSet),keep&&n<=piece?h:null];})(%1,%2)";

// The piece from %1 of at most %2 characters, one shorter when it would end
// inside a surrogate pair, and where the next one starts; null when the
// markup kept is gone (another document is shown). The last piece lets go
// of the markup.
constexpr char kPieceScript[] =
    "(function(from,count){var h=window.__kelvaneMarkup;"
    "if(typeof h!=='string'||from>=h.length)return null;var end=Math.min(h.length,from+count),"
    "c=h.charCodeAt(end-1);if(end<h.length&&c>=0xD800&&c<=0xDBFF&&end-1>from)--end;"
    "if(end>=h.length)window.__kelvaneMarkup=null;return [h.substring(from,end),end];})(%1,%2)";

// The value of a script run in the application's world; nothing when it did
// not answer in time, the page's process ended or giveUp said so.
std::optional<QVariant> ask(QWebEnginePage* page, const QString& script,
                            std::chrono::milliseconds timeout,
                            const std::function<bool()>& giveUp) {
  // The answer comes back through the event loop; it may come after this
  // call has given up waiting, so it goes into state shared with the call.
  struct Answer {
    bool arrived = false;
    QVariant value;
    QEventLoop* loop = nullptr;
  };
  auto answer = std::make_shared<Answer>();
  QEventLoop loop;
  answer->loop = &loop;
  page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant& value) {
    answer->arrived = true;
    answer->value = value;
    if (answer->loop) answer->loop->quit();
  });
  if (!answer->arrived) {
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto gone =
        QObject::connect(page, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    timer.start(timeout);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&giveUp, &loop] {
      if (giveUp && giveUp()) loop.quit();
    });
    poll.start(kGiveUpPollMs);
    loop.exec();
    QObject::disconnect(gone);
  }
  answer->loop = nullptr;
  if (!answer->arrived || !answer->value.isValid()) return std::nullopt;
  return std::move(answer->value);
}

void append(std::u16string& to, const QString& piece) {
  to.append(reinterpret_cast<const char16_t*>(piece.utf16()), static_cast<size_t>(piece.size()));
}

}  // namespace

BodyMarkup readBodyMarkup(QWebEnginePage* page, size_t capChars, size_t pieceChars,
                          std::chrono::milliseconds timeout, const std::function<bool()>& giveUp) {
  BodyMarkup read;
  pieceChars = std::max<size_t>(pieceChars, 2);  // room for a surrogate pair
  const std::optional<QVariant> first = ask(
      page, QString::fromLatin1(kWriteOutScript).arg(capChars).arg(pieceChars), timeout, giveUp);
  if (!first) return read;
  // The length, the encoding, then the markup when it came whole.
  QVariantList parts = first->toList();
  if (parts.size() != 3) return read;
  read.charset = parts[1].toString().toStdString();
  const qint64 length = parts[0].toLongLong();
  if (length < 0 || static_cast<size_t>(length) > capChars) {
    read.overCap = true;
    return read;
  }
  std::u16string markup;
  if (!parts[2].isNull()) {
    append(markup, parts[2].toString());
    read.markup = std::move(markup);
    return read;
  }
  parts.clear();
  const size_t total = static_cast<size_t>(length);
  markup.reserve(total);
  // Asked for by the page's own count of characters: what comes over is the
  // text as the browser hands text over (a lone surrogate as U+FFFD).
  for (size_t from = 0; from < total;) {
    const std::optional<QVariant> piece =
        ask(page, QString::fromLatin1(kPieceScript).arg(from).arg(pieceChars), timeout, giveUp);
    // Nothing: the page went on to another document while it was read.
    const QVariantList got = piece ? piece->toList() : QVariantList();
    const qint64 next = got.size() == 2 ? got[1].toLongLong() : 0;
    if (next <= static_cast<qint64>(from) || static_cast<size_t>(next) > total) return read;
    append(markup, got[0].toString());
    from = static_cast<size_t>(next);
  }
  read.markup = std::move(markup);
  return read;
}

}  // namespace kelvane::platform
