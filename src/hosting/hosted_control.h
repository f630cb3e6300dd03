#pragma once

#include "hosting/control_loader.h"

#include <QPointer>
#include <QVariant>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace kestrova::platform {
class SettingsStore;
}

namespace kestrova::hosting {

// The module file a host program ships: the first of `folders` (relative ones are taken
// from the program's folder) that holds `fileName`, as a canonical path; empty with a
// message in `error` when none does.
std::string FindShippedModule(std::string_view fileName, const std::vector<std::string>& folders,
                              std::string* error);

// Registers the module at `modulePath` in the user's settings store, as a set-up program
// does. False with a message in `error` when it cannot be loaded or registered.
bool RegisterModule(const std::string& modulePath, std::string* error);

// A control a host program made from its ProgID through the user's settings store. The
// module stays loaded; the control is destroyed with this object unless its parent took
// it first. Automation methods are called by name through the module's dispatch table.
class HostedControl {
public:
    static std::unique_ptr<HostedControl> Create(std::string_view progId, QWidget* parent,
                                                 std::string* error);
    ~HostedControl();
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    QObject* Object() const { return object_.data(); }
    QWidget* Widget() const;
    const DispatchTable& Dispatch() const { return dispatch_; }
    const std::string& ModulePath() const { return modulePath_; }
    // The control's host-facing interface (declared with Q_DECLARE_INTERFACE), or null.
    template <class Interface> Interface* As() const {
        return qobject_cast<Interface*>(object_.data());
    }

    // Calls a method by name; the result, or an invalid QVariant when the method returns
    // nothing or the call was refused (then `error` says why).
    QVariant Call(std::string_view method, const QVariantList& args = {},
                  QString* error = nullptr) const;

    // What a host program that ships its module does at start: registers the module (found
    // as by FindShippedModule) in the user's settings store, then makes the control from
    // `progId`. Null with a message in `error` when any step fails.
    static std::unique_ptr<HostedControl> CreateShipped(std::string_view moduleFile,
                                                        const std::vector<std::string>& folders,
                                                        std::string_view progId, QWidget* parent,
                                                        std::string* error);

private:
    HostedControl() = default;
    std::unique_ptr<platform::SettingsStore> settings_;
    std::unique_ptr<KeyStore> store_;
    std::unique_ptr<ControlLoader> loader_;
    QPointer<QObject> object_;
    DispatchTable dispatch_{nullptr};
    std::string modulePath_;
};

} // namespace kestrova::hosting
