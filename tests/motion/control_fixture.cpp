#include "control_fixture.h"

#include "motion/motion_engine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <fstream>

namespace kestrova::motion::testing {

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "motion_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        stream::EngineTimings t;
        t.connectTimeout = 3000;
        t.connectSettle = 20;
        t.readTimeout = 1500;
        t.sessionStop = 6000;
        t.consumerStop = 3000;
        t.readerJoin = 1000;
        t.stopPause = 20;
        t.readerSettle = 20;
        MotionEngine::Instance().SetTimings(t);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

void ControlTest::SetUp() {
    temp = std::make_unique<QTemporaryDir>();
}

void ControlTest::TearDown() {
    if (control)
        control->StopPlay();
    control.reset();
    camera.reset();
    MotionEngine::Instance().sessionActive = false;
    QCoreApplication::processEvents();
}

void ControlTest::StartCamera(sim::SimOptions options, const std::string& setupJson) {
    if (!setupJson.empty()) {
        options.motionFile = temp->filePath("motion.json").toStdString();
        std::ofstream(options.motionFile) << setupJson;
    }
    camera = std::make_unique<sim::CameraSimulator>(options);
    std::string error;
    ASSERT_TRUE(camera->Start(&error)) << error;
}

void ControlTest::MakeControl() {
    control = std::make_unique<COrloMotionDetectCtrl>();
    control->SetDialogHost(&dialogs);
    MotionTimings t;
    t.snapshotWait = 5;
    t.stopWait = 5;
    t.restartWait = 5;
    t.cancelWait = 5;
    t.sessionStop = 6000;
    control->SetTimings(t);
    window = &control->Window();
}

std::string ControlTest::Base() const {
    std::string base = camera->BaseUrl();
    if (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

QString ControlTest::Auth(const std::string& user, const std::string& password) {
    return "Basic " +
           QString::fromLatin1(QByteArray::fromStdString(user + ":" + password).toBase64());
}

bool ControlTest::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

int ControlTest::CameraCount(const std::string& key) const {
    const std::string status = camera->StatusJson();
    const std::string needle = "\"" + key + "\":";
    const auto at = status.find(needle);
    return at == std::string::npos ? -1 : std::atoi(status.c_str() + at + needle.size());
}

std::string ControlTest::CameraMotion() const {
    const std::string status = camera->StatusJson();
    const auto at = status.find("\"motion\":");
    return at == std::string::npos ? std::string() : status.substr(at);
}

sim::MotionSetup ControlTest::StoredSetup() const {
    // "/status" ends with the set-up: ,"motion":{...}}
    std::string text = CameraMotion();
    text = text.substr(std::string("\"motion\":").size());
    if (!text.empty())
        text.pop_back();
    sim::MotionSetup setup;
    std::string error;
    EXPECT_TRUE(sim::MotionSetupFromJson(text, setup, &error)) << error << ": " << text;
    return setup;
}

} // namespace kestrova::motion::testing
