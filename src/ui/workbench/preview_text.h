// What the workbench shows of a preview and of the engine's diagnostics, as
// texts and in its list widgets.
#pragma once

#include <QString>
#include <vector>

#include "engine/script.h"
#include "workbench/preview.h"

class QTableWidget;
class QTextDocument;
class QTreeWidget;

namespace kelvane::ui {

QString problemText(const engine::LineProblem& problem);
// A marker not found, with the nearest candidates, one a line.
QString missText(const workbench::PreviewMiss& miss, int times);
// How long the preview took, and whether it was cut off.
QString previewStatus(const workbench::PreviewResult& result);
void fillBuffers(QTableWidget* table, const workbench::PreviewResult& result);
// For each line that ran or said something: its changes, messages, misses.
void fillLines(QTreeWidget* tree, const workbench::PreviewResult& result,
               const QTextDocument* script);
// Which occurrence (from 1) of selected in text starts at `start`.
int occurrenceAt(const QString& text, const QString& selected, qsizetype start);
// Lines joined for a tooltip.
QString linesText(const std::vector<engine::Text>& lines);

}  // namespace kelvane::ui
