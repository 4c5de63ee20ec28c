// The direct fetch's page text against the real browser's (kelvane-run's,
// which loads only what can change the markup): every page of
// tests/pages (tricky markup, declared and undeclared charsets) and, for
// every encoding, a page of all its byte sequences are served here, loaded
// by Qt WebEngine and fetched by the direct path; the two texts must be
// equal, and a page one side refuses the other must refuse too.
// Pages marked "differs" in the manifest are the known differences: they
// must still differ, so that the list stays true.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>
#include <memory>

#include "acquisition/direct/direct_browser.h"
#include "platform/web_engine_browser.h"
#include "test_server.h"

using kelvane::platform::WebEngineBrowser;
using kelvane::testing::TestServer;

namespace {

QString q(std::u16string_view s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

// Where two texts part: the differing lines (up to ten, with their code
// points) when both have as many lines, else the first differing place.
QString difference(const QString& browser, const QString& direct) {
  static const int kShownLines = qEnvironmentVariableIntValue("KELVANE_SHOWN_LINES") > 0
                                     ? qEnvironmentVariableIntValue("KELVANE_SHOWN_LINES")
                                     : 10;
  const QStringList b = browser.split('\n'), d = direct.split('\n');
  if (b.size() == d.size()) {
    QStringList lines;
    const auto codes = [](const QString& s) {
      QString out;
      for (QChar c : s.left(8)) out += QString::number(c.unicode(), 16) + ' ';
      return out;
    };
    for (qsizetype i = 0; i < b.size() && lines.size() < kShownLines; ++i) {
      if (b[i] != d[i]) {
        lines << QStringLiteral("  line %1: browser %2| direct %3")
                     .arg(i)
                     .arg(codes(b[i]), codes(d[i]));
      }
    }
    return "\n" + lines.join('\n');
  }
  qsizetype i = 0;
  while (i < browser.size() && i < direct.size() && browser[i] == direct[i]) ++i;
  const qsizetype from = std::max<qsizetype>(0, i - 40);
  return QStringLiteral("at %1:\n  browser: %2\n  direct:  %3")
      .arg(i)
      .arg(browser.mid(from, 100), direct.mid(from, 100));
}

struct TablePage {
  const char* name;
  const char* label;
  QByteArray bytes;  // the characters, one sequence a line
  bool differs = false;
};

// Sequences of an encoding: each lead byte in [lo, hi] with each trail
// byte in the ranges, one a line, then some broken ones.
QByteArray pairs(int lo, int hi, std::initializer_list<std::pair<int, int>> trails) {
  QByteArray out;
  for (int lead = lo; lead <= hi; ++lead) {
    for (const auto& [tlo, thi] : trails) {
      for (int t = tlo; t <= thi; ++t) {
        out += char(lead);
        out += char(t);
        out += '\n';
      }
    }
    out += char(lead);  // a lead byte before an ASCII byte, then alone
    out += "0\n";
  }
  return out;
}

QByteArray singleBytes() {
  QByteArray out;
  for (int b = 0x80; b <= 0xFF; ++b) out += char(b);
  return out + '\n';
}

QByteArray iso2022jp() {
  QByteArray out = "\x1B$B";
  for (int lead = 0x21; lead <= 0x7E; ++lead) {
    for (int t = 0x21; t <= 0x7E; ++t) {
      out += char(lead);
      out += char(t);
    }
  }
  out += "\x1B(B\n\x1B(I";
  for (int b = 0x21; b <= 0x5F; ++b) out += char(b);
  out += "\x1B(J\\~\x1B(B\\~\n";
  // Broken: an escape sequence that changes nothing, two in a row, an
  // unknown one, a lead byte cut by an escape, bytes above 0x7F.
  out += "\x1B(Ba\x1B(B\x1B(Bb\x1B(Xc\x1B$B\x30\x1B(Bd\x1B$Ba\n\x80\xFF\x1B(B\x0E\x0F\n";
  return out;
}

QByteArray eucJpSupplement() {
  QByteArray out;
  for (int lead = 0xA1; lead <= 0xFE; ++lead) {
    for (int t = 0xA1; t <= 0xFE; ++t) {
      out += "\x8F";
      out += char(lead);
      out += char(t);
      out += '\n';
    }
  }
  return out + "\x8F\xA1\x41\n\x8F\x41\n\x8E\x41\n\x8E\xE0\n";
}

QByteArray gb18030FourBytes() {
  QByteArray out;
  for (int b1 : {0x81, 0x82, 0x84, 0x85, 0x8F, 0x90, 0xE3, 0xE4, 0xFE}) {
    for (int b2 : {0x30, 0x31, 0x35, 0x39}) {
      for (int b3 = 0x81; b3 <= 0xFE; ++b3) {
        for (int b4 : {0x30, 0x35, 0x39}) {
          out += char(b1);
          out += char(b2);
          out += char(b3);
          out += char(b4);
          out += '\n';
        }
      }
    }
  }
  return out + "\x81\x30\x81\n\x81\x30\x41\n\x81\x30\n";
}

QByteArray utf16(bool littleEndian) {
  QByteArray units;
  const auto put = [&](unsigned u) {
    units += char(littleEndian ? u & 0xFF : u >> 8);
    units += char(littleEndian ? u >> 8 : u & 0xFF);
  };
  for (unsigned u : {0x3042u, 0xD83Du, 0xDE00u, 0x0Au, 0xD800u, 0x41u, 0x0Au, 0xDC00u, 0x0Au,
                     0xFEFFu, 0xFFFEu, 0x0Au}) {
    put(u);
  }
  return units;
}

QByteArray brokenUtf8() {
  return "\xC0\xAF\n\xE0\x80\xAF\n\xED\xA0\x80\n\xF4\x90\x80\x80\n\xE3\x81\n\x80\x80\n"
         "\xF0\x9F\x98\n\xFE\xFF\n\xE3\x81\x82\xF0\x9F\x98\x80\n";
}

}  // namespace

class DirectPagesTest : public QObject {
  Q_OBJECT

