#include "ui/workbench/script_workbench.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/script.h"
#include "ui/workbench/list_miss_text.h"
#include "ui/workbench/page_pick_view.h"
#include "ui/workbench/preview_text.h"
#include "ui/workbench/script_editor.h"
#include "ui/workbench/script_highlighter.h"

namespace kelvane::ui {

using engine::Text;

namespace {

// Shown for a line feed inside a line, which does not end a script line.
constexpr char16_t kLineFeedSign = u'\u240A';

QString qs(engine::TextView text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ScriptWorkbench::ScriptWorkbench(const QString& path, PageSource source, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(path), source_(std::move(source)) {
  setObjectName(QStringLiteral("ScriptWorkbench"));
  setAttribute(Qt::WA_DeleteOnClose);
  createWidgets();
  debounce_.setSingleShot(true);
  debounce_.setInterval(kPreviewDelayMs);
  connect(&debounce_, &QTimer::timeout, this, &ScriptWorkbench::runPreview);
  load();
  connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
    showProblems();
    debounce_.start();
  });
  connect(editor_->document(), &QTextDocument::modificationChanged, this, [this] { setTitle(); });
  resize(1100, 700);
}

void ScriptWorkbench::createWidgets() {
  auto* saveButton =
      new QPushButton(QCoreApplication::translate("ScriptWorkbench", "保存(&S)"), this);
  saveButton->setShortcut(QKeySequence::Save);
  auto* pickButton =
      new QPushButton(QCoreApplication::translate("ScriptWorkbench", "選択から行を作る(&P)"), this);
  pickButton->setObjectName(QStringLiteral("PickButton"));
  auto* pageButton =
      new QPushButton(QCoreApplication::translate("ScriptWorkbench", "ページを取り直す(&R)"), this);
  status_ = new QLabel(this);
  connect(saveButton, &QPushButton::clicked, this, &ScriptWorkbench::save);
  connect(pickButton, &QPushButton::clicked, this, &ScriptWorkbench::pick);
  connect(pageButton, &QPushButton::clicked, this, &ScriptWorkbench::runPreview);
  auto* bar = new QHBoxLayout;
  bar->addWidget(saveButton);
  bar->addWidget(pickButton);
  bar->addWidget(pageButton);
  bar->addWidget(status_, 1);

  editor_ = new ScriptEditor(this);
  editor_->setObjectName(QStringLiteral("ScriptEditor"));
  new ScriptHighlighter(editor_->document());
  problems_ = new QTreeWidget(this);
  problems_->setHeaderLabels({QCoreApplication::translate("ScriptWorkbench", "行"),
                              QCoreApplication::translate("ScriptWorkbench", "内容")});
  problems_->setRootIsDecorated(false);
  connect(problems_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    const QTextBlock block = editor_->document()->findBlockByNumber(item->text(0).toInt());
    if (block.isValid()) editor_->setTextCursor(QTextCursor(block));
    editor_->setFocus();
  });
  auto* left = new QSplitter(Qt::Vertical, this);
  left->addWidget(editor_);
  left->addWidget(problems_);
  left->setStretchFactor(0, 4);
  left->setStretchFactor(1, 1);

