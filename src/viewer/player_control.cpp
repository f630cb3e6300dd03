#include "viewer/player_control.h"

#include "viewer/about_dialog.h"
#include "viewer/camera_answer.h"
#include "viewer/dialog_host.h"
#include "viewer/video_window.h"

#include <QDesktopServices>
#include <QUrl>
#include <array>
#include <cmath>

namespace kestrova::viewer {

namespace {

using T = QMetaType::Type;
constexpr std::array<T, 0> kNone{};
constexpr std::array<T, 1> kInt{T::Int};
constexpr std::array<T, 2> kIntInt{T::Int, T::Int};
constexpr std::array<T, 2> kIntString{T::Int, T::QString};
constexpr std::array<T, 1> kString{T::QString};
constexpr std::array<T, 5> kStrings5{T::QString, T::QString, T::QString, T::QString, T::QString};

constexpr std::array<DispatchEntry, 16> kDispatch{{
    {1, "StartPlay", kIntString, T::Void},
    {2, "StopPlay", kNone, T::Void},
    {3, "SetZoomPercent", kInt, T::Void},
    {4, "SetPlayAudio", kNone, T::Void},
    {5, "StopPlayAudio", kNone, T::Void},
    {6, "OpenSettingPage", kString, T::Void},
    {7, "SnapShot", kNone, T::Void},
    {8, "SetViewSize", kIntInt, T::Void},
    {9, "VideoFlip", kNone, T::Void},
    {10, "VideoMirror", kNone, T::Void},
    {11, "VideoZoom", kNone, T::Void},
    {12, "AudioVolume", kInt, T::Void},
    {13, "DirectPT", kInt, T::Void},
    {14, "RestoreVideo", kNone, T::Void},
    {15, "SetSource", kStrings5, T::Bool},
    {COrloPlayerSetaCtrl::kDispidAboutBox, "AboutBox", kNone, T::Void},
}};

bool ToInt(const QVariant& v, int& out) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: {
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok || n < INT32_MIN || n > INT32_MAX)
            return false;
        out = static_cast<int>(n);
        return true;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || d < INT32_MIN || d > INT32_MAX)
            return false;
        out = static_cast<int>(d);
        return true;
    }
    default:
        return false;
    }
}

bool ToString(const QVariant& v, QString& out) {
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        out = v.toString();
        return true;
    }
    return false;
}

} // namespace

COrloPlayerSetaCtrl::COrloPlayerSetaCtrl(QWidget* parent)
    : QWidget(parent), window_(new CVideoWindow(this)) {
    setObjectName(QStringLiteral("KestrovaControl"));
    window_->setGeometry(0, 0, CVideoWindow::kWidth, CVideoWindow::kHeight);
    resize(CVideoWindow::kWidth, CVideoWindow::kHeight);
    opener_ = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
}

COrloPlayerSetaCtrl::~COrloPlayerSetaCtrl() = default;

void COrloPlayerSetaCtrl::SetDialogHost(DialogHost* host) {
    host_ = host;
    window_->SetDialogHost(host);
}

void COrloPlayerSetaCtrl::StartPlay(int bRecord, const QString& sRecordFilename) {
    window_->StartPlay(bRecord, sRecordFilename.toStdString());
}
void COrloPlayerSetaCtrl::StopPlay() {
    window_->StopPlay();
}
void COrloPlayerSetaCtrl::SetZoomPercent(int nPercent) {
    window_->SetZoomPercent(nPercent);
}
void COrloPlayerSetaCtrl::SetPlayAudio() {
    window_->SetPlayAudio();
}
void COrloPlayerSetaCtrl::StopPlayAudio() {
    window_->StopPlayAudio();
}
void COrloPlayerSetaCtrl::SnapShot() {
    window_->SnapShot();
}
void COrloPlayerSetaCtrl::SetViewSize(int nWidth, int nHeight) {
    window_->SetViewSize(nWidth, nHeight);
}
void COrloPlayerSetaCtrl::VideoFlip() {
    window_->VideoFlip();
}
void COrloPlayerSetaCtrl::VideoMirror() {
    window_->VideoMirror();
}
void COrloPlayerSetaCtrl::VideoZoom() {
    window_->VideoZoom();
}
void COrloPlayerSetaCtrl::AudioVolume(int nVal) {
    window_->AudioVolume(nVal);
}
void COrloPlayerSetaCtrl::DirectPT(int nVal) {
    window_->DirectPT(nVal);
}
void COrloPlayerSetaCtrl::RestoreVideo() {
    window_->RestoreVideo();
}

