// kestrova-page as a user runs it: script errors, timers, control calls, and both example
// pages against the simulated camera.
#include "../../apps/kestrova-page/page_options.h"
#include "sim/camera_simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct PageRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class PageHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "PageHostTest";
        static char* argv[] = {name, nullptr};
        app_ = new QCoreApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete app_; }

    QString Script(const char* text) {
        const QString path = dir_.filePath(QStringLiteral("page%1.js").arg(++scripts_));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }

    PageRun Run(QStringList args, int timeoutMs = 60000, const QStringList& extraEnv = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& e : extraEnv)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        env.insert("KESTROVA_SETTINGS", dir_.filePath("registry.ini"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(PAGE_HOST_PATH, QStringList{"--headless"} + args);
        PageRun run;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "kestrova-page did not end";
        }
        run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(p.readAllStandardError());
        return run;
    }

    static QCoreApplication* app_;
    QTemporaryDir dir_;
    int scripts_ = 0;
};
QCoreApplication* PageHostTest::app_ = nullptr;

TEST_F(PageHostTest, ScriptErrorsNameFileAndLineAndFail) {
    const QString syntax = Script("print('a');\nvar x = ;\n");
    PageRun r = Run({syntax});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(syntax + ":2: SyntaxError")) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("a")); // nothing ran

    const QString inTimer =
        Script("print('start');\nsetTimeout(function () {\n"
               "    nothing.here = 1;\n}, 20);\nsetInterval(function(){}, 5);\n");
    r = Run({inTimer});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "start\n");
    EXPECT_TRUE(r.err.contains(inTimer + ":3: ReferenceError: nothing is not defined"))
        << r.err.toStdString();
}

