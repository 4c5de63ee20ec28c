// The script workbench's preview of the bundled example after an edit: from
// the end of the pause after the last keystroke to the preview shown (the
// run, the display, buffers, lines and marks filled and painted), against
// one plain run of the same script in the same process; interleaved,
// medians.   QT_QPA_PLATFORM=offscreen bench_workbench_preview SCRIPT PAGE [ROUNDS]
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/engine.h"
#include "textfile/file_io.h"
#include "textfile/web_charset.h"
#include "ui/workbench/script_editor.h"
#include "ui/workbench/script_workbench.h"
#include "workbench/quiet_host.h"
#include "workbench/script_file.h"

namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_workbench_preview SCRIPT PAGE [ROUNDS]\n");
    return 2;
  }
  const auto bytes = kelvane::textfile::readFileBytes(argv[2]);
  if (!bytes) return 2;
  const kelvane::engine::Text page = kelvane::textfile::decodeWebPage(*bytes).text;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 31;
  kelvane::ui::ScriptWorkbench bench(QString::fromLocal8Bit(argv[1]),
                                     {[&] { return page; }, {}, {}});
  bench.show();
  bench.runPreview();
  QCoreApplication::processEvents();
  kelvane::engine::Text script;
  const auto file = kelvane::workbench::readScript(argv[1]);
  if (!file) return 2;
  for (const auto& line : file->lines) script += line + u"\r\n";

  std::vector<double> previewMs, runMs;
  for (int r = 0; r < rounds; ++r) {
    // An edit: a letter typed at the end of the first line.
    QTextCursor c(bench.editor()->document());
    c.movePosition(QTextCursor::EndOfBlock);
    c.insertText(QStringLiteral("x"));
    QElapsedTimer t;
    t.start();
    bench.runPreview();
    QCoreApplication::processEvents();  // painted
    previewMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);

    t.start();
    kelvane::workbench::QuietHost host;
    kelvane::engine::Engine engine(host);
    engine.ht().assign(page);
    engine.runScriptText(script);
    runMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  const double p = median(previewMs), s = median(runMs);
  std::printf(
      "%d rounds: preview after an edit: median %.2f ms (most %.2f); one plain run: "
      "median %.3f ms; ratio %.0f\n",
      rounds, p, *std::max_element(previewMs.begin(), previewMs.end()), s, p / s);
  bench.editor()->document()->setModified(false);
  return 0;
}
