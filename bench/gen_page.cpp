// Writes a listing page of N items (about 250 bytes each, tags in mixed letter
// case, Japanese text) to standard output: bench_gen_page N
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const long items = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 32000;
  static const char* kNames[] = {"北海道産 じゃがいも", "青森県産 りんご（ふじ）",
                                 "愛媛県産 みかん", "鹿児島県産 さつまいも", "長野県産 レタス"};
  static const char* kOpen[] = {"<li class=\"item\">", "<LI class=\"item\">",
                                "<Li class=\"item\">"};
  static const char* kClose[] = {"</li>", "</LI>", "</lI>"};
  std::string page =
      "<html><head><meta charset=\"utf-8\"><title>商品一覧</title></head>\n"
      "<body><h1>本日の商品一覧</h1>\n<ul class=\"items\">\n";
  for (long i = 0; i < items; ++i) {
    const int c = static_cast<int>(i % 3);
    page += kOpen[c];
    page += "<A href=\"/items/" + std::to_string(i) + "\" title=\"商品の詳細を見る\">";
    page += kNames[i % 5];
    page += " 第" + std::to_string(i) + "便</A> <SPAN class=\"price\">￥" +
            std::to_string(100 + (i * 37) % 9900) + "</SPAN> <span class=\"stock\">在庫あり・" +
            "本日発送</span> <span class=\"note\">送料無料 ポイント2倍</span>";
    page += kClose[c];
    page += "\n";
  }
  page += "</ul>\n<p>以上です。</p></body></html>\n";
  std::fwrite(page.data(), 1, page.size(), stdout);
  return 0;
}
