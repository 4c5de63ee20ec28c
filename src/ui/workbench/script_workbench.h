// The script workbench: the editor of a script file with live diagnostics,
// a preview run over the page of the last load on every edit, and the
// picker that turns a piece of that page into script lines.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "engine/text.h"
#include "workbench/pick_shown.h"
#include "workbench/preview.h"
#include "workbench/script_file.h"
#include "workbench/suggest.h"

class QLabel;
class QPlainTextEdit;
class QTableWidget;
class QTreeWidget;
class QTabWidget;

namespace kelvane::ui {

class PagePickView;
class ScriptEditor;

// What the workbench reads of the main window: the page of the last load
// (HT), and the text selected in the HTML box, if any.
struct PageSource {
  std::function<engine::Text()> page;
  std::function<QString()> selectedHtml;
  // The page's address, against which the rendered page's links and images
  // resolve.
  std::function<QString()> url;
};

class ScriptWorkbench : public QWidget {
  Q_OBJECT

 public:
  ScriptWorkbench(const QString& path, PageSource source, QWidget* parent = nullptr);

  // Saves the script in its encoding and line ends; false (and a message) when
  // a character does not fit or the file cannot be written.
  bool save();
  // The same without the message box: the error's text, or nothing.
  std::optional<QString> trySave();
  // Runs the preview now (an edit runs it after a short pause).
  void runPreview();
  // Takes the page of the last load again.
  void reloadPage();
  // The lines proposed for the text selected in the HT pane (or else in the
  // window's HTML box); empty when nothing is selected or found.
  std::vector<workbench::Proposal> proposalsForSelection();
  // Inserts the lines before the line the cursor is on.
  void insertLines(const std::vector<engine::Text>& lines);
  // Proposes lines for the selection and lets the user choose.
  void pick();
  // What a click on the rendered page at the element with this place from
  // <body> offers: the piece as shown and the whole list (nothing when the
  // place is not in HT); the piece's place is selected in the HT pane.
  std::optional<workbench::ShownPick> pickElement(const QList<int>& path);
  // Shows the rendered page (the "ページ" tab) and returns its view.
  PagePickView* showRenderedPage();

  ScriptEditor* editor() const { return editor_; }
  QPlainTextEdit* htPane() const { return ht_; }
  const workbench::PreviewResult& lastPreview() const { return preview_; }
  QString statusText() const;
  const QString& path() const { return path_; }

  static constexpr int kPreviewDelayMs = 150;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void createWidgets();
  void load();
  void showPreview();
  void showProblems();
  engine::Text scriptText() const;
  workbench::PickTarget pickTarget() const;
  void setTitle();

  QString path_;
  PageSource source_;
  workbench::ScriptText file_;
  bool lineFeedsShown_ = false;  // a lone LF inside a line is shown as U+240A
  engine::Text page_;
  workbench::PreviewResult preview_;
  QTimer debounce_;
  ScriptEditor* editor_ = nullptr;
  QTreeWidget* problems_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QPlainTextEdit* display_ = nullptr;
  QTableWidget* buffers_ = nullptr;
  QTreeWidget* lines_ = nullptr;
  QPlainTextEdit* ht_ = nullptr;
  PagePickView* pagePick_ = nullptr;
  engine::Text pageShown_;                        // the page the rendered view shows
  std::optional<workbench::PageText> shownText_;  // page_ as it shows
  QLabel* status_ = nullptr;
};

}  // namespace kelvane::ui
