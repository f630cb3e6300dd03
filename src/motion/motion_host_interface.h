#pragma once

// What a host program needs from the motion control beyond its automation methods, as a
// header-only interface. A control made by a separately loaded module is that module's own
// copy of the code, so a host reaches it only through this interface (found with
// qobject_cast by its id) and the dispatch table.
#include "motion/motion_host.h"
#include "motion/motion_model.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>

namespace kestrova::motion {

// Implemented by the motion control. Every member is pure virtual and takes only standard
// types, plain structs or other such interfaces.
class MotionHostInterface {
public:
    // The host answers the control's dialogs (null: real dialogs).
    virtual void SetDialogHost(MotionDialogHost* host) = 0;
    // The message line's text (empty when none is shown).
    virtual QString MessageText() const = 0;
    // True when the last save (MotionApply or the view's OK) reached the camera.
    virtual bool LastSaveConfirmed() const = 0;
    // The area set and the view as last read or edited.
    virtual AreaSet Areas() const = 0;
    virtual ViewArea View() const = 0;
    // Sets an area's title; false when it is refused (line break or too long).
    virtual bool SetAreaTitle(int index, const std::string& title) = 0;
    // The view mode's OK and Cancel buttons.
    virtual void ConfirmView() = 0;
    virtual void CancelView() = 0;
    // Pictures the live stream drew so far.
    virtual uint64_t PicturesDrawn() const = 0;
    // The stream engine's last words: why the live stream ended, or a notice while it
    // plays (e.g. a picture size refused). Empty: none.
    virtual std::string EngineText() const = 0;

protected:
    ~MotionHostInterface() = default;
};

} // namespace kestrova::motion

#define KESTROVA_MOTION_HOST_IID "org.kestrova.MotionHostInterface/1.0"
Q_DECLARE_INTERFACE(kestrova::motion::MotionHostInterface, KESTROVA_MOTION_HOST_IID)
