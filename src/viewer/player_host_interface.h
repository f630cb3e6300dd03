#pragma once

// What a host program needs from a viewer control beyond its automation methods, as a
// header-only interface. A control made by a separately loaded module is that module's own
// copy of the code, so a host reaches it only through this interface (found with
// qobject_cast by its id), the dispatch table and signals connected by name.
#include "viewer/dialog_host.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::audio {
class SoundDevice;
}

namespace kestrova::viewer {

// The counters a host reports after a play.
struct PlayerStatistics {
    uint64_t picturesMpeg4 = 0; // drawn from the MPEG-4 path
    uint64_t picturesJpeg = 0;  // drawn from the Motion-JPEG path
    uint64_t decodedMpeg4 = 0;
    uint64_t droppedMpeg4 = 0; // pictures the MPEG-4 path could not decode
    int width = 0;             // the stream's picture size, 0 before it is known
    int height = 0;
    std::vector<int> endedCodes; // result codes of the plays that ended, in order
    uint64_t bytesReceived = 0;  // stream bytes received by all plays (both sessions)
    bool playing = false;        // the active session's thread runs
    // The engine's last words: why a play ended (with its code), or a notice given while
    // the play went on (code 0), e.g. a picture size the display refused. Empty: none.
    int engineTextCode = 0;
    std::string engineText;
};

// Implemented by the viewer control. Every member is pure virtual and takes only standard
// types, plain structs or other such interfaces, so either side may implement what the
// other calls.
class PlayerHostInterface {
public:
    // The host answers the control's dialogs (null: real dialogs).
    virtual void SetDialogHost(DialogHost* host) = 0;
    virtual DialogHost* CurrentDialogHost() const = 0;
    // The sound output of later plays (by default the sound card, when one opens).
    virtual void SetSoundDevice(std::shared_ptr<audio::SoundDevice> device) = 0;
    // Told, from an engine thread, each time a play finds no sound output to open and goes
    // on without sound (empty: nobody).
    virtual void SetSoundNotice(std::function<void(const std::string& text)> notice) = 0;
    // Told the string id of every message box the module's viewers show (empty: nobody).
    virtual void SetMessageObserver(std::function<void(int id)> observer) = 0;
    // SetSource accepted the camera and the login.
    virtual bool SourceReady() const = 0;
    virtual PlayerStatistics Statistics() const = 0;

protected:
    ~PlayerHostInterface() = default;
};

} // namespace kestrova::viewer

#define KESTROVA_PLAYER_HOST_IID "org.kestrova.PlayerHostInterface/1.0"
Q_DECLARE_INTERFACE(kestrova::viewer::PlayerHostInterface, KESTROVA_PLAYER_HOST_IID)