  const auto readOnlyText = [this](const char* name) {
    auto* box = new QPlainTextEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    return box;
  };
  display_ = readOnlyText("PreviewDisplay");
  buffers_ = new QTableWidget(0, 3, this);
  buffers_->setHorizontalHeaderLabels({QCoreApplication::translate("ScriptWorkbench", "バッファ"),
                                       QCoreApplication::translate("ScriptWorkbench", "長さ"),
                                       QCoreApplication::translate("ScriptWorkbench", "内容")});
  buffers_->horizontalHeader()->setStretchLastSection(true);
  buffers_->verticalHeader()->hide();
  buffers_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lines_ = new QTreeWidget(this);
  lines_->setHeaderLabels({QCoreApplication::translate("ScriptWorkbench", "行"),
                           QCoreApplication::translate("ScriptWorkbench", "回数"),
                           QCoreApplication::translate("ScriptWorkbench", "変化・メッセージ")});
  ht_ = readOnlyText("PreviewHT");
  ht_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  tabs_ = new QTabWidget(this);
  tabs_->addTab(display_, QCoreApplication::translate("ScriptWorkbench", "表示 (D)"));
  tabs_->addTab(lines_, QCoreApplication::translate("ScriptWorkbench", "各行"));
  tabs_->addTab(buffers_, QCoreApplication::translate("ScriptWorkbench", "バッファ"));
  tabs_->addTab(ht_, QCoreApplication::translate("ScriptWorkbench", "HT（選んで行を作る）"));
  // The rendered page is made when it is first shown.
  auto* pageTab = new QWidget(this);
  pageTab->setObjectName(QStringLiteral("RenderedPageTab"));
  new QVBoxLayout(pageTab);
  pageTab->layout()->setContentsMargins(0, 0, 0, 0);
  tabs_->addTab(pageTab,
                QCoreApplication::translate("ScriptWorkbench", "ページ（クリックで選ぶ）"));
  connect(tabs_, &QTabWidget::currentChanged, this, [this, pageTab](int index) {
    if (tabs_->widget(index) == pageTab) showRenderedPage();
  });

  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(left);
  split->addWidget(tabs_);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(split, 1);
}

void ScriptWorkbench::load() {
  if (auto read = workbench::readScript(path_.toStdString())) file_ = std::move(*read);
  QStringList lines;
  for (Text line : file_.lines) {
    for (char16_t& c : line) {
      if (c == u'\n') c = kLineFeedSign, lineFeedsShown_ = true;
    }
    lines << qs(line);
  }
  editor_->setPlainText(lines.join(QLatin1Char('\n')));
  editor_->document()->setModified(false);
  setTitle();
}

void ScriptWorkbench::setTitle() {
  setWindowTitle(QCoreApplication::translate("ScriptWorkbench", "スクリプト編集 - ") + path_ +
                 (editor_->document()->isModified() ? QStringLiteral(" *") : QString()));
}

// Every line, the last too, ends with CR LF: a lone LF put back inside a
// line is then read as part of it, as in the file.
Text ScriptWorkbench::scriptText() const {
  Text text = editor_->toPlainText().toStdU16String();
  Text script;
  script.reserve(text.size() + text.size() / 16 + 2);
  for (char16_t c : text) {
    if (c == u'\n')
      script += u"\r\n";
    else
      script += (c == kLineFeedSign && lineFeedsShown_) ? u'\n' : c;
  }
  return script += u"\r\n";
}

bool ScriptWorkbench::save() {
  if (const auto error = trySave()) {
    QMessageBox::warning(this, windowTitle(), *error);
    return false;
  }
  return true;
}

std::optional<QString> ScriptWorkbench::trySave() {
  workbench::ScriptText out = file_;
  out.lines.clear();
  const Text text = scriptText();
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find(u"\r\n", at), text.size());
    out.lines.emplace_back(text.substr(at, end - at));
    at = end + 2;
  }
  if (const auto error = workbench::saveScript(path_.toStdString(), out)) return qs(*error);
  file_ = std::move(out);
  editor_->document()->setModified(false);
  status_->setText(QCoreApplication::translate("ScriptWorkbench", "保存しました．"));
  return std::nullopt;
}

void ScriptWorkbench::closeEvent(QCloseEvent* event) {
  if (editor_->document()->isModified()) {
    const auto answer = QMessageBox::question(
        this, windowTitle(),
        QCoreApplication::translate("ScriptWorkbench",
                                    "スクリプトが変更されています．保存しますか？"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !save())) {
      event->ignore();
      return;
    }
  }
  event->accept();
}

void ScriptWorkbench::reloadPage() {
  Text page = source_.page ? source_.page() : Text();
  if (page == page_ && !ht_->document()->isEmpty()) return;
  page_ = std::move(page);
  shownText_.reset();
  ht_->setPlainText(qs(page_));
}

void ScriptWorkbench::runPreview() {
  debounce_.stop();
  // A load in the window since the last preview brings its page.
  reloadPage();
  preview_ = workbench::preview(scriptText(), page_);
  showPreview();
}

QString ScriptWorkbench::statusText() const {
  return status_->text();
}

