#include "stream/engine_doubles.h"
#include "stream/jpeg_display.h"
#include "stream/media_support.h"
#include "stream/mpeg4_display.h"
#include "stream/player_exception.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace kestrova::stream {
namespace {

using namespace testing;

struct Mpeg4Run {
    explicit Mpeg4Run(StreamProfile profile = StreamProfile::Viewer()) : display(window, profile) {
        display.SetTimings(FastTimings());
    }
    void Queue(const Mpeg4Clip& clip, uint32_t firstTime = 40) {
        for (std::size_t i = 0; i < clip.frames.size(); ++i)
            window.VideoQueue().Add(clip.frames[i], firstTime + 40 * static_cast<uint32_t>(i));
    }
    // Runs until the queue is empty and every frame has been decoded or dropped.
    void Drain(std::size_t frames) {
        ASSERT_TRUE(display.StartThread());
        ASSERT_TRUE(WaitFor([&] {
            return window.VideoQueue().Count() == 0 &&
                   display.DecodedPictures() + display.DroppedFrames() == frames;
        }));
        EXPECT_TRUE(display.StopThread(5000));
    }
    RecordingWindow window;
    CMpeg4Display display;
};

TEST(Mpeg4Display, DecodesDrawsAndSetsPacingAndClock) {
    const Mpeg4Clip clip = MakeMpeg4Clip(320, 240, 8);
    ASSERT_EQ(clip.frames.size(), 8u);
    Mpeg4Run run;
    ASSERT_TRUE(run.display.StartVideo(320, 240, clip.config));
    EXPECT_TRUE(run.display.DecoderOpen());
    EXPECT_EQ(run.window.Posted(),
              (std::vector<std::pair<uint32_t, uintptr_t>>{{WM_VIDEO_READY, 0}}));
    EXPECT_EQ(run.window.PacingValue(), 18);
    run.Queue(clip);
    run.Drain(8);
    EXPECT_EQ(run.display.DecodedPictures(), 8u);
    ASSERT_EQ(run.window.Pictures().size(), 8u);
    EXPECT_EQ(run.window.Pictures()[0], (std::pair<int, int>{320, 240}));
    EXPECT_EQ(run.window.PacingValue(), 36);
    EXPECT_EQ(run.window.VideoClock(), 40u + 7 * 40);

    // The last picture matches the reference decoder's within colour-conversion rounding.
    const auto picture = run.window.LastPicture();
    const std::size_t size = 320 * 240 * 3;
    ASSERT_EQ(picture.size(), size);
    ASSERT_GE(clip.bgrReference.size(), 8 * size);
    double diff = 0;
    for (std::size_t i = 0; i < size; ++i)
        diff += std::abs(int(picture[i]) - int(clip.bgrReference[7 * size + i]));
    EXPECT_LT(diff / size, 3.0);

    run.display.CloseDecoder();
    EXPECT_FALSE(run.display.DecoderOpen());
}

TEST(Mpeg4Display, WidePicturesAndTheMotionProfile) {
    const Mpeg4Clip clip = MakeMpeg4Clip(640, 480, 7);
    ASSERT_EQ(clip.frames.size(), 7u);
    {
        Mpeg4Run run;
        ASSERT_TRUE(run.display.StartVideo(640, 480, clip.config));
        run.Queue(clip);
        run.Drain(7);
        EXPECT_EQ(run.window.PacingValue(), 12);
    }
    {
        Mpeg4Run run(StreamProfile::Motion());
        ASSERT_TRUE(run.display.StartVideo(640, 480, clip.config));
        EXPECT_TRUE(run.window.Posted().empty()); // the motion control posts no ready message
        run.Queue(clip);
        run.Drain(7);
        EXPECT_EQ(run.window.PacingValue(), 6);
        EXPECT_EQ(run.display.DecodedPictures(), 7u);
        EXPECT_EQ(run.window.Pictures().size(), 3u); // the first, fourth and seventh
    }
}

TEST(Mpeg4Display, WhatDoesNotFitOrDecodeIsDroppedUntouched) {
    const Mpeg4Clip clip = MakeMpeg4Clip(320, 240, 3);
    ASSERT_EQ(clip.frames.size(), 3u);
    {
        // The stream header promised less than the pictures hold.
        Mpeg4Run run;
        ASSERT_TRUE(run.display.StartVideo(160, 120, clip.config));
        run.Queue(clip);
        run.Drain(3);
        EXPECT_EQ(run.display.DroppedFrames(), 3u);
        EXPECT_TRUE(run.window.Pictures().empty());
        EXPECT_EQ(run.window.VideoClock(), 0u);
        EXPECT_EQ(run.window.PacingValue(), 18);
    }
    {
        // Garbage, an empty frame and a frame larger than the input buffer (w x h bytes).
        Mpeg4Run run;
        ASSERT_TRUE(run.display.StartVideo(320, 240, clip.config));
        run.window.VideoQueue().Add(std::vector<uint8_t>(64, 0x55), 1);
        run.window.VideoQueue().Add({}, 2);
        run.window.VideoQueue().Add(std::vector<uint8_t>(320 * 240 + 1, 0), 3);
        run.Drain(3);
        EXPECT_EQ(run.display.DroppedFrames(), 3u);
        EXPECT_TRUE(run.window.Pictures().empty());
        EXPECT_EQ(run.window.VideoClock(), 0u);
    }
    RecordingWindow window;
    CMpeg4Display display(window);
    EXPECT_FALSE(display.StartVideo(0, 240, {}));
    EXPECT_FALSE(display.StartVideo(-320, 240, {}));
    EXPECT_FALSE(display.StartVideo(100000, 240, {}));
    EXPECT_FALSE(display.DecoderOpen());
}

TEST(JpegDisplay, DrawsFramesAndEndsOnAFrameThatDoesNotDecode) {
    const auto jpeg = MakeJpeg(160, 120);
    ASSERT_FALSE(jpeg.empty());
    RecordingWindow window;
    CJpegDisplay display(window);
    display.SetTimings(FastTimings());
    ASSERT_TRUE(display.StartVideo(160, 120, {}));
    EXPECT_TRUE(display.Showing());
    window.VideoQueue().Add(jpeg, 1);
    window.VideoQueue().Add(jpeg, 2);
    ASSERT_TRUE(display.StartThread());
    ASSERT_TRUE(WaitFor([&] { return window.Pictures().size() == 2; }));
    EXPECT_EQ(window.Pictures()[0], (std::pair<int, int>{160, 120}));
    EXPECT_EQ(window.LastPicture().size(), 160u * 3 * 120); // rows already 4-byte aligned
    EXPECT_EQ(window.VideoClock(), 0u);                     // only the MPEG-4 path moves it

    window.VideoQueue().Add(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 100), 3);
    ASSERT_TRUE(WaitFor([&] { return display.IsFinished(); }));
    EXPECT_EQ(display.ExitCode(), kMalformed);
    EXPECT_FALSE(display.Showing());
    const auto posted = window.Posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].first, WM_VIDEO_READY);
    EXPECT_EQ(posted[1], (std::pair<uint32_t, uintptr_t>{WM_STREAM_ENDED, 430}));
}

