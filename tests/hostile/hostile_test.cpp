// The kestrova and wardline programs against every behaviour of the hostile camera: each
// run must end by itself, with the exit status and the words on stderr a user should get.
#include "codec/image/jpeg_codec.h"
#include "hostile/hostile_camera.h"
#include "hostile/hostile_media.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrova::hostile {
namespace {

struct ProgramRun {
    int exitCode = -1;
    bool crashed = false;
    QString err;
    qint64 ms = 0;
};

ProgramRun RunAgainst(const HostileCamera& camera, Host host) {
    QTemporaryDir dir;
    QStringList args;
    const char* program = KESTROVA_PROGRAM;
    std::string base = camera.Base();
    if (host == Host::MotionView || host == Host::MotionAreas) {
        program = WARDLINE_PROGRAM;
        base.pop_back();
        args << QString::fromStdString(base) << "--headless";
        if (host == Host::MotionView)
            args << "--mode"
                 << "view";
        else
            args << "--watch"
                 << "2";
    } else {
        const bool mpeg = host == Host::ViewerMpeg4;
        args << QString::fromStdString(base + (mpeg ? "img/video.asf" : "img/mjpeg.cgi"))
             << "--headless"
             << "--type" << (mpeg ? "mpeg4" : "jpeg") << "--seconds"
             << "3";
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KESTROVA_SETTINGS", dir.filePath("registry.ini"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    ProgramRun run;
    // Generous: the run must end by itself; a hang is what this catches, not slowness.
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << program << " did not end";
    }
    run.ms = clock.elapsed();
    run.crashed = p.exitStatus() != QProcess::NormalExit;
    run.exitCode = run.crashed ? -1 : p.exitCode();
    run.err = QString::fromLocal8Bit(p.readAllStandardError());
    return run;
}

class HostileCameraTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "HostileCameraTest";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
};

TEST_P(HostileCameraTest, ProgramEndsAndSaysWhy) {
    const Behaviour& b = *FindBehaviour(GetParam());
    HostileCamera camera(b);
    const ProgramRun run = RunAgainst(camera, b.host);
    const std::string err = run.err.toStdString();
    SCOPED_TRACE(b.what + "\n" + err);
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode == 0, b.expect.exitsZero) << "exit " << run.exitCode;
    if (!b.expect.says.empty()) {
        EXPECT_NE(err.find(b.expect.says), std::string::npos) << "missing: " << b.expect.says;
    }
    if (!b.expect.neverSays.empty()) {
        EXPECT_EQ(err.find(b.expect.neverSays), std::string::npos)
            << "said: " << b.expect.neverSays;
    }
    std::printf("%-24s exit %d in %lld ms\n", b.name.c_str(), run.exitCode,
                static_cast<long long>(run.ms));
}

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const Behaviour& b : Behaviours())
        names.push_back(b.name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Behaviours, HostileCameraTest, ::testing::ValuesIn(Names()),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '-')
                                     c = '_';
                             return n;
                         });

// The pictures the camera sends are what they claim to be: the bombs and the damage are in
// the bytes, not only in the table's names.
TEST(HostileMedia, PicturesCarryTheirDamage) {
    const Bytes frame = EncodeJpeg(320, 240, false);
    const Bytes bomb = WithScans(EncodeJpeg(320, 240, true), 3000);
    EXPECT_EQ(CountScans(frame), 1);
    EXPECT_EQ(CountScans(bomb), 3000);
    std::vector<uint8_t> dib;
    const image::JpegLimits unlimited{8192, 8192, 1 << 30};
    struct Case {
        const char* name;
        Bytes jpeg;
        image::JpegStatus status;
        bool warnings;
    } cases[] = {
        {"baseline", frame, image::JpegStatus::Ok, false},
        {"cut", CutInsideScan(frame, 0.5), image::JpegStatus::Ok, true},
        {"stray marker", WithStrayMarker(frame), image::JpegStatus::Ok, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = image::DecodeJpeg(c.jpeg, dib, unlimited);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.warnings, c.warnings);
    }
}

} // namespace
} // namespace kestrova::hostile
