// SPDX-License-Identifier: AGPL-3.0-or-later
// The viewer's pure parts: the server's rules, the page's input requests,
// the JSON it publishes and the event queue between them.
#include "core/host_error.h"
#include "viewer/input_form.h"
#include "viewer/json_writer.h"
#include "viewer/user_events.h"
#include "viewer/view_command.h"
#include "viewer/web_security.h"

#include <gtest/gtest.h>

#include <set>

namespace vellora::viewer {
namespace {

TEST(ViewOptions, BoxSettingsBecomeTheHostsSettingsLines)
{
    const ViewOptions o = ParseViewOptions(
        {"view", "--margin", "5,10.5,0,2e1", "--ink-threshold", "40.25", "--margin", "3"});
    const std::vector<std::vector<std::string>> want{{"host", "margin", "5", "10.5", "0", "20"},
                                                     {"host", "ink-threshold", "40.25"},
                                                     {"host", "margin", "3", "3", "3", "3"}};
    EXPECT_EQ(o.boxSettings, want);
    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"view", "--margin", "-1"}, "--margin: '-1' is not a number of points from 0"},
        {{"view", "--margin", "1,2"}, "--margin: '1,2' is not one number or four L,B,R,T"},
        {{"view", "--margin", "1,x,2,3"}, "--margin: 'x' is not a number of points from 0"},
        {{"view", "--ink-threshold", "100"},
         "--ink-threshold: '100' is not a percentage from 0 to below 100"},
        {{"view", "--ink-threshold", "-2"},
         "--ink-threshold: '-2' is not a percentage from 0 to below 100"},
    };
    for (const auto &[args, message] : bad) {
        try {
            ParseViewOptions(args);
            ADD_FAILURE() << args[2] << " accepted";
        } catch (const UsageError &e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(ServerRules, OnlyTheLoopbackNamesWithTheServersPortAreHosts)
{
    EXPECT_TRUE(HostAllowed("127.0.0.1:8123", 8123));
    EXPECT_TRUE(HostAllowed("localhost:8123", 8123));
    for (const char *host :
         {"127.0.0.1", "localhost", "127.0.0.1:81234", "127.0.0.1:812", "evil.example:8123",
          "127.0.0.1.evil.example:8123", "LOCALHOST:8123", "[::1]:8123", "", "127.0.0.1:8123 "})
        EXPECT_FALSE(HostAllowed(host, 8123)) << host;
    EXPECT_TRUE(OriginAllowed("http://127.0.0.1:8123", 8123));
    EXPECT_TRUE(OriginAllowed("http://localhost:8123", 8123));
    for (const char *origin : {"null", "", "https://127.0.0.1:8123", "http://127.0.0.1:8124",
                               "http://evil.example", "http://127.0.0.1:8123/"})
        EXPECT_FALSE(OriginAllowed(origin, 8123)) << origin;
}

TEST(ServerRules, TokensAreLongRandomAndComparedWhole)
{
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        std::string t = NewToken();
        EXPECT_EQ(t.size(), 64u);  // 256 bits
        EXPECT_EQ(t.find_first_not_of("0123456789abcdef"), std::string::npos);
        seen.insert(t);
    }
    EXPECT_EQ(seen.size(), 20u);
    EXPECT_TRUE(TokensEqual("abc", "abc"));
    EXPECT_FALSE(TokensEqual("abc", "abd"));
    EXPECT_FALSE(TokensEqual("abc", "ab"));
    EXPECT_FALSE(TokensEqual("", "a"));
}

TEST(ServerRules, CookiesAreFoundByExactName)
{
    EXPECT_EQ(CookieValue("a=1; vellora_80=tok; b=2", "vellora_80"), "tok");
    EXPECT_EQ(CookieValue("vellora_80=tok", "vellora_80"), "tok");
    EXPECT_FALSE(CookieValue("xvellora_80=tok; vellora_8=x", "vellora_80"));
    EXPECT_FALSE(CookieValue("", "vellora_80"));
}

TEST(ServerRules, TheRateLimiterAllowsABurstThenItsRate)
{
    RateLimiter limiter(3, 10);
    auto t = RateLimiter::Clock::time_point{} + std::chrono::seconds(100);
    EXPECT_TRUE(limiter.allow(t) && limiter.allow(t) && limiter.allow(t));
    EXPECT_FALSE(limiter.allow(t));
    EXPECT_FALSE(limiter.allow(t + std::chrono::milliseconds(50)));
    EXPECT_TRUE(limiter.allow(t + std::chrono::milliseconds(160)));
    // A long pause refills no more than the burst.
    t += std::chrono::seconds(60);
    int allowed = 0;
    for (int i = 0; i < 10; ++i)
        allowed += limiter.allow(t) ? 1 : 0;
    EXPECT_EQ(allowed, 3);
}

TEST(ServerRules, SaveAsNamesAreFileNamesOnly)
{
    EXPECT_EQ(FileNameProblem("copy.pdf"), "");
    EXPECT_EQ(FileNameProblem("Report (final) 2.pdf"), "");
    for (const char *bad : {"", ".", "..", "../x.pdf", "/tmp/x.pdf", "a/b.pdf", "a\\b.pdf",
                            ".hidden", "new\nline.pdf"})
        EXPECT_NE(FileNameProblem(bad), "") << bad;
    EXPECT_NE(FileNameProblem(std::string(256, 'a')), "");
}

TEST(InputRequests, EachKindTakesItsFieldsWithinBounds)
{
    UserEvent e = ParseUserEvent({{"kind", "press"}, {"x", "-5"}, {"y", "300"}, {"mods", "8"}});
    EXPECT_EQ(e.kind, UserEvent::Press);
    EXPECT_EQ(e.x, -5);
    EXPECT_EQ(e.y, 300);
    EXPECT_EQ(e.modifiers, 8);
    e = ParseUserEvent({{"kind", "dialog-key"}, {"modal", "3"}, {"key", "escape"}});
    EXPECT_EQ(e.modal, 3);
    EXPECT_EQ(e.text, "escape");
    e = ParseUserEvent({{"kind", "save-as"}, {"name", "copy.pdf"}, {"replace", "1"}});
    EXPECT_TRUE(e.flag);
    EXPECT_EQ(ParseUserEvent({{"kind", "quit"}}).kind, UserEvent::Quit);
    EXPECT_EQ(ParseUserEvent({{"kind", "hello"}}).kind, UserEvent::PageGone);
    e = ParseUserEvent({{"kind", "activate"}, {"number", "2"}});
    EXPECT_EQ(e.number, 2);
    EXPECT_EQ(ParseUserEvent({{"kind", "activate"}, {"name", "a.pdf"}}).text, "a.pdf");
    e = ParseUserEvent({{"kind", "thumbnails"}, {"first", "998"}, {"last", "1002"}});
    EXPECT_EQ(e.kind, UserEvent::Thumbnails);
    EXPECT_EQ(e.number, 998);
    EXPECT_EQ(e.x, 1002);
    EXPECT_EQ(ParseUserEvent({{"kind", "overlay-set"}, {"set", "odd"}}).text, "odd");

    const std::vector<FormFields> bad = {
        {},
        {{"kind", "explode"}},
        {{"kind", "press"}, {"x", "1"}, {"y", "2"}},                     // no mods
        {{"kind", "press"}, {"x", "40000"}, {"y", "2"}, {"mods", "0"}},  // past 16 bits
        {{"kind", "press"}, {"x", "1x"}, {"y", "2"}, {"mods", "0"}},
        {{"kind", "press"}, {"x", " 1"}, {"y", "2"}, {"mods", "0"}},
        {{"kind", "goto"}, {"page", "0"}},
        {{"kind", "zoom"}, {"percent", "6401"}},
        {{"kind", "menu"}, {"name", ""}},
        {{"kind", "menu"}, {"name", std::string(300, 'm')}},
        {{"kind", "dialog-key"}, {"modal", "1"}, {"key", "space"}},
        {{"kind", "answer"}, {"modal", "0"}, {"number", "1"}},
        {{"kind", "save-as"}, {"name", "../up.pdf"}},
        {{"kind", "activate"}, {"number", "0"}},
        {{"kind", "activate"}},
        {{"kind", "thumbnails"}, {"first", "10"}, {"last", "8"}},   // ends before it starts
        {{"kind", "thumbnails"}, {"first", "1"}, {"last", "300"}},  // far more than a list shows
        {{"kind", "thumbnails"}, {"first", "0"}, {"last", "3"}},
        {{"kind", "overlay-set"}, {"set", "some"}},
        {{"kind", "work-done"}},  // the workers' own, never the page's
    };
    for (const FormFields &f : bad)
        EXPECT_THROW(ParseUserEvent(f), BadRequest) << (f.count("kind") ? f.at("kind") : "");
}

TEST(PublishedJson, StringsAreEscapedAndNeverBreakOutOfTheirScript)
{
    EXPECT_EQ(JsonString("a\"b\\c\n\t"), "\"a\\\"b\\\\c\\n\\t\"");
    EXPECT_EQ(JsonString("</script>"), "\"\\u003c/script>\"");
    EXPECT_EQ(JsonString(std::string("\x01", 1)), "\"\\u0001\"");
    EXPECT_EQ(JsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");
    EXPECT_EQ(JsonString("bad \xff byte"), "\"bad \\ufffd byte\"");
    EXPECT_EQ(JsonString("cut \xc3"), "\"cut \\ufffd\"");
    // A file name as a person reads it: odd bytes as \xHH, the rest kept.
    EXPECT_EQ(Utf8OrEscaped("caf\xe9 \xc3\xa9.pdf"), "caf\\xE9 \xc3\xa9.pdf");
    JsonWriter j;
    j.beginObject()
        .key("a")
        .value(1)
        .key("b")
        .beginArray()
        .value(true)
        .null()
        .value(2.5)
        .endArray();
    j.key("c").beginObject().endObject().key("d").raw("[1]").endObject();
    EXPECT_EQ(j.text(), "{\"a\":1,\"b\":[true,null,2.5],\"c\":{},\"d\":[1]}");
}

TEST(EventQueue, MovesFoldIntoTheNewestAndOtherEventsKeepTheirOrder)
{
    UserEventQueue q;
    auto push = [&](UserEvent::Kind kind, int x) {
        UserEvent e;
        e.kind = kind;
        e.x = x;
        q.push(e);
    };
    push(UserEvent::Press, 1);
    push(UserEvent::Move, 2);
    push(UserEvent::Move, 3);
    push(UserEvent::Release, 4);
    push(UserEvent::Hover, 5);
    push(UserEvent::Hover, 6);
    std::vector<std::pair<UserEvent::Kind, int>> got;
    while (auto e = q.tryNext())
        got.emplace_back(e->kind, e->x);
    std::vector<std::pair<UserEvent::Kind, int>> want = {{UserEvent::Press, 1},
                                                         {UserEvent::Move, 3},
                                                         {UserEvent::Release, 4},
                                                         {UserEvent::Hover, 6}};
    EXPECT_EQ(got, want);
    q.close();
    push(UserEvent::Press, 7);
    EXPECT_FALSE(q.next(std::chrono::milliseconds(1)));
}

}  // namespace
}  // namespace vellora::viewer
