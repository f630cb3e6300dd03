// kestrova-page as a user runs it: script errors, timers, control calls, and both example
// pages against the simulated camera.
#include "../../apps/kestrova-page/page_options.h"
#include "hosting/key_store.h"
#include "hosting/registration.h"
#include "platform/settings_store.h"
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

    // Headless unless `windowed`: then the page runs as with a display (offscreen here).
    PageRun Run(QStringList args, int timeoutMs = 60000, bool windowed = false,
                const QStringList& extraEnv = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& e : extraEnv)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        env.insert("KESTROVA_SETTINGS", dir_.filePath("registry.ini"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(PAGE_HOST_PATH, windowed ? args : QStringList{"--headless"} + args);
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

TEST_F(PageHostTest, ControlsComeFromTheirProgIdsAndConvertArguments) {
    PageRun r = Run({Script("page.create('KESTROVA.KestrovaCtrl.1');")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("KESTROVA.KestrovaCtrl.1 is not registered")) << r.err.toStdString();

    // Form values arrive as text and booleans; what does not fit is an exception naming
    // the method and the argument, and the call is not made.
    const QString calls =
        Script("var m = page.create('WARDLINE.WardlineCtrl.1');\n"
               "print(m.GetMotionEnable('0'), m.GetMotionIndicator(9));\n"
               "m.SetMotionTitle(' 2 ', 42);\n"
               "m.SetMotionTitle(0.5, null);\n"
               "print(m.GetMotionTitle(2.5), '[' + m.GetMotionTitle(false) + ']');\n"
               "try { m.SetMotionThrehold(1); } catch (e) { print(e.name + ': ' + e.message); }\n"
               "try { m.SetMotionTitle(40000, 'x'); } catch (e) { print(e.name); }\n"
               "m.SetMotionTitle('two', 'Gate');\n");
    r = Run({"--register", WARDLINE_MODULE_PATH, calls});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "-1 0\n42 []\n"
                     "TypeError: WARDLINE.WardlineCtrl.1: SetMotionThrehold takes 2 "
                     "argument(s), 1 given\nRangeError\n")
        << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(calls + ":8: TypeError: WARDLINE.WardlineCtrl.1: SetMotionTitle: "
                                       "argument 1 (nIdx): type mismatch: string \"two\" is not "
                                       "a short"))
        << r.err.toStdString();
}

// A browser scripts only classes marked safe for scripting and for initialisation.
TEST_F(PageHostTest, ClassesWithoutSafetyMarksAreRefused) {
    const QString page = Script("page.create('WARDLINE.WardlineCtrl.1'); print('created');");
    PageRun r = Run({"--register", WARDLINE_MODULE_PATH, page});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    {
        kestrova::platform::SettingsStore settings(dir_.filePath("registry.ini"));
        kestrova::hosting::SettingsKeyStore store(settings);
        const auto where = kestrova::hosting::LookUpProgId(store, "WARDLINE.WardlineCtrl.1");
        ASSERT_TRUE(where);
        ASSERT_TRUE(store.RemoveKey(kestrova::hosting::ImplementedCategoryKey(
            where->clsid, kestrova::hosting::kCatidSafeForScripting)));
        ASSERT_TRUE(settings.Sync());
    }
    r = Run({page});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.contains("WARDLINE.WardlineCtrl.1 is not marked safe for scripting"))
        << r.err.toStdString();
    // The property page was never marked: a page cannot make it either.
    r = Run({Script("page.create('WARDLINE.WardlinePropPage.1');")});
    EXPECT_TRUE(r.err.contains("WARDLINE.WardlinePropPage.1 is not marked safe for scripting and "
                               "safe for initialisation"))
        << r.err.toStdString();
}

TEST_F(PageHostTest, PageQuitStatusIsTheProgramsExitStatus) {
    EXPECT_EQ(Run({Script("page.quit(7);")}).exitCode, 7);
    EXPECT_EQ(Run({Script("page.quit(7);")}, 60000, /*windowed=*/true).exitCode, 7);
    PageRun r = Run({Script("setInterval(function () { print('tick'); page.quit(5); }, 10);\n"
                            "setTimeout(function () { print('never'); }, 300);\n")},
                    60000, /*windowed=*/true);
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_EQ(r.out, "tick\n");
    EXPECT_EQ(Run({Script("setTimeout(function () { page.quit(6); }, 10);")}).exitCode, 6);
    EXPECT_EQ(Run({Script("page.quit();")}).exitCode, 0);
}

// Against a camera that is not there, the example pages end with a failure status.
TEST_F(PageHostTest, ExamplesFailWhenTheySawNoPicture) {
    const PageRun r = Run({"--register", KESTROVA_MODULE_PATH, "--set",
                           "camera=http://127.0.0.1:1/", EXAMPLES_DIR "/live-view.js"});
    EXPECT_EQ(r.exitCode, 4) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("pictures drawn: 0")) << r.out.toStdString();
}

