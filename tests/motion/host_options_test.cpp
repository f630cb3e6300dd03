#include "wardline_options.h"

#include <gtest/gtest.h>

namespace kestrova::wardline {
namespace {

std::optional<WardlineOptions> Parse(const QStringList& args, std::string* errorOut = nullptr) {
    std::string error;
    bool help = false;
    auto o = ParseWardlineOptions(args, error, help);
    if (errorOut)
        *errorOut = error;
    return o;
}

TEST(WardlineHostOptions, EditsKeepOrderAndAreaNumbersAreOneBased) {
    auto o = Parse({"http://cam:8080/", "--headless", "--mode", "view", "--threshold", "2=-5",
                    "--title", "3=Front door", "--enable", "4=0", "--apply", "--watch", "1.5"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->url, "http://cam:8080");
    EXPECT_EQ(o->mode, 2);
    EXPECT_TRUE(o->headless && o->apply);
    EXPECT_DOUBLE_EQ(o->watchSeconds, 1.5);
    ASSERT_EQ(o->edits.size(), 3u);
    EXPECT_EQ(o->edits[0].kind, WardlineOptions::Edit::Kind::Threshold);
    EXPECT_EQ(o->edits[0].area, 1);
    EXPECT_EQ(o->edits[0].value, -5);
    EXPECT_EQ(o->edits[1].text, "Front door");
    EXPECT_EQ(o->edits[2].area, 3);
    EXPECT_EQ(o->edits[2].value, 0);
}

TEST(WardlineHostOptions, BadValuesAreRefused) {
    std::string error;
    EXPECT_FALSE(Parse({"--enable", "5=1"}, &error));
    EXPECT_NE(error.find("1 to 4"), std::string::npos);
    EXPECT_FALSE(Parse({"--enable", "1=2"}));
    EXPECT_FALSE(Parse({"--threshold", "1=40000"}));
    EXPECT_FALSE(Parse({"--threshold", "1=x"}));
    EXPECT_FALSE(Parse({"--mode", "zone"}));
    EXPECT_FALSE(Parse({"--watch"}));
    EXPECT_FALSE(Parse({"--bogus"}));
    EXPECT_FALSE(Parse({"http://a", "http://b"}));
}

TEST(WardlineHostOptions, CredentialString) {
    WardlineOptions o;
    o.user = "admin";
    o.password = "";
    EXPECT_EQ(WardlineCredentials(o), "Basic YWRtaW46");
    o.auth = "Basic eDp5";
    EXPECT_EQ(WardlineCredentials(o), "Basic eDp5");
}

} // namespace
} // namespace kestrova::wardline
