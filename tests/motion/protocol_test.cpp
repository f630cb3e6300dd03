#include "motion/motion_protocol.h"

#include <gtest/gtest.h>

namespace kestrova::motion {
namespace {

TEST(MotionProtocol, SaveAreaBodyIsExact) {
    AreaSet set;
    set.resolution = 3;
    set.areas[0] = {1, 50, 40, 7, 0, 0, 320, 240, "Door"};
    set.areas[1] = {0, -5, 0, 0, 10, 20, 30, 40, ""};
    const std::string expected = "COMMAND: MOT_SAVE_AREA\r\nRES: 3\r\n"
                                 "AREA0EN: 1\r\nAREA0THD: 50\r\nAREA0SENS: 40\r\nAREA0TLE: Door\r\n"
                                 "AREA0X1: 0\r\nAREA0Y1: 0\r\nAREA0X2: 320\r\nAREA0Y2: 240\r\n"
                                 "AREA1EN: 0\r\nAREA1THD: -5\r\nAREA1SENS: 0\r\nAREA1TLE: \r\n"
                                 "AREA1X1: 10\r\nAREA1Y1: 20\r\nAREA1X2: 30\r\nAREA1Y2: 40\r\n"
                                 "AREA2EN: 0\r\nAREA2THD: 0\r\nAREA2SENS: 0\r\nAREA2TLE: Area 3\r\n"
                                 "AREA2X1: 0\r\nAREA2Y1: 0\r\nAREA2X2: 0\r\nAREA2Y2: 0\r\n"
                                 "AREA3EN: 0\r\nAREA3THD: 0\r\nAREA3SENS: 0\r\nAREA3TLE: Area 4\r\n"
                                 "AREA3X1: 0\r\nAREA3Y1: 0\r\nAREA3X2: 0\r\nAREA3Y2: 0\r\n"
                                 "\r\n";
    EXPECT_EQ(BuildSaveAreaBody(set), expected);
}

TEST(MotionProtocol, SaveViewBodyIsExact) {
    ViewArea view{3, 1, 160, 8, 640, 480};
    EXPECT_EQ(BuildSaveViewBody(view),
              "COMMAND: MOT_SAVE_VIEW\r\nRES: 3\r\nVIEWEN: 1\r\nVIEWAREAX1: 160\r\n"
              "VIEWAREAY1: 8\r\nVIEWAREAX2: 640\r\nVIEWAREAY2: 480\r\n\r\n");
}

TEST(MotionProtocol, LookupTakesFirstKeyUpToCarriageReturn) {
    const std::string_view reply = "A: 1\r\nKEY: first\r\nKEY: second\r\nTAIL: 9";
    EXPECT_EQ(LookupValue(reply, "KEY: "), "first");
    EXPECT_EQ(LookupValue(reply, "A: "), "1");
    EXPECT_FALSE(LookupValue(reply, "MISSING: "));
    EXPECT_FALSE(LookupValue(reply, "TAIL: ")) << "no carriage return after the value";
    EXPECT_EQ(LookupValue("E: \r", "E: "), "");
}

TEST(MotionProtocol, IntegersReadLikeTextToInteger) {
    EXPECT_EQ(ParseInteger("  42"), 42);
    EXPECT_EQ(ParseInteger("-5"), -5);
    EXPECT_EQ(ParseInteger("+7x3"), 7);
    EXPECT_EQ(ParseInteger("abc"), 0);
    EXPECT_EQ(ParseInteger(""), 0);
    EXPECT_EQ(ParseInteger("-"), 0);
    EXPECT_EQ(ParseInteger("99999999999"), 2147483647);
    EXPECT_EQ(ParseInteger("-99999999999"), -2147483648);
}

TEST(MotionProtocol, CameraToWindowTruncates) {
    EXPECT_EQ(CameraToWindow(639), 399);
    EXPECT_EQ(CameraToWindow(1), 0);
    EXPECT_EQ(CameraToWindow(479), 299);
    EXPECT_EQ(CameraToWindow(160), 100);
    EXPECT_EQ(CameraToWindow(-3), -1) << "toward zero, not down";
}

TEST(MotionProtocol, AreaReplyFillsAllThirtyThreeKeys) {
    std::string reply = "RES: 2\r\n";
    for (int n = 0; n < 4; ++n) {
        const std::string k = "AREA" + std::to_string(n);
        reply += k + "EN: " + std::to_string(n % 2) + "\r\n" + k +
                 "THD: " + std::to_string(10 + n) + "\r\n" + k + "SENS: " + std::to_string(20 + n) +
                 "\r\n" + k + "TLE: Zone " + std::to_string(n) + " \r\n" + k +
                 "X1: " + std::to_string(16 * n) + "\r\n" + k + "Y1: 1\r\n" + k + "X2: 639\r\n" +
                 k + "Y2: 479\r\n";
    }
    AreaSet set;
    ParseAreaReply(reply, set);
    EXPECT_EQ(set.resolution, 2);
    for (int n = 0; n < 4; ++n) {
        const MotionArea& a = set.areas[n];
        EXPECT_EQ(a.enable, n % 2);
        EXPECT_EQ(a.threshold, 10 + n);
        EXPECT_EQ(a.sensitivity, 20 + n);
        EXPECT_EQ(a.title, "Zone " + std::to_string(n) + " ") << "titles are raw text";
        EXPECT_EQ(a.x1, 10 * n);
        EXPECT_EQ(a.y1, 0);
        EXPECT_EQ(a.x2, 399);
        EXPECT_EQ(a.y2, 299);
    }
}

TEST(MotionProtocol, MissingOrUnendedKeyKeepsStoredValue) {
    AreaSet set;
    set.resolution = 7;
    set.areas[1].threshold = 33;
    set.areas[1].x2 = 123;
    set.areas[2].title = "Kept";
    // AREA1THD is absent and AREA1X2 has no carriage return: neither takes the previous key's
    // value.
    ParseAreaReply("AREA1EN: 1\r\nAREA1SENS: 9\r\nAREA2TLE: Bad\nTitle\r\nAREA1X2: 320", set);
    EXPECT_EQ(set.resolution, 7);
    EXPECT_EQ(set.areas[1].enable, 1);
    EXPECT_EQ(set.areas[1].threshold, 33);
    EXPECT_EQ(set.areas[1].sensitivity, 9);
    EXPECT_EQ(set.areas[1].x2, 123);
    EXPECT_EQ(set.areas[2].title, "Kept") << "a title with a line feed could not be saved back";
}

TEST(MotionProtocol, ViewReplyIsNotScaledAndResolutionForcedToThree) {
    ViewArea view;
    view.y2 = 77;
    ParseViewReply(
        "RES: 1\r\nVIEWEN: 1\r\nVIEWAREAX1: 320\r\nVIEWAREAY1: 16\r\nVIEWAREAX2: 640\r\n", view);
    EXPECT_EQ(view.resolution, 3);
    EXPECT_EQ(view.enable, 1);
    EXPECT_EQ(view.x1, 320);
    EXPECT_EQ(view.y1, 16);
    EXPECT_EQ(view.x2, 640);
    EXPECT_EQ(view.y2, 77);
}

TEST(MotionProtocol, TitlesWithLineBreaksOrTooLongAreNotSendable) {
    EXPECT_TRUE(IsSendableTitle(""));
    EXPECT_TRUE(IsSendableTitle(std::string(kMaxTitleLength, 'x')));
    EXPECT_FALSE(IsSendableTitle(std::string(kMaxTitleLength + 1, 'x')));
    EXPECT_FALSE(IsSendableTitle("a\rb"));
    EXPECT_FALSE(IsSendableTitle("a\nb"));
    // The longest titles still fit the save buffer.
    AreaSet set;
    for (auto& a : set.areas) {
        a.title.assign(kMaxTitleLength, 'x');
        a.x1 = a.y1 = a.x2 = a.y2 = a.threshold = a.sensitivity = a.enable = -2147483647 - 1;
    }
    EXPECT_LE(BuildSaveAreaBody(set).size(), kSaveBodyLimit);
}

TEST(MotionProtocol, ViewRoundingToSixteenAndEight) {
    EXPECT_EQ(RoundViewX(160), 160);
    EXPECT_EQ(RoundViewX(168), 176) << "a remainder of exactly half rounds up";
    EXPECT_EQ(RoundViewX(167), 160);
    EXPECT_EQ(RoundViewX(639), 640);
    EXPECT_EQ(RoundViewY(4), 8);
    EXPECT_EQ(RoundViewY(3), 0);
    EXPECT_EQ(RoundViewY(479), 480);
    EXPECT_EQ(RoundViewX(-9), -16);
}

} // namespace
} // namespace kestrova::motion
