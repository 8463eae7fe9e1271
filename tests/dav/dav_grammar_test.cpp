// What WebDAV clients send besides the body's bytes: XML, If headers,
// lock timeouts, the names they give.
#include <gtest/gtest.h>

#include "dav/if_header.h"
#include "dav/lock_table.h"
#include "dav/webdav.h"
#include "dav/xml_document.h"

namespace quorvane::dav {
namespace {

TEST(XmlBodies, NamesResolveToNamespacesAndValuesRoundTrip) {
    const auto root = ParseXml(
        "<?xml version=\"1.0\"?><D:propertyupdate xmlns:D=\"DAV:\" xmlns:Z=\"urn:z\"><D:set>"
        "<D:prop><Z:note lang=\"en\">a &amp; <Z:b>bold</Z:b> tail<e xmlns=\"\"/></Z:note>"
        "</D:prop></D:set></D:propertyupdate>");
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->Is(kDavNamespace, "propertyupdate"));
    const XmlElement* prop = root->Child(kDavNamespace, "set")->Child(kDavNamespace, "prop");
    ASSERT_NE(prop, nullptr);
    const XmlElement& note = prop->children.at(0);
    EXPECT_TRUE(note.Is("urn:z", "note"));
    EXPECT_EQ(note.InnerXml(), "a &amp; <q:b xmlns:q=\"urn:z\">bold</q:b> tail<e xmlns=\"\"></e>");
    // What was written back reads as the same tree.
    const auto again = ParseXml("<r>" + note.InnerXml() + "</r>");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->InnerXml(), note.InnerXml());
}

TEST(XmlBodies, AnythingButPlainNamespaceWellFormedXmlIsRefused) {
    for (const std::string& body : std::vector<std::string>{
             "",
             "<a>",
             "<a></b>",
             "<x:a/>",
             "<a xmlns:x=\"u\"><y:b/></a>",
             "<!DOCTYPE a><a/>",
             "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",
             "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>",
             "<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/x.dtd\"><a/>",
             "<a>&undefined;</a>",
             std::string(100, '<') + "a",
         }) {
        EXPECT_FALSE(ParseXml(body)) << body;
    }
    std::string deep;
    for (int i = 0; i < 100; ++i) {
        deep += "<a>";
    }
    for (int i = 0; i < 100; ++i) {
        deep += "</a>";
    }
    EXPECT_FALSE(ParseXml(deep));
}

TEST(IfHeaders, ListsAndConditionsAreTakenApartOrRefused) {
    const auto lists = ParseIfHeader(
        "<http://h/a> (<opaquelocktoken:1> [\"e1\"]) (Not <DAV:no-lock>)  (<opaquelocktoken:2>)");
    ASSERT_TRUE(lists);
    ASSERT_EQ(lists->size(), 3u);
    EXPECT_EQ((*lists)[0].resource, "http://h/a");
    EXPECT_EQ((*lists)[2].resource, "http://h/a");
    ASSERT_EQ((*lists)[0].conditions.size(), 2u);
    EXPECT_TRUE((*lists)[0].conditions[1].entityTag);
    EXPECT_EQ((*lists)[0].conditions[1].value, "\"e1\"");
    EXPECT_TRUE((*lists)[1].conditions[0].negated);
    EXPECT_EQ(SubmittedTokens(*lists),
              (std::vector<std::string>{"opaquelocktoken:1", "DAV:no-lock", "opaquelocktoken:2"}));
    for (std::string_view bad : {"", "()", "(<a>", "<x>", "(<>)", "([])", "(Not)", "x (<a>)"}) {
        EXPECT_FALSE(ParseIfHeader(bad)) << bad;
    }
}

TEST(LockTimeouts, TheFirstUsableValueBoundedByAnHour) {
    const std::pair<std::optional<std::string_view>, long> cases[] = {
        {std::nullopt, 600}, {"Second-30", 30},
        {"Infinite", 3600},  {"Second-99999999", 3600},
        {"Second-0", 1},     {"Bogus, Second-5", 5},
        {"Second-x", 600},   {"Second-99999999999999999999", 600}};
    for (const auto& [header, seconds] : cases) {
        EXPECT_EQ(LockTimeout(header).count(), seconds) << header.value_or("(none)");
    }
}

TEST(LockTable, LocksCoverTheirTreeExpireAndAreBounded) {
    LockTable table;
    const auto now = LockTable::Clock::now();
    ASSERT_TRUE(table.Add(
        {.token = "t1", .root = "/a", .infinite = true, .timeout = std::chrono::seconds(10)}, now));
    ASSERT_TRUE(
        table.Add({.token = "t2", .root = "/a/b/c", .timeout = std::chrono::seconds(100)}, now));
    EXPECT_EQ(table.Covering("/a/b/c", now).size(), 2u);
    EXPECT_EQ(table.Covering("/ab", now).size(), 0u);
    EXPECT_EQ(table.Covering("/a/b", now).size(), 1u);
    EXPECT_EQ(table.Within("/a/b", now).size(), 1u);
    EXPECT_EQ(table.Covering("/a/b/c", now + std::chrono::seconds(11)).size(), 1u);
    table.RemoveWithin("/a/b");
    EXPECT_TRUE(table.Within("/", now).empty());
    EXPECT_NE(NewLockToken(), NewLockToken());
    EXPECT_TRUE(NewLockToken().starts_with("opaquelocktoken:"));
    for (size_t i = 0; i < LockTable::kMaxLocks; ++i) {
        table.Add({.token = std::to_string(i), .root = "/x", .timeout = std::chrono::seconds(5)},
                  now);
    }
    EXPECT_FALSE(table.Add({.token = "over", .root = "/x"}, now));
    EXPECT_TRUE(table.Add({.token = "later", .root = "/x", .timeout = std::chrono::seconds(5)},
                          now + std::chrono::seconds(6)));
}

TEST(WrittenNames, OnlyPlainVisibleNamesThatCannotRun) {
    for (std::string_view good : {"a.txt", "Grüße.md", "README", "photo.2026.jpeg"}) {
        EXPECT_TRUE(IsAcceptableName(good)) << good;
    }
    for (std::string_view bad : {"", ".hidden", "..", "a\x01.txt", "a\x7f", "x.pl", "y.CGI",
                                 "tool.exe", "run.pl.sh", "a\\b",
                                 // Never served from a script folder, so never made anywhere.
                                 "x.plan", "my.cgix"}) {
        EXPECT_FALSE(IsAcceptableName(bad)) << bad;
    }
    EXPECT_TRUE(IsAcceptableName(std::string(255, 'n')));
    EXPECT_FALSE(IsAcceptableName(std::string(256, 'n')));
}

}  // namespace
}  // namespace quorvane::dav
