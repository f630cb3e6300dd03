// The wardline program as a user runs it against a camera: what it prints after an Apply is
// what the camera kept.
#include "sim/camera_simulator.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace kestrova::motion {
namespace {

class WardlineProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "WardlineProgramTest";
        static char* argv[] = {name, nullptr};
        app_ = new QCoreApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete app_; }

    void SetUp() override {
        camera_ = std::make_unique<sim::CameraSimulator>(sim::SimOptions{});
        std::string error;
        ASSERT_TRUE(camera_->Start(&error)) << error;
    }

    // Runs wardline on the camera; its standard output, or "" when it failed.
    QString Run(QStringList args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KESTROVA_SETTINGS", dir_.filePath("registry.ini"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        args.prepend(QString::fromStdString(camera_->BaseUrl()).chopped(1));
        args << "--headless"
             << "--password"
             << "admin";
        p.start(WARDLINE_PROGRAM, args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "wardline did not end";
        }
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }

    static QCoreApplication* app_;
    QTemporaryDir dir_;
    std::unique_ptr<sim::CameraSimulator> camera_;
};
QCoreApplication* WardlineProgram::app_ = nullptr;

TEST_F(WardlineProgram, UntickAndApplyKeepsEveryRectangle) {
    const QString before = Run({"--dump"});
    ASSERT_TRUE(before.contains("\"title\":\"Area 3\",\"x1\":0,\"y1\":240,\"x2\":320,\"y2\":480"))
        << before.toStdString();
    Run({"--enable", "3=0", "--apply"});
    QString after = Run({"--dump"});
    // Only area 3's enable flag changed.
    const QString area3 = "{\"enable\":1,\"threshold\":50,\"sensitivity\":50,\"title\":\"Area 3\"";
    ASSERT_TRUE(before.contains(area3));
    EXPECT_EQ(after, QString(before).replace(
                         area3, QString(area3).replace("\"enable\":1", "\"enable\":0")));
}

} // namespace
} // namespace kestrova::motion