 private:
  struct Page {
    QString name;
    QByteArray bytes;
    QByteArray contentType;
    bool differs = false;
    QByteArray headers;    // header lines besides the Content-Type
    bool refused = false;  // the direct fetch refuses what the browser shows
  };

  static QString answer(const kelvane::acquisition::Browser& browser,
                        const std::optional<std::u16string>& html) {
    // A file to save must be named as such on both sides.
    if (const auto error = browser.loadError()) {
      return q(*error).contains(QLatin1String("file to save")) ? QStringLiteral("(file to save)")
                                                               : QStringLiteral("(failed load)");
    }
    return html ? q(*html) : QStringLiteral("(no answer)");
  }

  // A page that may refresh is read once the browser has been idle for a
  // while, as after a settle wait: the refresh starts after the load ends.
  QString browserHtml(const QString& path, bool mayRefresh) {
    browser_->Navigate(server_.url(path).toStdU16String());
    QElapsedTimer timer, idle;
    timer.start();
    idle.start();
    while (timer.elapsed() < 30'000 &&
           (browser_->Busy() || (mayRefresh && idle.elapsed() < 1000))) {
      if (browser_->Busy()) idle.restart();
      QTest::qWait(5);
    }
    return answer(*browser_, browser_->bodyHtml());
  }

  // Wraps table bytes in a page; for UTF-16 the markup is UTF-16 too.
  static QByteArray tableDocument(const QByteArray& table, const char* label) {
    const QByteArray head = "<!DOCTYPE html><html><head></head><body><pre>\n";
    const QByteArray tail = "</pre></body></html>";
    const QString l = QString::fromLatin1(label);
    if (!l.startsWith("utf-16")) return head + table + tail;
    const bool le = l == "utf-16le";
    const auto widen = [le](const QByteArray& ascii) {
      QByteArray out;
      for (char c : ascii) out += le ? QByteArray(1, c) + '\0' : QByteArray(1, '\0') + c;
      return out;
    };
    return widen(head) + table + widen(tail);
  }

  std::vector<Page> corpus() {
    std::vector<Page> pages;
    QFile manifest(QStringLiteral(KELVANE_PAGES_DIR "/pages.tsv"));
    if (!manifest.open(QIODevice::ReadOnly)) return pages;
    for (const QByteArray& line : manifest.readAll().split('\n')) {
      if (line.isEmpty() || line.startsWith('#')) continue;
      const QList<QByteArray> fields = line.split('\t');
      Page page;
      page.name = QString::fromUtf8(fields[0]);
      QFile file(QStringLiteral(KELVANE_PAGES_DIR "/") + page.name);
      if (!file.open(QIODevice::ReadOnly)) continue;
      page.bytes = file.readAll();
      page.contentType = fields.size() > 1 && !fields[1].isEmpty() ? fields[1] : "text/html";
      page.differs = fields.size() > 2 && fields[2].startsWith("differs");
      page.refused = fields.size() > 2 && fields[2].startsWith("refused");
      if (fields.size() > 3) page.headers = fields[3] + "\r\n";
      pages.push_back(page);
    }
    return pages;
  }

  void compare(const std::vector<Page>& pages) {
    QStringList failures;
    // All first: a page may lead to another.
    for (const Page& page : pages) {
      TestServer::Reply reply{page.bytes, page.contentType};
      reply.headers += page.headers;
      server_.route("/" + page.name, reply);
    }
    kelvane::acquisition::DirectBrowser fetch;
    for (const Page& page : pages) {
      const QString path = "/" + page.name;
      const bool mayRefresh =
          page.bytes.toLower().contains("refresh") || page.headers.toLower().contains("refresh");
      const QString browser = browserHtml(path, mayRefresh);
      fetch.startLoading(server_.url(path).toStdU16String());
      const QString direct = answer(fetch, fetch.bodyHtml());
      if (const QString dump = qEnvironmentVariable("KELVANE_DUMP_DIR"); !dump.isEmpty()) {
        for (const auto& [side, text] : {std::pair{"browser", browser}, {"direct", direct}}) {
          QFile out(dump + "/" + page.name + "." + side);
          if (out.open(QIODevice::WriteOnly)) out.write(text.toUtf8());
        }
      }
      if (page.refused) {
        if (direct != QLatin1String("(failed load)") || browser.startsWith('(')) {
          failures << page.name + ": not refused here alone: " + direct.left(80);
        }
      } else if (page.differs && browser == direct) {
        failures << page.name + ": listed as differing, but now equal";
      } else if (!page.differs && browser != direct) {
        failures << page.name + ": " + difference(browser, direct);
      }
    }
    for (const QString& failure : failures) qWarning().noquote() << failure;
    QVERIFY(failures.isEmpty());
  }

