#include "window_fixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QTest>
#include <thread>

namespace kestrova::app::test {

namespace {

// One application object for the test program: offscreen unless a platform was chosen
// (the full-screen test runs on a real X server).
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "window_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void WindowFixture::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    qputenv("KESTROVA_SETTINGS", dir_.filePath(QStringLiteral("settings.ini")).toUtf8());
    std::string error;
    const std::string module = KESTROVA_MODULE_PATH;
    control_ = hosting::HostedControl::CreateShipped(
        QFileInfo(QString::fromStdString(module)).fileName().toStdString(),
        {QFileInfo(QString::fromStdString(module)).absolutePath().toStdString()},
        "KESTROVA.KestrovaCtrl.1", nullptr, &error);
    ASSERT_TRUE(control_) << error;
    window_ = std::make_unique<ViewerWindow>(*control_);
    window_->SetRecordFolder(dir_.path());
    window_->resize(700, 560);
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get())); // shortcuts need an active window
}

void WindowFixture::TearDown() {
    if (control_ && control_->Object())
        control_->Call("StopPlay");
    window_.reset();
    control_.reset();
    camera_.reset();
}

sim::CameraSimulator& WindowFixture::StartCamera(sim::SimOptions options) {
    options.password = "secret";
    camera_ = std::make_unique<sim::CameraSimulator>(options);
    std::string error;
    EXPECT_TRUE(camera_->Start(&error)) << error;
    return *camera_;
}

CameraAddress WindowFixture::CameraAt(const std::string& text) const {
    std::string error;
    auto a = ParseCameraAddress(text, error);
    EXPECT_TRUE(a) << error;
    return a.value_or(CameraAddress{});
}

bool WindowFixture::OpenCamera(const std::string& user, const std::string& password) {
    return window_->Open(CameraAt(camera_->BaseUrl()), user, password, "");
}

bool WindowFixture::WaitForState(CameraState state, std::chrono::milliseconds limit) {
    return WaitFor([&] { return window_->Model().State() == state; }, limit);
}

} // namespace kestrova::app::test
