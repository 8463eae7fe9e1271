#include "responses/readme_text.h"

#include <gtest/gtest.h>

namespace quorvane::responses {
namespace {

TEST(RenderReadme, RendersCommonMark) {
    EXPECT_EQ(RenderReadme("# Photos\n\nFrom *June*, see [the list](list.txt).\n"),
              "<h1>Photos</h1>\n<p>From <em>June</em>, see <a href=\"list.txt\">the "
              "list</a>.</p>\n");
    EXPECT_EQ(RenderReadme(""), "");
}

// The README is anyone's who may upload: nothing in it may become markup
// or script of the page.
TEST(RenderReadme, DropsRawHtmlAndLinksThatRunCode) {
    const std::string_view hostile[] = {
        "<script>alert(1)</script>",    "text <script>alert(1)</script> text",
        "<img src=x onerror=alert(1)>", "<iframe src=\"https://elsewhere.example\"></iframe>",
        "[a](javascript:alert(1))",     "[a](JavaScript:alert(1))",
        "[a](vbscript:msgbox)",         "[a](data:text/html;base64,PHNjcmlwdD4=)",
        "![a](javascript:alert(1))",    "[a]: javascript:alert(1)\n\n[a]",
        "<javascript:alert(1)>",        "<a href=\"javascript:alert(1)\">a</a>",
    };
    for (const std::string_view markdown : hostile) {
        const std::string html = RenderReadme(markdown);
        for (const std::string_view word :
             {"<script", "<img src=\"x\"", "onerror", "<iframe", "href=\"javascript",
              "href=\"JavaScript", "href=\"vbscript", "src=\"javascript", "href=\"data"}) {
            EXPECT_EQ(html.find(word), std::string::npos) << markdown << " gave " << html;
        }
    }
    // What the visitor reads stays, as text.
    EXPECT_EQ(RenderReadme("[a](javascript:alert(1))"), "<p><a href=\"\">a</a></p>\n");
    EXPECT_EQ(RenderReadme("1 < 2 & \"x\""), "<p>1 &lt; 2 &amp; &quot;x&quot;</p>\n");
}

TEST(RenderReadme, ReplacesBytesThatAreNotUtf8) {
    EXPECT_EQ(RenderReadme("a\xFF"
                           "b"),
              "<p>a\xEF\xBF\xBD"
              "b</p>\n");
}

TEST(RenderReadme, LeavesOutTextsPastTheBound) {
    const std::string line = "word ";
    std::string atBound;
    while (atBound.size() + line.size() <= kMaxReadmeBytes) {
        atBound += line;
    }
    atBound.resize(kMaxReadmeBytes, 'x');
    EXPECT_FALSE(RenderReadme(atBound).empty());
    EXPECT_EQ(RenderReadme(atBound + "x"), "");
}

}  // namespace
}  // namespace quorvane::responses
