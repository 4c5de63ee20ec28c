#include "acquisition/login_check.h"

#include <gtest/gtest.h>

namespace kelvane::acquisition {
namespace {

TEST(LoginCheck, AnswersAndRedirectsThatAskForALogin) {
  const std::u16string form =
      u"<form><INPUT name=\"u\"><input Type=\"PASSWORD\" name=\"p\"></form>";
  const std::u16string page = u"<p>member price</p><input type=\"text\" value=\"password\">";
  const struct {
    const char* finalUrl;
    std::optional<int> status;
    const std::u16string* body;
    bool needed;
  } cases[] = {
      {"http://h/login", 200, &form, true},      // redirected to a form with a password
      {"http://h/members/", 200, &form, false},  // the page asked for is itself a form
      {"https://h/members", 200, &form, false},  // only moved to https
      {"http://h/other", 200, &page, false},     // redirected, but no password field
      {"http://h/members", 403, nullptr, true},  // refused
      {"http://h/members", 401, nullptr, true}, {"http://h/members", 404, nullptr, false},
      {"", std::nullopt, &form, false},  // nothing known of the address
  };
  for (const auto& c : cases) {
    const std::optional<std::u16string_view> body =
        c.body ? std::optional<std::u16string_view>(*c.body) : std::nullopt;
    EXPECT_EQ(loginNeeded("http://h/members", c.finalUrl, c.status, body ? &*body : nullptr),
              c.needed)
        << c.finalUrl << " " << c.status.value_or(0);
  }
}

}  // namespace
}  // namespace kelvane::acquisition
