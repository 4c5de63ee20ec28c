// From a saved shop page to every product as name TAB price: for each shop
// below (its own list structure), `--suggest NAME --list` over the saved
// page gives a script that cuts every product as shown, still after the
// ids are renumbered, the prices change and a product is added, and that
// gives the same display on the page fetched over HTTP.
#include <iconv.h>

#include "run_fixture.h"
#include "support/local_http_server.h"

namespace kelvane::cli {
namespace {

struct Product {
  std::string name;
  int price;
};

std::string grouped(int n) {
  std::string s = std::to_string(n);
  for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3) s.insert(static_cast<size_t>(i), ",");
  return s;
}
// Full-width digits and comma.
std::string wide(const std::string& ascii) {
  std::string out;
  for (char c : ascii)
    out += c == ',' ? "，" : std::string("\xEF\xBC") + static_cast<char>(0x90 + c - '0');
  return out;
}

using Render = std::string (*)(const Product&, int id);
struct Shop {
  const char* name;
  std::string head, foot;  // around the items
  Render item;
  std::string (*shownPrice)(int);
  bool eucJp = false;
};

const Shop kShops[] = {
    {"cards with a sidebar, script data and a comment",
     "<html><head><meta charset=\"utf-8\"><title>みかん（有田） 5kg</title><script>var d=[{\"n\":"
     "\"みかん（有田） 5kg\",\"p\":\"￥1,280\"}];</script></head><body><div class=\"side\"><ul>"
     "<li class=\"item\"><a href=\"/p/9\">みかん（有田） 5kg</a> ￥1,280</li></ul></div>\n"
     "<ul class=\"products\">\n",
     "</ul>\n<!-- <li class=\"item\">古い 1円</li> --><p>お問い合わせ "
     "0120-000-000</p></body></html>",
     [](const Product& p, int id) {
       return "  <li class=\"item\" id=\"p" + std::to_string(id) +
              "\"><h3 class=\"name\"><a href=\"/p/" + std::to_string(id) + "\">" + p.name +
              "</a></h3><p class=\"price\"><b>" + grouped(p.price) +
              "</b><small>円（税込）</small></p></li>\n";
     },
     [](int n) { return grouped(n) + "円（税込）"; }},
    {"a table with a heading row",
     "<html><body><table class=\"list\"><tr><th>商品</th><th>価格</th></tr>\n",
     "</table></body></html>",
     [](const Product& p, int id) {
       return "<tr id=\"r" + std::to_string(id) + "\"><td class=\"n\">" + p.name +
              "</td><td class=\"p\">￥" + grouped(p.price) + "</td></tr>\n";
     },
     [](int n) { return "￥" + grouped(n); }},
    {"nested div cards with a no-break space", "<html><body><div class=\"grid\">",
     "</div><div class=\"card\">広告</div></body></html>",
     [](const Product& p, int id) {
       return "<div class=\"card\" data-id=\"" + std::to_string(id) +
              "\"><div class=\"card-body\"><p class=\"title\">" + p.name +
              "</p><div class=\"cost\">￥&nbsp;" + grouped(p.price) + "</div></div></div>";
     },
     [](int n) { return "￥ " + grouped(n); }},
    {"articles with full-width prices", "<html><body><section class=\"goods\">",
     "</section></body></html>",
     [](const Product& p, int id) {
       return "<article class=\"goods-item\" id=\"g-" + std::to_string(id) + "\"><h2>" + p.name +
              "</h2><p class=\"cost\"><span class=\"yen\">￥</span><span class=\"num\">" +
              wide(grouped(p.price)) + "</span></p></article>";
     },
     [](int n) { return "￥" + wide(grouped(n)); }},
    {"an undeclared EUC-JP ranking",
     "<html><body><ul class=\"nav\"><li>ホーム</li><li>特売</li></ul><ol class=\"rank\">",
     "</ol></body></html>",
     [](const Product& p, int) {
       return "<li><span class=\"nm\">" + p.name + "</span> <em>" + grouped(p.price) +
              "円</em></li>";
     },
     [](int n) { return grouped(n) + "円"; }, true},
    {"a table with generated classes", "<html><body><p>3 点</p><table>", "</table></body></html>",
     [](const Product& p, int id) {
       return "<tr class=\"r-" + std::to_string(id) + "\"><td><a href=\"/i/" + std::to_string(id) +
              "\">" + p.name + "</a></td><td><b>" + grouped(p.price) +
              "</b><small>円（税込）</small></td></tr>";
     },
     [](int n) { return grouped(n) + "円（税込）"; }},
    {"indented blocks with a tax note", "<html><body>\n<div id=\"list\">\n",
     "</div>\n</body></html>",
     [](const Product& p, int id) {
       return "<div class=\"product\" id=\"x" + std::to_string(id) +
              "\">\n  <div class=\"product-name\">\n    " + p.name +
              "\n  </div>\n  <div class=\"product-price\">\n    ¥" + grouped(p.price) +
              " <span class=\"tax\">(税込)</span>\n  </div>\n</div>\n";
     },
     [](int n) { return "¥" + grouped(n) + " (税込)"; }},
    {"a definition list after another one",
     "<html><body><dl><dt>送料</dt><dd>￥500</dd></dl><dl>\n", "</dl></body></html>",
     [](const Product& p, int id) {
       return "<dt id=\"t" + std::to_string(id) + "\">" + p.name +
              "</dt><dd class=\"note\">在庫あり</dd><dd class=\"price\">" + grouped(p.price) +
              "円</dd>\n";
     },
     [](int n) { return grouped(n) + "円"; }},
};

const std::vector<Product> kProducts = {{"モバイルバッテリー 10000mAh", 3980},
                                        {"みかん（有田） 5kg", 1280},
                                        {"延長コード 2m &amp; タップ", 980},
                                        {"USB-C ケーブル 1m 2本", 1480}};

std::string shownName(std::string name) {
  const size_t amp = name.find("&amp;");
  if (amp != std::string::npos) name.replace(amp, 5, "&");
  return name;
}

std::string eucJp(const std::string& utf8) {
  iconv_t cd = iconv_open("EUC-JP", "UTF-8");
  std::string in = utf8, out(utf8.size() * 2, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

struct Page {
  std::string bytes, display;
};
Page render(const Shop& shop, const std::vector<Product>& products, int idBase) {
  Page page{shop.head, {}};
  for (size_t k = 0; k < products.size(); ++k) {
    page.bytes += shop.item(products[k], idBase + static_cast<int>(k) * 7);
    page.display +=
        shownName(products[k].name) + "\t" + shop.shownPrice(products[k].price) + "\r\n";
  }
  page.bytes += shop.foot;
  if (shop.eucJp) page.bytes = eucJp(page.bytes);
  return page;
}

using PageToChart = testing::RunFixture;

TEST_F(PageToChart, AListScriptFromASavedShopPageCutsEveryProductAndHolds) {
  for (const Shop& shop : kShops) {
    SCOPED_TRACE(shop.name);
    const Page base = render(shop, kProducts, 1001);
    const auto saved = write("shop.html", base.bytes);
    const auto offer = run({"--page-as-loaded", saved, "--suggest", kProducts[1].name, "--list"});
    ASSERT_EQ(offer.status, 0) << offer.err;
    const auto script = write("list.spt", offer.out);
    EXPECT_EQ(run({"--page-as-loaded", saved, script}).out, base.display) << offer.out;

    std::vector<Product> dearer = kProducts, more = kProducts;
    for (Product& p : dearer) p.price += 1110;
    more.insert(more.begin() + 2, {"ノート A5 30枚", 298});
    const Page variants[] = {render(shop, kProducts, 7350), render(shop, dearer, 1001),
                             render(shop, more, 1001)};
    for (const Page& v : variants)
      EXPECT_EQ(run({"--page-as-loaded", write("v.html", v.bytes), script}).out, v.display);

    kelvane::testing::LocalHttpServer server([&](auto&, int fd, const std::string&, const auto&) {
      kelvane::testing::LocalHttpServer::reply(fd, "200 OK", "Content-Type: text/html\r\n",
                                               base.bytes);
    });
    const auto live = write("live.spt", "URL\t\"" + server.url("/shop") + "\"\r\n" + offer.out);
    const auto fetched = run({"--fetch", "direct", live});
    EXPECT_EQ(fetched.out, base.display) << fetched.err;
  }
}

TEST_F(PageToChart, TextTypedAsShownIsCutAsShownOrItsNearestPlacesAreSaid) {
  const Page base = render(kShops[0], kProducts, 1001);
  const auto saved = write("shop.html", base.bytes);
  const struct {
    const char* typed;
    int status;
    const char* shown;  // what the printed script cuts; or the start of the message
  } cases[] = {
      {"1,280円（税込）", 0, "1,280円（税込）"},
      {"１，２８０円", 0, "1,280円"},
      {"延長コード 2m & タップ", 0, "延長コード 2m & タップ"},
      {"みかん（有田）5kg", 2, "kelvane-run: \"みかん（有田）5kg\" does not occur in HT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    const auto r = run({"--page-as-loaded", saved, "--suggest", c.typed});
    ASSERT_EQ(r.status, c.status) << r.err;
    if (c.status != 0) {
      EXPECT_EQ(r.err.substr(0, std::string(c.shown).size()), c.shown);
      EXPECT_NE(r.err.find("white space left out"), std::string::npos) << r.err;
      continue;
    }
    EXPECT_EQ(run({"--page-as-loaded", saved, write("s.spt", r.out)}).out, c.shown) << r.out;
  }
  const auto head = run({"--page-as-loaded", saved, "--suggest", "var d="});
  EXPECT_EQ(head.status, 2);
  EXPECT_NE(head.err.find("only in the saved file's text"), std::string::npos) << head.err;
}

TEST_F(PageToChart, ASavedPageAsLoadedIsTheBodyTheDirectFetchGives) {
  const std::string pages[] = {
      "<html><head><title>t</title></head><body><div/>a<br/>b</body></html>",
      "<p>1,280\xC2\xA0\xE5\x86\x86<p>&amp; &lt;b&gt; &nbsp;x\r\n<b>y</i>",
      eucJp("<html><body><p>\xE3\x81\xBF\xE3\x81\x8B\xE3\x82\x93 "
            "1,280\xE5\x86\x86</p></body></html>"),
      "<table><td>1<td>2</table><script>var s='</div>';</script>",
  };
  const auto script = write("none.spt", "REM\r\n");
  for (const std::string& bytes : pages) {
    const auto saved = write("saved.html", bytes);
    kelvane::testing::LocalHttpServer server([&](auto&, int fd, const std::string&, const auto&) {
      kelvane::testing::LocalHttpServer::reply(fd, "200 OK", "Content-Type: text/html\r\n", bytes);
    });
    const auto live = write("live.spt", "URL\t\"" + server.url("/p") + "\"\r\n");
    const auto loaded = run({"--page-as-loaded", saved, "--print", "HT", script});
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(loaded.out, run({"--fetch", "direct", "--print", "HT", live}).out);
    EXPECT_NE(loaded.out, run({"--page", saved, "--print", "HT", script}).out);
  }
}

}  // namespace
}  // namespace kelvane::cli