void ScriptWorkbench::showProblems() {
  const auto problems = workbench::diagnoseScript(scriptText());
  std::vector<ScriptEditor::Mark> marks;
  problems_->clear();
  for (const engine::LineProblem& p : problems) {
    const QString text = problemText(p);
    marks.push_back({p.line, ScriptEditor::Mark::Kind::Problem, text});
    problems_->addTopLevelItem(new QTreeWidgetItem({QString::number(p.line), text}));
  }
  for (size_t i = 0; i < preview_.lines.size(); ++i) {
    if (preview_.lines[i].miss)
      marks.push_back({static_cast<int>(i), ScriptEditor::Mark::Kind::Miss,
                       missText(*preview_.lines[i].miss, preview_.lines[i].misses)});
  }
  editor_->setMarks(std::move(marks));
}

void ScriptWorkbench::showPreview() {
  display_->setPlainText(qs(preview_.buffer(engine::BufferId::D)));
  fillBuffers(buffers_, preview_);
  fillLines(lines_, preview_, editor_->document());
  showProblems();
  status_->setText(previewStatus(preview_));
}

workbench::PickTarget ScriptWorkbench::pickTarget() const {
  // A work buffer the script does not use, so the lines disturb nothing.
  bool used[5] = {};
  const Text text = scriptText();
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find(u"\r\n", at), text.size());
    for (const engine::Field& f : engine::ParsedLine::read(text.substr(at, end - at)).fields) {
      if (!f.name) continue;
      const int k = static_cast<int>(f.name->id) - static_cast<int>(engine::BufferId::V1);
      if (k >= 0 && k < 5) used[k] = true;
    }
    at = end + 2;
  }
  int free = 4;
  for (int k = 0; k < 5; ++k) {
    if (!used[k]) {
      free = k;
      break;
    }
  }
  return {u"V" + Text(1, static_cast<char16_t>(u'1' + free)), u"D", true};
}

std::vector<workbench::Proposal> ScriptWorkbench::proposalsForSelection() {
  QString selected;
  int occurrence = 1;
  const QTextCursor c = ht_->textCursor();
  if (c.hasSelection()) {
    selected = c.selectedText();
    occurrence = occurrenceAt(ht_->toPlainText(), selected, c.selectionStart());
  } else if (source_.selectedHtml) {
    selected = source_.selectedHtml();
  }
  selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  if (selected.isEmpty()) return {};
  const Text piece = selected.toStdU16String();
  const size_t at = workbench::findOccurrence(page_, piece, occurrence);
  if (at == Text::npos) return {};
  return workbench::suggest(page_, at, piece.size(), pickTarget());
}

PagePickView* ScriptWorkbench::showRenderedPage() {
  QWidget* tab = findChild<QWidget*>(QStringLiteral("RenderedPageTab"));
  tabs_->setCurrentWidget(tab);
  if (!pagePick_) {
    pagePick_ = new PagePickView(tab);
    tab->layout()->addWidget(pagePick_);
    connect(pagePick_, &PagePickView::picked, this, [this](const QList<int>& path, const QString&) {
      const auto offer = pickElement(path);
      if (!offer) return;
      // The lines go after the script's last URL line when the cursor is
      // above it: they cut the page that line loads.
      int lastUrl = -1;
      for (QTextBlock b = editor_->document()->begin(); b.isValid(); b = b.next())
        if (b.text()
                .section(QLatin1Char('\t'), 0, 0)
                .compare(QLatin1String("URL"), Qt::CaseInsensitive) == 0)
          lastUrl = b.blockNumber();
      if (editor_->textCursor().blockNumber() <= lastUrl) {
        QTextCursor after(editor_->document()->findBlockByNumber(lastUrl));
        if (!after.movePosition(QTextCursor::NextBlock)) {
          after.movePosition(QTextCursor::EndOfBlock);
          after.insertText(QStringLiteral("\n"));
        }
        editor_->setTextCursor(after);
      }
      // Not modal: the page stays live under the menu.
      auto* menu = new QMenu(this);
      menu->setObjectName(QStringLiteral("PagePickMenu"));
      menu->setAttribute(Qt::WA_DeleteOnClose);
      if (!offer->piece.empty()) {
        QAction* a = menu->addAction(
            QCoreApplication::translate("ScriptWorkbench", "この値「%1」を切り出す（%2 行）")
                .arg(qs(offer->shown).left(40))
                .arg(offer->piece.size()));
        connect(a, &QAction::triggered, this, [this, lines = offer->piece] { insertLines(lines); });
      }
      if (offer->list.offer) {
        QAction* a = menu->addAction(
            QCoreApplication::translate("ScriptWorkbench",
                                        "リストの全項目を「名前<TAB>値」で（%1 件，%2 行）")
                .arg(offer->list.offer->display.size())
                .arg(offer->list.offer->lines.size()));
        a->setToolTip(linesText(offer->list.offer->display));
        connect(a, &QAction::triggered, this,
                [this, lines = offer->list.offer->lines] { insertLines(lines); });
      }
      menu->setToolTipsVisible(true);
      if (menu->isEmpty())
        menu->deleteLater();
      else
        menu->popup(QCursor::pos());
    });
  }
  reloadPage();
  if (pageShown_ != page_ || !pagePick_->loaded()) {
    pageShown_ = page_;
    pagePick_->showPage(page_, QUrl(source_.url ? source_.url() : QString()));
    // Read while the view draws, so that a click pays only for its lines.
    if (!shownText_) shownText_ = workbench::readPageText(page_);
  }
  return pagePick_;
}

