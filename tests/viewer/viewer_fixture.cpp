#include "viewer_fixture.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <regex>

namespace kestrova::viewer::testing {

namespace {

// One application object for the whole test program, on the offscreen platform, with a
// settings store of its own.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        settings_ = std::make_unique<QTemporaryDir>();
        qputenv("KESTROVA_SETTINGS", settings_->filePath("registry.ini").toUtf8());
        static int argc = 1;
        static char name[] = "viewer_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QTemporaryDir> settings_;
    std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

void ViewerTest::SetUp() {
    temp = std::make_unique<QTemporaryDir>();
}

void ViewerTest::TearDown() {
    control.reset();
    camera.reset();
    QCoreApplication::processEvents();
}

void ViewerTest::StartCamera(sim::SimOptions options) {
    camera = std::make_unique<sim::CameraSimulator>(options);
    std::string error;
    ASSERT_TRUE(camera->Start(&error)) << error;
}

void ViewerTest::MakeControl(bool interactive, bool shown) {
    control = std::make_unique<COrloPlayerSetaCtrl>();
    if (!interactive)
        control->SetDialogHost(&host);
    window = &control->Window();
    stream::EngineTimings t;
    t.connectTimeout = 3000;
    t.connectSettle = 20;
    t.readTimeout = 1500;
    t.sessionStop = 6000;
    t.consumerStop = 3000;
    t.readerJoin = 1000;
    t.stopPause = 20;
    t.readerSettle = 20;
    window->SetTimings(t);
    net::CHttpPoster::Options http;
    http.sendSettle = std::chrono::milliseconds(5);
    http.sendTimeout = std::chrono::milliseconds(1200);
    http.readIdleTimeout = std::chrono::milliseconds(1200);
    window->SetHttpOptions(http);
    window->SetSnapshotWait(49, std::chrono::milliseconds(100));
    window->SetSnapshotFolder(temp->path().toStdString());
    if (shown)
        control->show();
}

bool ViewerTest::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

QString ViewerTest::Credentials(const std::string& user, const std::string& password) {
    return QStringLiteral("Basic ") +
           QString::fromLatin1(QByteArray::fromStdString(user + ":" + password).toBase64());
}

QString ViewerTest::StreamUrl(bool mpeg) const {
    return QString::fromStdString(camera->BaseUrl()) +
           (mpeg ? QStringLiteral("img/video.asf") : QStringLiteral("img/mjpeg.cgi"));
}

bool ViewerTest::SourceAndPlay(bool mpeg) {
    control->SetSource(StreamUrl(mpeg), mpeg ? "mpeg" : "jpeg", "off", "",
                       Credentials("admin", "admin"));
    if (!window->SourceReady())
        return false;
    control->StartPlay(0, QString());
    return true;
}

bool ViewerTest::WaitFrames(uint64_t count, int timeoutMs) {
    const uint64_t start = window->FramesDrawn();
    return WaitFor([&] { return window->FramesDrawn() >= start + count; }, timeoutMs);
}

QImage ViewerTest::Grab() {
    QCoreApplication::processEvents();
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int ViewerTest::CameraCount(const std::string& key) const {
    const std::string status = camera->StatusJson();
    const std::regex re("\"" + key + "\":(-?[0-9]+)");
    std::smatch m;
    if (!std::regex_search(status, m, re))
        return -1;
    return std::stoi(m[1]);
}

QRgb ViewerTest::BarColour(const QImage& img, QSize drawn, int index, bool mirrored) {
    const int barWidth = drawn.width() / 8;
    int x = barWidth * index + barWidth / 2;
    if (mirrored)
        x = drawn.width() - 1 - x;
    // The moving square (bright pink) may sit on the bar: its pixels are left out.
    static constexpr int kSquare[3] = {255, 180, 180};
    std::vector<int> r, g, b;
    for (int i = 0; i < 9; ++i) {
        const int y = drawn.height() * (20 + 5 * i) / 100;
        const QRgb c = img.pixel(x, y);
        if (Near(c, kSquare, 30))
            continue;
        r.push_back(qRed(c));
        g.push_back(qGreen(c));
        b.push_back(qBlue(c));
    }
    if (r.empty())
        return qRgb(kSquare[0], kSquare[1], kSquare[2]);
    auto median = [](std::vector<int>& v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    return qRgb(median(r), median(g), median(b));
}

bool ViewerTest::Near(QRgb c, const int rgb[3], int tolerance) {
    return std::abs(qRed(c) - rgb[0]) <= tolerance && std::abs(qGreen(c) - rgb[1]) <= tolerance &&
           std::abs(qBlue(c) - rgb[2]) <= tolerance;
}

} // namespace kestrova::viewer::testing
