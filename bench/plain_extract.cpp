// The same jobs as bench/job-a.spt and bench/job-b.spt written directly in
// C++, as the baseline: one upper-cased copy of the page, a find loop,
// appends, one write. Usage: bench_plain_extract a|b PAGE
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const char job = argv[1][0];
  std::ifstream in(argv[2], std::ios::binary);
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string upper = page;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  const std::string start = "<LI CLASS=\"ITEM\">", end = "</LI>";
  const std::string priceStart = "<SPAN CLASS=\"PRICE\">", priceEnd = "</SPAN>";
  std::string out;
  size_t at = 0;
  for (;;) {
    const size_t a = upper.find(start, at);
    if (a == std::string::npos) break;
    const size_t from = a + start.size();
    const size_t b = upper.find(end, from);
    if (b == std::string::npos) break;
    if (job == 'a') {
      out.append(page, from, b - from);
    } else {
      // name: between the end of the first tag and "</A>"; price: in its span.
      const size_t tagEnd = upper.find('>', from);
      const size_t nameEnd = upper.find("</A>", tagEnd);
      const size_t p = upper.find(priceStart, from);
      const size_t q = upper.find(priceEnd, p + priceStart.size());
      out.append(page, tagEnd + 1, nameEnd - tagEnd - 1);
      out += '\t';
      out.append(page, p + priceStart.size(), q - p - priceStart.size());
    }
    out += "\r\n";
    at = b + end.size();
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