// The frame with its frame header claiming another size.
std::vector<uint8_t> Resized(std::vector<uint8_t> jpeg, int width, int height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<uint8_t>(height);
            jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<uint8_t>(width);
            break;
        }
    }
    return jpeg;
}

TEST(JpegDisplay, ShowsRepairableFramesAndSaysWhyItRefusesOthers) {
    const auto jpeg = MakeJpeg(160, 120);
    ASSERT_FALSE(jpeg.empty());
    struct Case {
        const char* name;
        std::vector<uint8_t> frame;
        std::string text; // empty: drawn
    } cases[] = {
        {"cut inside the scan", std::vector<uint8_t>(jpeg.begin(), jpeg.end() - jpeg.size() / 3),
         ""},
        {"largest the display takes", Resized(jpeg, kMaxPictureWidth, kMaxPictureHeight), ""},
        {"wider than the display", Resized(jpeg, kMaxPictureWidth + 1, 120),
         "The picture is 2049 x 120; at most 2048 x 1536 can be shown."},
        {"taller than the display", Resized(jpeg, 160, kMaxPictureHeight + 1),
         "The picture is 160 x 1537; at most 2048 x 1536 can be shown."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow window;
        CJpegDisplay display(window);
        display.SetTimings(FastTimings());
        ASSERT_TRUE(display.StartVideo(160, 120, {}));
        window.VideoQueue().Add(c.frame, 1);
        ASSERT_TRUE(display.StartThread());
        if (c.text.empty()) {
            ASSERT_TRUE(WaitFor([&] { return window.Pictures().size() == 1; }));
            EXPECT_TRUE(display.StopThread(5000));
            EXPECT_TRUE(window.Diagnostics().empty());
        } else {
            ASSERT_TRUE(WaitFor([&] { return display.IsFinished(); }));
            EXPECT_EQ(display.ExitCode(), kMalformed);
            EXPECT_TRUE(window.Pictures().empty());
            const auto said = window.Diagnostics();
            ASSERT_EQ(said.size(), 1u);
            EXPECT_EQ(said[0], (std::pair<int, std::string>{kMalformed, c.text}));
        }
    }
}

TEST(JpegDisplay, DestroyingThePathWaitsForTheDrawInProgress) {
    // The stop gives up on a display thread still drawing; destroying the path must then
    // wait for it, never free what the thread is using.
    const auto jpeg = MakeJpeg(160, 120);
    ASSERT_FALSE(jpeg.empty());
    RecordingWindow window;
    window.drawDelayMs = 200;
    auto display = std::make_unique<CJpegDisplay>(window);
    display->SetTimings(FastTimings());
    ASSERT_TRUE(display->StartVideo(160, 120, {}));
    window.VideoQueue().Add(jpeg, 1);
    ASSERT_TRUE(display->StartThread());
    ASSERT_TRUE(WaitFor([&] { return window.drawing.load(); }));
    EXPECT_FALSE(display->StopThread(1));
    display.reset();
    EXPECT_FALSE(window.drawing.load());
    EXPECT_EQ(window.Pictures().size(), 1u);
}

} // namespace
} // namespace kestrova::stream