std::optional<workbench::ShownPick> ScriptWorkbench::pickElement(const QList<int>& path) {
  if (!shownText_) shownText_ = workbench::readPageText(page_);
  const int32_t element = workbench::elementAtPath(*shownText_, {path.begin(), path.end()});
  const auto match = workbench::shownOfElement(*shownText_, element);
  if (!match) {
    status_->setText(QCoreApplication::translate(
        "ScriptWorkbench", "クリックした所は HT にありません（文字のない要素です）．"));
    return std::nullopt;
  }
  workbench::ShownPick pick = workbench::pickShown(page_, *shownText_, *match);
  QTextCursor c = ht_->textCursor();
  c.setPosition(static_cast<int>(pick.htBegin));
  c.setPosition(static_cast<int>(pick.htEnd), QTextCursor::KeepAnchor);
  ht_->setTextCursor(c);
  status_->setText(
      QCoreApplication::translate("ScriptWorkbench", "HT の %1 文字目から %2 文字: 「%3」%4")
          .arg(pick.htBegin + 1)
          .arg(pick.htEnd - pick.htBegin)
          .arg(qs(pick.shown).left(60))
          .arg(pick.list.offer ? QString()
                               : QCoreApplication::translate("ScriptWorkbench",
                                                             "（リストは見つかりません: %1）")
                                     .arg(listMissText(pick.list.why))));
  return pick;
}

void ScriptWorkbench::insertLines(const std::vector<Text>& lines) {
  QTextCursor c = editor_->textCursor();
  c.movePosition(QTextCursor::StartOfBlock);
  QString text;
  for (const Text& line : lines) text += qs(line) + QLatin1Char('\n');
  c.insertText(text);
  editor_->setTextCursor(c);
}

void ScriptWorkbench::pick() {
  const auto proposals = proposalsForSelection();
  if (proposals.empty()) {
    status_->setText(QCoreApplication::translate("ScriptWorkbench",
                                                 "HT の中の切り出したい文字列を選んでください．"));
    return;
  }
  QMenu menu(this);
  for (const workbench::Proposal& p : proposals) {
    const bool every = p.kind == workbench::Proposal::Kind::EveryItem;
    const QString label =
        every
            ? QCoreApplication::translate("ScriptWorkbench", "リストの全項目を集める LOOP（%1 行）")
            : QCoreApplication::translate("ScriptWorkbench", "この値を切り出す（%1 行）");
    QAction* action = menu.addAction(label.arg(p.lines.size()));
    action->setToolTip(linesText(p.lines));
    connect(action, &QAction::triggered, this, [this, lines = p.lines] { insertLines(lines); });
  }
  menu.setToolTipsVisible(true);
  menu.exec(QCursor::pos());
}

}  // namespace kelvane::ui