bool COrloPlayerSetaCtrl::SetSource(const QString& sURL, const QString& sFrameType,
                                    const QString& sPanTilt, const QString& sFrameRate,
                                    const QString& base64string) {
    return window_->SetSource(sURL.toStdString(), sFrameType.toStdString(), sPanTilt.toStdString(),
                              sFrameRate.toStdString(), base64string.toStdString());
}

void COrloPlayerSetaCtrl::OpenSettingPage(const QString& sURL) {
    // Only web pages are opened, and never through a shell: anything else is ignored.
    const std::string url = sURL.toStdString();
    if (!IsBrowsableUrl(url))
        return;
    lastOpened_ = sURL;
    if (opener_)
        (void)opener_(sURL); // the control does not wait and ignores failure
}

void COrloPlayerSetaCtrl::AboutBox() {
    if (host_) {
        host_->About();
        return;
    }
    CAboutDialog about(this);
    about.exec();
}

std::span<const DispatchEntry> COrloPlayerSetaCtrl::DispatchTable() {
    return kDispatch;
}

const DispatchEntry* COrloPlayerSetaCtrl::FindDispatch(int id) {
    for (const auto& e : kDispatch)
        if (e.id == id)
            return &e;
    return nullptr;
}

const DispatchEntry* COrloPlayerSetaCtrl::FindDispatch(std::string_view name) {
    for (const auto& e : kDispatch)
        if (name == e.name)
            return &e;
    return nullptr;
}

bool COrloPlayerSetaCtrl::Invoke(std::string_view name, const QVariantList& args, QVariant* result,
                                 QString* error) {
    const DispatchEntry* e = FindDispatch(name);
    if (!e) {
        if (error)
            *error = QStringLiteral("unknown method %1")
                         .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        return false;
    }
    return Invoke(e->id, args, result, error);
}

bool COrloPlayerSetaCtrl::Invoke(int dispid, const QVariantList& args, QVariant* result,
                                 QString* error) {
    const DispatchEntry* e = FindDispatch(dispid);
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!e)
        return fail(QStringLiteral("unknown dispatch id %1").arg(dispid));
    if (static_cast<std::size_t>(args.size()) != e->params.size())
        return fail(QStringLiteral("%1 takes %2 argument(s), %3 given")
                        .arg(QLatin1String(e->name))
                        .arg(e->params.size())
                        .arg(args.size()));
    std::array<int, 5> ints{};
    std::array<QString, 5> strings;
    for (std::size_t i = 0; i < e->params.size(); ++i) {
        const bool ok = e->params[i] == QMetaType::Int ? ToInt(args[i], ints[i])
                                                       : ToString(args[i], strings[i]);
        if (!ok)
            return fail(QStringLiteral("%1: argument %2 must be %3")
                            .arg(QLatin1String(e->name))
                            .arg(i + 1)
                            .arg(e->params[i] == QMetaType::Int ? QStringLiteral("a number")
                                                                : QStringLiteral("a string")));
    }
    QVariant value;
    switch (dispid) {
    case 1:
        StartPlay(ints[0], strings[1]);
        break;
    case 2:
        StopPlay();
        break;
    case 3:
        SetZoomPercent(ints[0]);
        break;
    case 4:
        SetPlayAudio();
        break;
    case 5:
        StopPlayAudio();
        break;
    case 6:
        OpenSettingPage(strings[0]);
        break;
    case 7:
        SnapShot();
        break;
    case 8:
        SetViewSize(ints[0], ints[1]);
        break;
    case 9:
        VideoFlip();
        break;
    case 10:
        VideoMirror();
        break;
    case 11:
        VideoZoom();
        break;
    case 12:
        AudioVolume(ints[0]);
        break;
    case 13:
        DirectPT(ints[0]);
        break;
    case 14:
        RestoreVideo();
        break;
    case 15:
        value = SetSource(strings[0], strings[1], strings[2], strings[3], strings[4]);
        break;
    case kDispidAboutBox:
        AboutBox();
        break;
    }
    if (result)
        *result = value;
    return true;
}

} // namespace kestrova::viewer