TEST_F(PageHostTest, TimersRunInOrderAndThePageEndsWhenNoneIsLeft) {
    PageRun r = Run({Script("var n = 0;\n"
                            "var id = setInterval(function () {\n"
                            "    print('tick', ++n);\n"
                            "    if (n === 3) clearInterval(id);\n"
                            "}, 30);\n"
                            "setTimeout(function () { print('late'); }, 200);\n"
                            "setTimeout(function () { print('early'); }, 1);\n"
                            "var never = setTimeout(function () { print('cleared'); }, 10);\n"
                            "clearTimeout(never);\n")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "early\ntick 1\ntick 2\ntick 3\nlate\n");

    // --seconds ends a page whose interval never stops.
    r = Run({"--seconds", "1", Script("setInterval(function () {}, 50);")}, 10000);
    EXPECT_EQ(r.exitCode, 0);
    r = Run({Script("setTimeout('not a function', 10);")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("setTimeout needs a function")) << r.err.toStdString();
}

TEST_F(PageHostTest, ControlsComeFromTheirProgIdsAndRefuseBadCalls) {
    PageRun r = Run({Script("page.create('KESTROVA.KestrovaCtrl.1');")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("KESTROVA.KestrovaCtrl.1 is not registered")) << r.err.toStdString();

    const QString calls = Script("var m = page.create('WARDLINE.WardlineCtrl.1');\n"
                                 "print(m.GetMotionEnable(0), m.GetMotionIndicator(9));\n"
                                 "m.SetMotionTitle(2, 'Gate');\n"
                                 "print(m.GetMotionTitle(2));\n"
                                 "m.SetMotionThrehold(1);\n");
    r = Run({"--register", WARDLINE_MODULE_PATH, calls});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "-1 0\nGate\n");
    EXPECT_TRUE(r.err.contains(calls + ":5: TypeError: WARDLINE.WardlineCtrl.1: "
                                       "SetMotionThrehold takes 2 argument(s), 1 given"))
        << r.err.toStdString();
}

TEST_F(PageHostTest, OptionsAreCheckedBeforeAnythingRuns) {
    using kestrova::page::ParsePageOptions;
    QString error;
    auto o = ParsePageOptions({"--seconds", "3", "--set", "camera=http://a/?x=1", "--headless",
                               "--register", "m.so", "--save-dir", "/tmp/shots", "--audio-wav",
                               "/tmp/a.wav", "p.js"},
                              &error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->saveDir, "/tmp/shots");
    EXPECT_EQ(o->audioWav, "/tmp/a.wav");
    EXPECT_EQ(o->seconds, 3);
    EXPECT_TRUE(o->headless);
    EXPECT_EQ(o->params.value("camera").toString(), "http://a/?x=1");
    EXPECT_EQ(o->register_, QStringList{"m.so"});
    EXPECT_EQ(o->script, "p.js");
    for (const QStringList& bad :
         {QStringList{"--seconds", "x", "p.js"}, QStringList{"--seconds"},
          QStringList{"--set", "=v", "p.js"}, QStringList{"a.js", "b.js"},
          QStringList{"--frobnicate", "p.js"}, QStringList{}, QStringList{"p.js", "--save-dir"},
          QStringList{"p.js", "--audio-wav"}}) {
        error.clear();
        EXPECT_FALSE(ParsePageOptions(bad, &error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

// The two example pages, headless against the simulated camera.
class ExamplePages : public PageHostTest {
protected:
    void SetUp() override {
        kestrova::sim::SimOptions options;
        camera_ = std::make_unique<kestrova::sim::CameraSimulator>(options);
        std::string error;
        ASSERT_TRUE(camera_->Start(&error)) << error;
    }
    QString Camera() const { return QString::fromStdString(camera_->BaseUrl()); }
    std::unique_ptr<kestrova::sim::CameraSimulator> camera_;
};

int Number(const QString& text, const char* pattern) {
    const auto m = QRegularExpression(QLatin1String(pattern)).match(text);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

TEST_F(ExamplePages, LiveViewDrawsChangingPicturesAndSavesTheSnapshot) {
    QTemporaryDir shots;
    PageRun r = Run({"--register", KESTROVA_MODULE_PATH, "--set", "camera=" + Camera(),
                     "--save-dir", shots.path(), EXAMPLES_DIR "/live-view.js"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("source set: true"));
    EXPECT_TRUE(r.out.contains("snapshot taken"));
    EXPECT_GE(Number(r.out, "pictures drawn: (\\d+)"), 3) << r.out.toStdString();
    EXPECT_GT(Number(r.out, "look 6: 640x480, (\\d+)% lit"), 10) << r.out.toStdString();
    // The save dialog was answered with the default name, in the folder given.
    EXPECT_FALSE(r.out.contains("dismissed")) << r.out.toStdString();
    const QStringList saved = QDir(shots.path()).entryList(QDir::Files);
    ASSERT_EQ(saved.size(), 1) << r.out.toStdString();
    EXPECT_TRUE(QRegularExpression("^Orlo\\d{8}-\\d{6}\\.bmp$").match(saved[0]).hasMatch())
        << saved[0].toStdString();
    EXPECT_TRUE(
        r.out.contains("dialog \"snapshot\" saved to " + shots.filePath(saved[0]).chopped(4)))
        << r.out.toStdString();
    const QImage image(shots.filePath(saved[0]));
    EXPECT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 0);
}

// Where no sound output exists the page host says so, once, on stderr; asked for a WAV
// file it plays the viewer's sound into it instead.
TEST_F(ExamplePages, LiveViewSoundGoesIntoTheWavOrItsAbsenceIsReportedOnce) {
    const QStringList noServer{"PULSE_SERVER=unix:/nonexistent/kestrova-no-sound"};
    const QStringList page{"--register", KESTROVA_MODULE_PATH, "--set", "camera=" + Camera(),
                           EXAMPLES_DIR "/live-view.js"};
    PageRun silent = Run(page, 60000, noServer);
    EXPECT_EQ(silent.exitCode, 0) << silent.err.toStdString();
    EXPECT_EQ(silent.err.count("kestrova-page: no sound device"), 1) << silent.err.toStdString();

    const QString wav = dir_.filePath("page.wav");
    PageRun recorded = Run(QStringList{"--audio-wav", wav} + page, 60000, noServer);
    EXPECT_EQ(recorded.exitCode, 0) << recorded.err.toStdString();
    EXPECT_FALSE(recorded.err.contains("no sound device")) << recorded.err.toStdString();
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GT(bytes.size(), 44 + 16000) << "at least a second of sound";
    int sounding = 0;
    for (qsizetype at = 44; at + 1 < bytes.size(); at += 2)
        sounding += (bytes[at] | bytes[at + 1]) != 0;
    EXPECT_GT(sounding, (bytes.size() - 44) / 4) << "the camera's tone, not silence";
}

TEST_F(ExamplePages, RefusedLoginIsCancelledAndReported) {
    const QString page = Script("var v = page.create('KESTROVA.KestrovaCtrl.1');\n"
                                "print('accepted:', v.SetSource(page.params.camera + "
                                "'img/video.asf', 'mpeg', '', '', 'Basic bm9ib2R5Onh4'));\n");
    PageRun r = Run({"--register", KESTROVA_MODULE_PATH, "--set", "camera=" + Camera(), page});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("dialog \"authorization\" cancelled")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("dismissed")) << r.out.toStdString();
}

TEST_F(ExamplePages, MotionIndicatorsFollowTheMovingObject) {
    PageRun r = Run({"--register", WARDLINE_MODULE_PATH, "--set", "camera=" + Camera(), "--set",
                     "polls=15", EXAMPLES_DIR "/motion.js"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("area 1: enabled 1, threshold"));
    EXPECT_TRUE(r.out.contains("area 1 enabled as \"Entrance\""));
    EXPECT_GE(Number(r.out, "indicator changes: (\\d+)"), 2) << r.out.toStdString();
    // Some indicator rose above zero at some point.
    EXPECT_TRUE(QRegularExpression("indicators after \\d+ ms: .*[1-9]").match(r.out).hasMatch())
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("set-up applied; area 1 enabled 1"));
}

} // namespace
