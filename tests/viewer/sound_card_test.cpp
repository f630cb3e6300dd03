#include "../audio/pulse_server.h"
#include "../audio/sound_check.h"
#include "audio/audio_player.h"
#include "viewer_fixture.h"

#include <QTest>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace kestrova::viewer::testing {
namespace {

using SoundCardTest = ViewerTest;
using audio::testing::PulseServer;

// Loud enough to be the tone rather than the sink's dither or resampling residue.
constexpr int kSilenceFloor = 200;

// The control as a page drives it, with a sound server on the machine: it picks the
// sound card by itself and the listener hears the camera's tone from the start to the
// end of the play, in both stream kinds.
TEST_F(SoundCardTest, ControlPlaysTheCameraToneThroughTheSoundServer) {
    PulseServer pulse;
    std::string why;
    if (!pulse.Start(why))
        GTEST_SKIP() << "no sound server can run here: " << why;
    for (const bool mpeg : {true, false}) {
        SCOPED_TRACE(mpeg ? "ASF" : "Motion-JPEG");
        sim::SimOptions options;
        options.width = 160;
        options.height = 120;
        options.streamType = mpeg ? sim::StreamType::Mpeg4 : sim::StreamType::Jpeg;
        StartCamera(options);
        MakeControl();
        std::atomic<int> notices{0};
        control->SetSoundNotice([&](const std::string&) { ++notices; });
        control->AudioVolume(9);
        ASSERT_TRUE(pulse.StartRecording());
        ASSERT_TRUE(SourceAndPlay(mpeg));
        ASSERT_TRUE(WaitFor([&] { return window->AudioPlayer().IsOpen(); }));
        QTest::qWait(3000);
        const std::vector<std::int16_t> heard = pulse.StopRecording();
        control->StopPlay();
        EXPECT_EQ(notices.load(), 0) << "the sound card opened";

        std::size_t onset = 0;
        while (onset + 80 <= heard.size() &&
               audio::testing::SilentShare(std::span(heard).subspan(onset, 80), kSilenceFloor) ==
                   1.0)
            onset += 80;
        ASSERT_GT(heard.size(), onset + 4000 + 8000) << "less than a second of tone was heard";
        // From half a second after the tone began to the end of the recording.
        const auto body = std::span(heard).subspan(onset + 4000);
        const double silent = audio::testing::SilentShare(body, kSilenceFloor);
        int crossings = 0;
        for (std::size_t i = 1; i < body.size(); ++i)
            crossings += (body[i] >= 0) != (body[i - 1] >= 0);
        const double hz = crossings / 2.0 / (static_cast<double>(body.size()) / 8000.0);
        std::printf("%s through the sound server: %.2f s heard, tone after %.2f s, silent "
                    "%.1f %% of 10 ms windows after the first half second, %.0f Hz\n",
                    mpeg ? "ASF" : "Motion-JPEG", heard.size() / 8000.0, onset / 8000.0,
                    100 * silent, hz);
        EXPECT_LE(silent, 0.02);
        EXPECT_NEAR(hz, 440, 90);
        control.reset();
        camera.reset();
    }
}

// No sound server: the control plays on without sound (the picture keeps coming) and
// tells its host so, once per play.
TEST_F(SoundCardTest, WithoutASoundOutputThePlayGoesOnAndTheHostIsTold) {
    ::setenv("PULSE_SERVER", "unix:/nonexistent/kestrova-no-sound", 1);
    StartCamera();
    MakeControl();
    std::atomic<int> notices{0};
    std::string text;
    control->SetSoundNotice([&](const std::string& t) {
        text = t;
        ++notices;
    });
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFor([&] { return window->AudioPlayer().IsOpen(); }));
    ASSERT_TRUE(WaitFrames(10));
    EXPECT_EQ(notices.load(), 1);
    EXPECT_NE(text.find("no sound device"), std::string::npos) << text;
}

} // namespace
} // namespace kestrova::viewer::testing
