#include "ui/run/failure_reason.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <array>
#include <utility>

namespace kelvane::ui {
namespace {

// The network errors a watched page meets most, by their code after
// "net::ERR_".
constexpr std::array<std::pair<const char*, const char*>, 24> kNetErrors = {{
    {"CONNECTION_REFUSED", QT_TRANSLATE_NOOP("FailureReason", "接続が拒否されました")},
    {"CONNECTION_RESET", QT_TRANSLATE_NOOP("FailureReason", "接続がリセットされました")},
    {"CONNECTION_CLOSED", QT_TRANSLATE_NOOP("FailureReason", "接続が切断されました")},
    {"CONNECTION_ABORTED", QT_TRANSLATE_NOOP("FailureReason", "接続が中断されました")},
    {"CONNECTION_FAILED", QT_TRANSLATE_NOOP("FailureReason", "接続できませんでした")},
    {"CONNECTION_TIMED_OUT", QT_TRANSLATE_NOOP("FailureReason", "接続がタイムアウトしました")},
    {"TIMED_OUT", QT_TRANSLATE_NOOP("FailureReason", "タイムアウトしました")},
    {"NAME_NOT_RESOLVED", QT_TRANSLATE_NOOP("FailureReason", "ホスト名が見つかりません")},
    {"NAME_RESOLUTION_FAILED",
     QT_TRANSLATE_NOOP("FailureReason", "ホスト名を解決できませんでした")},
    {"INTERNET_DISCONNECTED",
     QT_TRANSLATE_NOOP("FailureReason", "ネットワークに接続されていません")},
    {"NETWORK_CHANGED", QT_TRANSLATE_NOOP("FailureReason", "ネットワークが切り替わりました")},
    {"ADDRESS_UNREACHABLE", QT_TRANSLATE_NOOP("FailureReason", "アドレスに到達できません")},
    {"ADDRESS_INVALID", QT_TRANSLATE_NOOP("FailureReason", "アドレスが正しくありません")},
    {"EMPTY_RESPONSE", QT_TRANSLATE_NOOP("FailureReason", "サーバーから応答がありません")},
    {"INVALID_RESPONSE", QT_TRANSLATE_NOOP("FailureReason", "サーバーの応答が正しくありません")},
    {"TOO_MANY_REDIRECTS", QT_TRANSLATE_NOOP("FailureReason", "リダイレクトが多すぎます")},
    {"INVALID_URL", QT_TRANSLATE_NOOP("FailureReason", "URLが正しくありません")},
    {"UNKNOWN_URL_SCHEME", QT_TRANSLATE_NOOP("FailureReason", "URLの種類が分かりません")},
    {"FILE_NOT_FOUND", QT_TRANSLATE_NOOP("FailureReason", "ファイルが見つかりません")},
    {"ACCESS_DENIED", QT_TRANSLATE_NOOP("FailureReason", "アクセスが拒否されました")},
    {"ABORTED", QT_TRANSLATE_NOOP("FailureReason", "読み込みが中止されました")},
    {"SSL_PROTOCOL_ERROR", QT_TRANSLATE_NOOP("FailureReason", "SSL 接続に失敗しました")},
    {"CERT_AUTHORITY_INVALID",
     QT_TRANSLATE_NOOP("FailureReason", "サーバーの証明書が信頼できません")},
    {"CERT_DATE_INVALID",
     QT_TRANSLATE_NOOP("FailureReason", "サーバーの証明書の期限が切れています")},
}};

QString netErrorText(const QString& code) {
  for (const auto& [name, text] : kNetErrors) {
    if (code == QLatin1String(name)) return QCoreApplication::translate("FailureReason", text);
  }
  if (code.startsWith(QLatin1String("CERT_")))
    return QCoreApplication::translate("FailureReason", "サーバーの証明書が無効です");
  return QCoreApplication::translate("FailureReason", "読み込めませんでした");
}

}  // namespace

QString japaneseFailureReason(const QString& reason) {
  static const QRegularExpression netError(QStringLiteral("net::ERR_([A-Z0-9_]+)"));
  static const QRegularExpression httpStatus(QStringLiteral("HTTP status (\\d+)"));
  QString text = reason;
  // From the end, so that the positions of earlier matches stay good.
  const auto replaceAll = [&text](const QRegularExpression& pattern, auto&& words) {
    QList<QRegularExpressionMatch> matches;
    for (auto it = pattern.globalMatch(text); it.hasNext();) matches.append(it.next());
    for (auto m = matches.crbegin(); m != matches.crend(); ++m) {
      text.replace(m->capturedStart(), m->capturedLength(), words(*m));
    }
  };
  replaceAll(netError, [](const QRegularExpressionMatch& m) {
    return QStringLiteral("%1 (%2)").arg(netErrorText(m.captured(1)), m.captured(0));
  });
  replaceAll(httpStatus, [](const QRegularExpressionMatch& m) {
    return QCoreApplication::translate("FailureReason", "サーバーがエラーを返しました (HTTP %1)")
        .arg(m.captured(1));
  });
  text.replace(QLatin1String("the load was stopped"),
               QCoreApplication::translate("FailureReason", "読み込みが中止されました"));
  // A download: the reason in parentheses (the header or the type) stays.
  static const QRegularExpression download(QStringLiteral(
      "the server sends a file to save, not a page \\((.*), file name (\"[^\"]*\")\\)"));
  replaceAll(download, [](const QRegularExpressionMatch& m) {
    return QCoreApplication::translate(
               "FailureReason", "ページではなく保存用のファイルが送られました (%1、ファイル名 %2)")
        .arg(m.captured(1), m.captured(2));
  });
  text.replace(
      QLatin1String("the server sends a file to save, not a page"),
      QCoreApplication::translate("FailureReason", "ページではなく保存用のファイルが送られました"));
  static const QRegularExpression tooLarge(QStringLiteral("the page is larger than (\\d+) MiB"));
  replaceAll(tooLarge, [](const QRegularExpressionMatch& m) {
    return QCoreApplication::translate("FailureReason", "ページが %1 MiB を超えています")
        .arg(m.captured(1));
  });
  static const QRegularExpression tooMuchMemory(
      QStringLiteral("the page is too large: its process needed more than (\\d+) MiB"));
  replaceAll(tooMuchMemory, [](const QRegularExpressionMatch& m) {
    return QCoreApplication::translate("FailureReason",
                                       "ページが大きすぎます (%1 MiB を超えるメモリが必要です)")
        .arg(m.captured(1));
  });
  return text;
}

}  // namespace kelvane::ui
