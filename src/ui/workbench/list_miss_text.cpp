#include "ui/workbench/list_miss_text.h"

#include <QCoreApplication>
#include <string_view>

#include "workbench/list_miss.h"

namespace kelvane::ui {
namespace {

namespace miss = workbench::list_miss;

struct Said {
  const char* why;
  const char* text;
};

constexpr Said kReasons[] = {
    {miss::kNotHtml, QT_TRANSLATE_NOOP("ListMiss", "ページを HTML として読めません")},
    {miss::kNotInElement, QT_TRANSLATE_NOOP("ListMiss", "選んだ所が要素の中にありません")},
    {miss::kNoList,
     QT_TRANSLATE_NOOP("ListMiss", "選んだ所は値のある項目の並びの一部ではありません")},
    {miss::kNotAsShown,
     QT_TRANSLATE_NOOP("ListMiss", "見つけた行では表示どおりに出ない項目があります")},
    {miss::kOwnTagsMiss, QT_TRANSLATE_NOOP("ListMiss", "項目自身のタグでは文字を見つけられません")},
    {miss::kUntagged,
     QT_TRANSLATE_NOOP("ListMiss", "項目の中に自分のタグを持たず見つけられない要素があります")},
    {miss::kBracketInAttribute,
     QT_TRANSLATE_NOOP("ListMiss", "属性の中に「>」を含む開始タグがあります")},
    {miss::kNested,
     QT_TRANSLATE_NOOP("ListMiss", "項目の中に同じ種類の要素が入れ子になっています")},
    {miss::kTooFewItems, QT_TRANSLATE_NOOP("ListMiss", "名前と値の両方を持つ項目が二つ未満です")},
    {miss::kStartTagsDiffer,
     QT_TRANSLATE_NOOP("ListMiss", "項目の開始タグに共通する所が少なすぎます")},
    {miss::kStartTagShared,
     QT_TRANSLATE_NOOP("ListMiss", "項目の開始タグがほかの要素の開始にも使われています")},
    {miss::kNoStart,
     QT_TRANSLATE_NOOP("ListMiss", "並びの前に，並びの始まりを見つける目印がありません")},
    {miss::kNoEnd,
     QT_TRANSLATE_NOOP("ListMiss", "並びの後に，並びの終わりを見つける目印がありません")},
    {miss::kItemLacks,
     QT_TRANSLATE_NOOP("ListMiss", "選んだ項目にある名前か値を持たない項目があります")},
    {miss::kTooMuchMarkup,
     QT_TRANSLATE_NOOP("ListMiss", "名前か値にタグが多すぎて切り出せない項目があります")},
};

constexpr Said kVariants[] = {
    {miss::kValuesChanged, QT_TRANSLATE_NOOP("ListMiss", "値を変えたページ")},
    {miss::kIdsRenumbered, QT_TRANSLATE_NOOP("ListMiss", "番号を振り直したページ")},
    {miss::kItemAdded, QT_TRANSLATE_NOOP("ListMiss", "項目を一つ足したページ")},
    {miss::kItemRemoved, QT_TRANSLATE_NOOP("ListMiss", "項目を一つ除いたページ")},
};

QString said(const Said& s) {
  return QCoreApplication::translate("ListMiss", s.text);
}

}  // namespace

QString listMissText(const std::string& why) {
  for (const Said& s : kReasons)
    if (why == s.why) return said(s);
  const std::string_view failed(miss::kFailsOnVariant);
  if (why.starts_with(failed)) {
    for (const Said& v : kVariants) {
      if (why.compare(failed.size(), std::string::npos, v.why) == 0) {
        return QCoreApplication::translate("ListMiss", "見つけた行は%1で正しく動きません")
            .arg(said(v));
      }
    }
  }
  return QString::fromStdString(why);
}

}  // namespace kelvane::ui
