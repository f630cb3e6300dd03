#include "hosting/hosted_control.h"

#include "hosting/status_codes.h"
#include "platform/settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <cstdio>

namespace kestrova::hosting {

std::string FindShippedModule(std::string_view fileName, const std::vector<std::string>& folders,
                              std::string* error) {
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString name =
        QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()));
    QStringList tried;
    for (const std::string& folder : folders) {
        const QString dir = programDir.absoluteFilePath(QString::fromStdString(folder));
        const QFileInfo file(QDir(dir).filePath(name));
        if (file.isFile())
            return file.canonicalFilePath().toStdString();
        tried << QDir::cleanPath(dir);
    }
    if (error)
        *error = "cannot find " + std::string(fileName) + " (looked in " +
                 tried.join(QStringLiteral(", ")).toStdString() + ")";
    return {};
}

bool RegisterModule(const std::string& modulePath, std::string* error) {
    std::string why;
    auto module = LoadedModule::Open(modulePath, &why);
    if (!module) {
        if (error)
            *error = why;
        return false;
    }
    const Status status = module->Register();
    if (status != kOk) {
        if (error) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<uint32_t>(status));
            *error = "registering " + modulePath + " in the settings store " +
                     platform::SettingsStore::DefaultPath().toStdString() + " failed (" + code +
                     ")";
        }
        return false;
    }
    return true;
}

std::unique_ptr<HostedControl> HostedControl::CreateShipped(std::string_view moduleFile,
                                                            const std::vector<std::string>& folders,
                                                            std::string_view progId,
                                                            QWidget* parent, std::string* error) {
    const std::string modulePath = FindShippedModule(moduleFile, folders, error);
    if (modulePath.empty() || !RegisterModule(modulePath, error))
        return nullptr;
    return Create(progId, parent, error);
}

std::unique_ptr<HostedControl> HostedControl::Create(std::string_view progId, QWidget* parent,
                                                     std::string* error) {
    std::unique_ptr<HostedControl> hosted(new HostedControl);
    // Opened after any registration, so it reads what the module wrote.
    hosted->settings_ = std::make_unique<platform::SettingsStore>();
    hosted->store_ = std::make_unique<SettingsKeyStore>(*hosted->settings_);
    hosted->loader_ = std::make_unique<ControlLoader>(*hosted->store_);
    auto created = hosted->loader_->Create(progId, parent, error);
    if (!created)
        return nullptr;
    hosted->object_ = created->object;
    hosted->dispatch_ = created->dispatch;
    hosted->modulePath_ = created->modulePath;
    return hosted;
}

HostedControl::~HostedControl() {
    // Before the loader: the control's code belongs to the module.
    delete object_.data();
}

QWidget* HostedControl::Widget() const {
    return qobject_cast<QWidget*>(object_.data());
}

QVariant HostedControl::Call(std::string_view method, const QVariantList& args,
                             QString* error) const {
    QVariant result;
    QString why;
    if (!object_ || !dispatch_.Invoke(object_.data(), method, args, &result, &why)) {
        if (error)
            *error = object_ ? why : QStringLiteral("the control no longer exists");
        return {};
    }
    return result;
}

} // namespace kestrova::hosting
