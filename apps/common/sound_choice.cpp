#include "sound_choice.h"

#include "audio/null_sound_device.h"
#include "viewer/player_host_interface.h"

#include <cstdio>

namespace kestrova::app {

SoundChoice::SoundChoice(std::string program, std::string wavPath)
    : state_(std::make_shared<State>()) {
    state_->program = std::move(program);
    if (!wavPath.empty()) {
        audio::NullSoundDevice::Options o;
        o.wavPath = std::move(wavPath);
        wav_ = std::make_shared<audio::NullSoundDevice>(o);
    }
}

SoundChoice::~SoundChoice() = default;

void SoundChoice::Apply(viewer::PlayerHostInterface& player) {
    if (wav_ && !wavGiven_) {
        player.SetSoundDevice(wav_);
        wavGiven_ = true;
    }
    // Told from an engine thread, possibly after the host has gone: the state is shared.
    player.SetSoundNotice([state = state_](const std::string& text) {
        if (!state->told.exchange(true))
            std::fprintf(stderr, "%s: %s\n", state->program.c_str(), text.c_str());
    });
}

std::uint64_t SoundChoice::WavMilliseconds() const {
    return wav_ ? wav_->BytesPlayed() / 16 : 0;
}

} // namespace kestrova::app