  TestServer server_;
  std::unique_ptr<WebEngineBrowser> browser_;

 private slots:
  void initTestCase() {
    browser_ = std::make_unique<WebEngineBrowser>(kelvane::platform::PageParts::MarkupOnly);
  }

  void corpusPagesEqualTheBrowsers() {
    const std::vector<Page> pages = corpus();
    QVERIFY(pages.size() >= 40);
    compare(pages);
  }

  void everyEncodingDecodesAsTheBrowserDoes() {
    const std::pair<int, int> sjisTrail[] = {{0x40, 0x7E}, {0x80, 0xFC}};
    const TablePage tables[] = {
        {"shift_jis", "shift_jis",
         pairs(0x81, 0x9F, {sjisTrail[0], sjisTrail[1]}) +
             pairs(0xE0, 0xFC, {sjisTrail[0], sjisTrail[1]}) + singleBytes()},
        {"euc-jp", "euc-jp", pairs(0xA1, 0xFE, {{0xA1, 0xFE}}) + pairs(0x8E, 0x8E, {{0xA1, 0xDF}})},
        {"euc-jp-0212", "euc-jp", eucJpSupplement()},
        {"iso-2022-jp", "iso-2022-jp", iso2022jp()},
        {"gbk", "gbk", pairs(0x81, 0xFE, {{0x40, 0x7E}, {0x80, 0xFE}}) + singleBytes()},
        {"gb18030", "gb18030", gb18030FourBytes()},
        {"big5", "big5", pairs(0x81, 0xFE, {{0x40, 0x7E}, {0xA1, 0xFE}}) + singleBytes()},
        // This browser does not decode EUC-KR at all and shows such pages as
        // windows-1252; the direct fetch decodes them.
        {"euc-kr", "euc-kr", pairs(0x81, 0xFE, {{0x41, 0x5A}, {0x61, 0x7A}, {0x81, 0xFE}}), true},
        {"utf-8", "utf-8", brokenUtf8()},
        {"utf-16le", "utf-16le", utf16(true)},
        {"utf-16be", "utf-16be", utf16(false)},
        {"x-user-defined", "x-user-defined", singleBytes()},
        {"replacement", "iso-2022-kr", "abc"},
    };
    std::vector<Page> pages;
    for (const TablePage& t : tables) {
      pages.push_back({QString::fromLatin1(t.name) + ".table",
                       tableDocument(t.bytes, t.label),
                       QByteArray("text/html; charset=") + t.label,
                       t.differs,
                       {}});
    }
    for (const char* label :
         {"ibm866",       "iso-8859-2",    "iso-8859-3",   "iso-8859-4",   "iso-8859-5",
          "iso-8859-6",   "iso-8859-7",    "iso-8859-8",   "iso-8859-8-i", "iso-8859-10",
          "iso-8859-13",  "iso-8859-14",   "iso-8859-15",  "koi8-r",       "koi8-u",
          "macintosh",    "windows-874",   "windows-1250", "windows-1251", "windows-1252",
          "windows-1253", "windows-1254",  "windows-1255", "windows-1256", "windows-1257",
          "windows-1258", "x-mac-cyrillic"}) {
      pages.push_back({QString::fromLatin1(label) + ".table",
                       tableDocument(singleBytes(), label),
                       QByteArray("text/html; charset=") + label,
                       false,
                       {}});
    }
    // ICU has no ISO-8859-16, and this browser shows such a page in
    // another encoding; the direct fetch gives U+FFFD above 0x7F.
    pages.push_back({"iso-8859-16.table",
                     tableDocument(singleBytes(), "iso-8859-16"),
                     "text/html; charset=iso-8859-16",
                     true,
                     {}});
    compare(pages);
  }

  // The browser's markup taken over in pieces comes whole, a surrogate
  // pair never split between two of them, whatever the piece size.
  void markupComesOverInPieces() {
    const QString body = QStringLiteral("<p>a\U00020BB7b\U00020BB7\U00020BB7c</p><p>%1</p>")
                             .arg(QString(40, QChar(u'\u3042')));
    server_.route("/pieces", {"<body>" + body.toUtf8() + "</body>"});
    for (const size_t piece : {2, 3, 5, 7, 1 << 20}) {
      browser_->setMarkupPiece(piece);
      QCOMPARE(browserHtml("/pieces", false), body);
    }
    browser_->setMarkupPiece(size_t{256} << 10);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  DirectPagesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "direct_pages_test.moc"
