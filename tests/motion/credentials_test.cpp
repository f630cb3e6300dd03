#include "motion/credentials.h"

#include <gtest/gtest.h>

namespace kestrova::motion {
namespace {

TEST(MotionCredentials, SchemeWordDroppedAndSplitAtFirstColon) {
    // "admin:se:cret"
    auto c = DecodeAuth("Basic YWRtaW46c2U6Y3JldA==");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->user, "admin");
    EXPECT_EQ(c->password, "se:cret");
    // Without a blank all of it is Base64; "user:" gives an empty password.
    c = DecodeAuth("dXNlcjo=");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->user, "user");
    EXPECT_EQ(c->password, "");
    // No colon: empty user name, the whole text is the password.
    c = DecodeAuth("x cGFzcw==");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->user, "");
    EXPECT_EQ(c->password, "pass");
    // Characters outside the alphabet are skipped.
    c = DecodeAuth("Basic YW*Rt.aW46YQ==");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->user, "admin");
    EXPECT_EQ(c->password, "a");
}

TEST(MotionCredentials, OverlongTextsAreRefused) {
    EXPECT_TRUE(DecodeAuth("Basic " + std::string(kMaxAuthBase64, 'A')));
    EXPECT_FALSE(DecodeAuth("Basic " + std::string(kMaxAuthBase64 + 1, 'A')));
    EXPECT_FALSE(DecodeAuth(std::string(150, 'x') + " " + std::string(60, 'A')));
    EXPECT_TRUE(DecodeAuth(""));
}

} // namespace
} // namespace kestrova::motion
