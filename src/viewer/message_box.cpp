#include "viewer/message_box.h"

#include "viewer/dialog_host.h"
#include "viewer/string_table.h"

#include <QMessageBox>
#include <mutex>
#include <string>

namespace kestrova::viewer {

namespace {

std::mutex& ObserverMutex() {
    static std::mutex m;
    return m;
}

std::function<void(int)>& Observer() {
    static std::function<void(int)> observer;
    return observer;
}

QString Text(int id) {
    const auto text = LoadString(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void ShowMessage(QWidget* parent, int id, DialogHost* host) {
    {
        std::lock_guard lock(ObserverMutex());
        if (Observer())
            Observer()(id);
    }
    if (host) {
        host->Message(id, std::string(LoadString(id)));
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, Text(kStrControlName), Text(id), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("MessageBox%1").arg(id));
    box.exec();
}

void SetMessageObserver(std::function<void(int id)> observer) {
    std::lock_guard lock(ObserverMutex());
    Observer() = std::move(observer);
}

} // namespace kestrova::viewer
