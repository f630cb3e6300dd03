#pragma once

// The sound handling every host gives the viewer controls it creates: the sound card by
// default (the control's own choice), a WAV file instead when the user asks for one, and
// one line on stderr when a play finds no sound output, so silence is never a quiet
// success.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kestrova::audio {
class NullSoundDevice;
}
namespace kestrova::viewer {
class PlayerHostInterface;
}

namespace kestrova::app {

class SoundChoice {
public:
    // `program` prefixes the message; an empty `wavPath` keeps the sound card.
    SoundChoice(std::string program, std::string wavPath);
    ~SoundChoice();
    SoundChoice(const SoundChoice&) = delete;
    SoundChoice& operator=(const SoundChoice&) = delete;

    // Hands the choice to a viewer control. The WAV file goes to the first control only
    // (one file holds one sound); later ones keep the sound card.
    void Apply(viewer::PlayerHostInterface& player);
    // Milliseconds of sound written to the WAV file so far (0 without one).
    std::uint64_t WavMilliseconds() const;
    // True once the no-sound message was printed.
    bool Told() const { return state_->told.load(); }

private:
    struct State {
        std::string program;
        std::atomic<bool> told{false};
    };
    std::shared_ptr<State> state_; // shared with the controls' notices
    std::shared_ptr<audio::NullSoundDevice> wav_;
    bool wavGiven_ = false;
};

} // namespace kestrova::app