// While a control's modal dialog holds a call open (here the viewer's about box, which
// nobody answers until --seconds ends the page), the page's timers wait.
TEST_F(PageHostTest, TimersWaitWhileADialogHoldsACall) {
    const QString page = Script("var v = page.create('KESTROVA.KestrovaCtrl.1');\n"
                                "var ticks = 0;\n"
                                "setInterval(function () { ticks++; }, 5);\n"
                                "setTimeout(function () {\n"
                                "    var before = ticks;\n"
                                "    v.AboutBox();\n"
                                "    print('ticks during the dialog:', ticks - before);\n"
                                "}, 50);\n");
    const PageRun r = Run({"--register", KESTROVA_MODULE_PATH, "--seconds", "1", page}, 60000,
                          /*windowed=*/true);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "ticks during the dialog: 0\n");
}

// With a display the page window shows the controls where the page put them.
TEST_F(PageHostTest, PageWindowHoldsTheControlsWherePlaced) {
    const QString page = Script("var v = page.create('KESTROVA.KestrovaCtrl.1', {hidden: true});\n"
                                "var m = page.create('WARDLINE.WardlineCtrl.1');\n"
                                "var w = page.look();\n"
                                "print('page', w.visible, w.width + 'x' + w.height);\n"
                                "print('viewer', page.look(v).visible);\n"
                                "page.place(v, 0, 0);\n"
                                "print('viewer', page.look(v).visible);\n"
                                "page.place(m, 20, 500, 400, 300);\n"
                                "w = page.look();\n"
                                "print('page', w.width + 'x' + w.height);\n"
                                "try { page.place(m, -1, 0); } catch (e) { print(e.name); }\n"
                                "page.quit(0);\n");
    PageRun r = Run({"--register", KESTROVA_MODULE_PATH, "--register", WARDLINE_MODULE_PATH, page},
                    60000, /*windowed=*/true);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Side by side at their own sizes (640 x 480, 528 x 396; the viewer hidden until
    // placed), then the motion control moved below the viewer.
    EXPECT_EQ(r.out, "page true 1176x396\nviewer false\nviewer true\npage 1176x800\nRangeError\n")
        << r.out.toStdString();
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

// A stream the engine gives up on: the page host prints why, once, though the viewer
// restarts the play again and again.
TEST_F(ExamplePages, EngineTextOfAnEndedStreamIsPrintedOnce) {
    ASSERT_TRUE(camera_->SetFault("bad-stream-number"));
    const PageRun r = Run({"--register", KESTROVA_MODULE_PATH, "--set", "camera=" + Camera(),
                           EXAMPLES_DIR "/live-view.js"});
    EXPECT_EQ(r.err.count(QRegularExpression(
                  "kestrova-page: the stream ended \\(420\\): Bad StreamNo: \\d+")),
              1)
        << r.err.toStdString();
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

// Every method of both controls called with form values, headless, against the camera.
TEST_F(ExamplePages, FormPagePlaysZoomsSnapsAndChangesAMotionArea) {
    QTemporaryDir shots;
    PageRun r =
        Run({"--register", KESTROVA_MODULE_PATH, "--register", WARDLINE_MODULE_PATH, "--set",
             "camera=" + Camera(), "--save-dir", shots.path(), EXAMPLES_DIR "/form-page.js"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("viewer source: true\nmotion source: true\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("area 0: enabled -1, threshold 36, title \"Gate\""))
        << r.out.toStdString();
    EXPECT_GE(Number(r.out, "pictures drawn: (\\d+)"), 3) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("zoomed: true")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("browser \"" + Camera() + "setting.htm\" not opened"))
        << r.out.toStdString();
    EXPECT_EQ(QDir(shots.path()).entryList(QDir::Files).size(), 1);
    // The camera stored the changed area.
    const QString status = QString::fromStdString(camera_->StatusJson());
    EXPECT_TRUE(status.contains("\"Gate\"")) << status.toStdString();
}

// Where no sound output exists the page host says so, once, on stderr; asked for a WAV
// file it plays the viewer's sound into it instead.
TEST_F(ExamplePages, LiveViewSoundGoesIntoTheWavOrItsAbsenceIsReportedOnce) {
    const QStringList noServer{"PULSE_SERVER=unix:/nonexistent/kestrova-no-sound"};
    const QStringList page{"--register", KESTROVA_MODULE_PATH, "--set", "camera=" + Camera(),
                           EXAMPLES_DIR "/live-view.js"};
    PageRun silent = Run(page, 60000, false, noServer);
    EXPECT_EQ(silent.exitCode, 0) << silent.err.toStdString();
    EXPECT_EQ(silent.err.count("kestrova-page: no sound device"), 1) << silent.err.toStdString();

    const QString wav = dir_.filePath("page.wav");
    PageRun recorded = Run(QStringList{"--audio-wav", wav} + page, 60000, false, noServer);
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
