#include "mime/html_to_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const std::string& html) {
    CString result("stale");
    HtmlToText(CString(html), result);
    return result.str();
}

TEST(HtmlToTextTest, Table) {
    const struct {
        const char* name;
        std::string html;
        std::string text;
    } cases[] = {
        {"paragraphs", "<p>One</p><p>Two</p>", "One\nTwo\n"},
        {"line break tags in any case", "a<BR>b<br>c<Br>", "a\nb\nc\n"},
        {"self-closing or attributed break gives nothing", "a<br/>b<br >c<br class=x>d", "abcd"},
        {"closing paragraph with attributes gives nothing", "a</p class=x>b", "ab"},
        {"title text stays, then a line feed", "<html><title>Hi</title><body>x</body>", "Hi\nx"},
        {"script content dropped whatever tags stand between",
         "a<script type=x>if (1 < 2) <b>x</b> y > z;</script>b", "ab"},
        {"script closing tag in capitals", "a<SCRIPT>x</SCRIPT>b", "ab"},
        {"style sheets are not dropped", "<style>p {color: red}</style>t", "p {color: red}t"},
        {"nbsp and lt vanish", "<b>a&nbsp;b&lt;c</b>", "abc"},
        {"amp loses only its ampersand", "<b>x</b>a&amp; b", "xaamp; b"},
        {"lone ampersand vanishes", "<i></i>fish & chips", "fish  chips"},
        {"entity near the end is not looked past", "<i></i>a&lt", "alt"},
        {"line break and indentation become one space", "<p>a\n     b</p>", "a b\n"},
        {"CR LF becomes one space", "<p>a\r\nb</p>", "a b\n"},
        {"line breaks inside a tag are collected", "<a\nhref=x>l</a>", "l"},
        {"non-ascii bytes copied", "<b>caf\xE9</b>", "caf\xE9"},
        {"stray closing bracket is text-neutral outside script", "<b></b>a > b", "a  b"},
        {"unterminated tag swallows the rest", "ok<b never closed", "ok"},
        {"without any tag the input comes back unchanged", "a &amp; b\r\n  c", "a &amp; b\r\n  c"},
        {"empty", "", ""},
        // Tags longer than the buffer are cut but still end at ">". An overlong closing tag is no
        // longer recognised, so the script goes on; a break tag inside it still writes its line feed.
        {"long script tag", "<script " + std::string(400, 'x') + ">hidden</script>shown", "shown"},
        {"long closing tag", "<script>x</script" + std::string(300, ' ') + ">still hidden<br>", "\n"},
        {"long break tag", "a<br" + std::string(300, ' ') + ">b", "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.html), c.text) << c.name;
}

}  // namespace
