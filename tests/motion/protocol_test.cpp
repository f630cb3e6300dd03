#include "motion/motion_protocol.h"

#include <gtest/gtest.h>

namespace kestrova::motion {
namespace {

TEST(MotionProtocol, SaveAreaBodyIsExact) {
    AreaSet set;
    set.resolution = 3;
    // The camera rectangles are sent; the window rectangles are only where the frames show.
    set.areas[0] = {1, 50, 40, 7, 9, 9, 9, 9, "Door", {0, 0, 320, 240}};
    set.areas[1] = {0, -5, 0, 0, 9, 9, 9, 9, "", {10, 20, 30, 40}};
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
    ViewArea view{3, 1, 100, 5, 400, 300, {160, 8, 640, 480}};
    EXPECT_EQ(BuildSaveViewBody(view),
              "COMMAND: MOT_SAVE_VIEW\r\nRES: 3\r\nVIEWEN: 1\r\nVIEWAREAX1: 160\r\n"
              "VIEWAREAY1: 8\r\nVIEWAREAX2: 640\r\nVIEWAREAY2: 480\r\n\r\n");
}

TEST(MotionProtocol, LookupTakesFirstKeyUpToCarriageReturn) {
    const std::string_view reply = "A: 1\r\nKEY: first\r\nKEY: second\r\nTAIL: 9";
    EXPECT_EQ(LookupValue(reply, "KEY: "), "first");
    EXPECT_EQ(LookupValue(reply, "A: "), "1");
    EXPECT_FALSE(LookupValue(reply, "MISSING: "));
    EXPECT_FALSE(LookupValue(reply, "TAIL: ")) << "no line end after the value";
    EXPECT_EQ(LookupValue("E: \r", "E: "), "");
    EXPECT_EQ(LookupValue("A: 1\nB: 2\n", "A: "), "1") << "a line feed alone ends a line too";
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
    for (const char* eol : {"\r\n", "\n"}) {
        SCOPED_TRACE(eol[0] == '\r' ? "CR LF" : "LF only");
        std::string reply = std::string("RES: 2") + eol;
        for (int n = 0; n < 4; ++n) {
            const std::string k = "AREA" + std::to_string(n);
            for (const std::string& line :
                 {k + "EN: " + std::to_string(n % 2), k + "THD: " + std::to_string(10 + n),
                  k + "SENS: " + std::to_string(20 + n), k + "TLE: Zone " + std::to_string(n) + " ",
                  k + "X1: " + std::to_string(16 * n), k + "Y1: 1", k + "X2: 639", k + "Y2: 479"})
                reply += line + eol;
        }
        AreaSet set;
        EXPECT_EQ(ParseAreaReply(reply, set), 33);
        EXPECT_EQ(set.resolution, 2);
        for (int n = 0; n < 4; ++n) {
            const MotionArea& a = set.areas[n];
            EXPECT_EQ(a.enable, n % 2);
            EXPECT_EQ(a.threshold, 10 + n);
            EXPECT_EQ(a.sensitivity, 20 + n);
            EXPECT_EQ(a.title, "Zone " + std::to_string(n) + " ") << "titles are raw text";
            EXPECT_EQ(a.camera, (Rect{16 * n, 1, 639, 479})) << "kept as the camera sent it";
            EXPECT_EQ((Rect{a.x1, a.y1, a.x2, a.y2}), (Rect{10 * n, 0, 399, 299})) << "x 0.625";
        }
    }
}

// What a read takes from replies that are not a clean set-up.
TEST(MotionProtocol, ReadingDamagedReplies) {
    struct Case {
        const char* name;
        std::string reply;
        int keys;          // keys found
        Rect area1Camera;  // area 1's camera rectangle afterwards (stored: 8, 16, 320, 240)
        int32_t threshold; // area 1's threshold afterwards (stored: 33)
    };
    const Rect stored{8, 16, 320, 240};
    const Case cases[] = {
        {"empty answer", "", 0, stored, 33},
        {"moved page", "<html><head><title>302 Found</title></head></html>\r\n", 0, stored, 33},
        {"missing key keeps its field", "AREA1EN: 1\r\nAREA1X1: 32\r\n", 2, {32, 16, 320, 240}, 33},
        {"value with no line end is not taken", "AREA1THD: 7\r\nAREA1X2: 320", 1, stored, 7},
        {"far outside the picture is clamped",
         "AREA1X1: 2147483646\r\nAREA1Y1: -40\r\nAREA1X2: 99999999999\r\nAREA1Y2: 481\r\n",
         4,
         {640, 0, 640, 480},
         33},
        {"picture edges are kept",
         "AREA1X1: 0\nAREA1Y1: 0\nAREA1X2: 640\nAREA1Y2: 480\n",
         4,
         {0, 0, 640, 480},
         33},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AreaSet set;
        set.areas[1].threshold = 33;
        SetCameraRect(set.areas[1], stored);
        EXPECT_EQ(ParseAreaReply(c.reply, set), c.keys);
        const MotionArea& a = set.areas[1];
        EXPECT_EQ(a.camera, c.area1Camera);
        EXPECT_EQ((Rect{a.x1, a.y1, a.x2, a.y2}), CameraToWindow(c.area1Camera));
        EXPECT_EQ(a.threshold, c.threshold);
    }
    // A title with a bare line feed ends at it: what follows is no key of the set-up.
    AreaSet set;
    ParseAreaReply("AREA2TLE: Bad\nTitle\r\n", set);
    EXPECT_EQ(set.areas[2].title, "Bad");
}

TEST(MotionProtocol, ViewReplyScaledLikeAreasAndResolutionForcedToThree) {
    ViewArea view;
    SetCameraRect(view, {0, 0, 640, 480});
    EXPECT_EQ(ParseViewReply("RES: 1\r\nVIEWEN: 1\r\nVIEWAREAX1: 320\r\nVIEWAREAY1: 16\r\n"
                             "VIEWAREAX2: 640\r\n",
                             view),
              5);
    EXPECT_EQ(view.resolution, 3);
    EXPECT_EQ(view.enable, 1);
    EXPECT_EQ(view.camera, (Rect{320, 16, 640, 480}));
    EXPECT_EQ((Rect{view.x1, view.y1, view.x2, view.y2}), (Rect{200, 10, 400, 300}));
    ViewArea untouched;
    EXPECT_EQ(ParseViewReply("no set-up here\r\n", untouched), 0);
    EXPECT_EQ(untouched.resolution, 3);
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
