#include "codec/image/frame_image.h"
#include "control_fixture.h"
#include "motion/area_frame.h"
#include "motion/auth_prompt.h"
#include "motion/motion_engine.h"
#include "sim/motion_store.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>

namespace kestrova::motion::testing {
namespace {

constexpr const char* kCannotConnect = "Can not connect !";

TEST_F(ControlTest, ReadCreatesFramesAndStartsPictureAndIndicatorTimers) {
    StartCamera();
    MakeControl();
    EXPECT_EQ(control->GetMotionEnable(0), -1) << "nothing loaded yet";
    EXPECT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    control->show(); // the window's initialisation completes the start
    ASSERT_TRUE(window->WindowExists());
    EXPECT_EQ(control->GetMotionEnable(0), 1);
    EXPECT_EQ(control->GetMotionThrehold(2), 50);
    EXPECT_EQ(control->GetMotionTitle(3), "Area 4");
    EXPECT_TRUE(control->GetMotionTitle(4).isNull());
    // The camera's quadrants, scaled to the 400 x 300 picture.
    ASSERT_NE(window->Frame(1), nullptr);
    EXPECT_EQ(window->Frame(1)->geometry(), QRect(0, 0, 200, 150));
    EXPECT_EQ(window->Frame(4)->geometry(), QRect(200, 150, 200, 150));
    EXPECT_EQ(window->Frame(2)->Title(), "Area 2");
    EXPECT_EQ(window->Frame(0), nullptr);
    for (int n = 0; n < 4; ++n) {
        EXPECT_TRUE(window->TimerActive(n));
        EXPECT_EQ(window->TimerInterval(n), 200);
    }
    EXPECT_FALSE(window->OkButton()->isVisible());
    ASSERT_TRUE(WaitFor([] { return MotionEngine::Instance().PicturesDrawn() > 0; }));
    EXPECT_FALSE(MotionEngine::Instance().LastMpeg4Picture().isNull());
    // The picture is stretched to 400 x 300 and shows through the frames' holes: the first
    // colour bar (75 % white) on the left, the last (black) on the right.
    const QImage shown = window->grab().toImage();
    auto near = [](QColor c, int r, int g, int b) {
        return std::abs(c.red() - r) < 48 && std::abs(c.green() - g) < 48 &&
               std::abs(c.blue() - b) < 48;
    };
    EXPECT_TRUE(near(shown.pixelColor(25, 100), 191, 191, 191))
        << shown.pixelColor(25, 100).name().toStdString();
    EXPECT_TRUE(near(shown.pixelColor(380, 100), 0, 0, 0))
        << shown.pixelColor(380, 100).name().toStdString();
    EXPECT_TRUE(near(shown.pixelColor(450, 100), 255, 255, 255)) << "white beside the picture";

    // The dialog's OK (Enter) saves only in view mode.
    const int requests = CameraCount("/ocxparser.cgi");
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(CameraCount("/ocxparser.cgi"), requests);

    // Another control's window made while this stream runs reads nothing and stays out of
    // the way.
    COrloMotionDetectCtrl other;
    other.SetDialogHost(&dialogs);
    EXPECT_FALSE(other.SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")))
        << "refused while a stream runs";
    other.show();
    EXPECT_EQ(CameraCount("/ocxparser.cgi"), requests);
    EXPECT_EQ(other.GetMotionEnable(0), -1);
    EXPECT_FALSE(other.Window().PictureControl()->isVisible());

    // A second SetSource while the stream runs is refused.
    EXPECT_FALSE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    EXPECT_EQ(window->MessageText(), kCannotConnect);
}

TEST_F(ControlTest, ApplySendsEditsAndRestartsPicture) {
    StartCamera();
    MakeControl();
    control->show();
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    control->SetMotionThrehold(1, -5);
    control->SetMotionTitle(2, "Yard");
    control->SetMotionTitle(0, "Bad\r\nAREA0EN: 0");
    EXPECT_EQ(control->GetMotionTitle(0), "Area 1") << "a title with line breaks is refused";
    control->MotionEnable(3, 0);
    EXPECT_FALSE(window->Frame(4)->isVisible());
    EXPECT_FALSE(window->TimerActive(3));
    // Move area 1's frame to the left edge at window y 50 and shrink it to 100 x 100.
    window->Frame(1)->SizeFrame(QRect(0, 0, 100, 100));
    window->Frame(1)->MoveFrame(QRect(-30, 50, 100, 100));
    const int streamsBefore = CameraCount("requests_total");
    control->MotionApply();
    const std::string motion = CameraMotion();
    EXPECT_NE(motion.find("\"threshold\":-5"), std::string::npos) << motion;
    EXPECT_NE(motion.find("\"title\":\"Yard\""), std::string::npos) << motion;
    EXPECT_NE(motion.find("\"title\":\"Area 1\",\"x1\":0,\"y1\":80,\"x2\":160,\"y2\":240"),
              std::string::npos)
        << motion;
    // Area 4 was disabled: it keeps the camera's rectangle.
    EXPECT_NE(motion.find("\"enable\":0,\"threshold\":50,\"sensitivity\":50,\"title\":\"Area "
                          "4\",\"x1\":320,\"y1\":240,\"x2\":640,\"y2\":480"),
              std::string::npos)
        << motion;
    EXPECT_EQ(window->MessageText(), "Saved.");
    EXPECT_EQ(window->MessageLine()->font().pixelSize(), 28); // short texts keep the full size
    EXPECT_TRUE(MotionEngine::Instance().sessionActive);
    // The stream is opened again on the engine's thread: the camera sees it a moment later.
    EXPECT_TRUE(WaitFor([&] { return CameraCount("requests_total") > streamsBefore + 1; }))
        << "the stream was opened again";
    EXPECT_FALSE(MotionEngine::Instance().SessionFinished(false));

    // The camera refuses titles this long: without "MOT: OK" the picture stays stopped.
    control->SetMotionTitle(0, QString(100, 'x'));
    control->MotionApply();
    EXPECT_FALSE(MotionEngine::Instance().sessionActive);
    EXPECT_TRUE(MotionEngine::Instance().SessionFinished(false));
    EXPECT_EQ(window->MessageText(), "Not saved !");
    EXPECT_EQ(CameraMotion().find(std::string(100, 'x')), std::string::npos);
}

// Read -> Apply -> read keeps every rectangle the user did not touch, in both modes, whether
// the area is enabled, disabled, ticked or unticked, at the picture's edges and at odd values.
TEST_F(ControlTest, UntouchedAreasAndViewSurviveApplyExactly) {
    const std::string setup =
        R"({"res":3,"view":{"enable":1,"x1":1,"y1":1,"x2":639,"y2":479},"areas":[)"
        R"({"enable":1,"threshold":1,"sensitivity":99,"title":"All","x1":0,"y1":0,"x2":639,"y2":479},)"
        R"({"enable":0,"threshold":50,"sensitivity":50,"title":"Off","x1":1,"y1":3,"x2":333,"y2":477},)"
        R"({"enable":1,"threshold":50,"sensitivity":50,"title":"Low","x1":0,"y1":240,"x2":320,"y2":480},)"
        R"({"enable":1,"threshold":7,"sensitivity":5,"title":"Tiny","x1":101,"y1":51,"x2":111,"y2":57}]})";
    StartCamera({}, setup);
    sim::MotionSetup expected = StoredSetup();
    MakeControl();
    control->show();
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    EXPECT_EQ(window->Frame(4)->geometry(), QRect(63, 31, 16, 16)) << "tiny: shown at its place";
    control->MotionEnable(2, 0); // untick area 3
    expected.areas[2].enable = 0;
    auto rects = [](const sim::MotionSetup& s) {
        std::vector<Rect> r;
        for (const auto& a : s.areas)
            r.push_back({a.x1, a.y1, a.x2, a.y2});
        return r;
    };
    for (int apply = 1; apply <= 2; ++apply) {
        SCOPED_TRACE(apply);
        control->MotionApply();
        const sim::MotionSetup stored = StoredSetup();
        EXPECT_EQ(rects(stored), rects(expected));
        for (int n = 0; n < 4; ++n)
            EXPECT_EQ(stored.areas[n].enable, expected.areas[n].enable);
    }
    // Reopen: the read gives back the same values, and ticking area 3 shows it where stored.
    control->StopPlay();
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    control->CreateControlWindow();
    const AreaSet read = window->Areas();
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(read.areas[n].camera, rects(expected)[n]);
    control->MotionEnable(2, 1);
    EXPECT_EQ(window->Frame(3)->geometry(), QRect(0, 150, 200, 150));
    control->MotionApply();
    EXPECT_EQ(rects(StoredSetup()), rects(expected));

    // The view, untouched, in view mode.
    control->StopPlay();
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 2, Auth("admin", "admin")));
    control->CreateControlWindow();
    EXPECT_EQ(window->Frame(0)->geometry(), QRect(0, 0, 399, 299));
    QTest::keyClick(window, Qt::Key_Return);
    const sim::MotionView view = StoredSetup().view;
    EXPECT_EQ((Rect{view.x1, view.y1, view.x2, view.y2}), (Rect{1, 1, 639, 479}));
    EXPECT_EQ(window->MessageText(), "Saved.");
}

// Every exchange with the camera runs under the wait cursor.
TEST_F(ControlTest, WaitCursorForEveryExchange) {
    class CursorWatch : public ConfigTransport {
    public:
        std::optional<std::string> Post(const std::string& url, std::string_view body,
                                        const Credentials& c) override {
            Note(body);
            return http.Post(url, body, c);
        }
        bool PostForImage(FrameImage& image, const std::string& url, std::string_view body,
                          const Credentials& c, std::string* text) override {
            Note("snapshot");
            return http.PostForImage(image, url, body, c, text);
        }
        void Note(std::string_view body) {
            const QCursor* cursor = QApplication::overrideCursor();
            seen.emplace_back(body.substr(0, body.find('\r')),
                              cursor ? cursor->shape() : Qt::ArrowCursor);
        }
        HttpConfigTransport http;
        std::vector<std::pair<std::string, Qt::CursorShape>> seen;
    };
    StartCamera();
    auto watch = std::make_unique<CursorWatch>();
    CursorWatch* seen = watch.get();
    CMotionWindow w(nullptr, std::move(watch));
    w.SetDialogHost(&dialogs);
    MotionTimings t;
    t.snapshotWait = t.stopWait = t.restartWait = t.cancelWait = 5;
    t.sessionStop = 6000;
    w.SetTimings(t);
    w.CreateWindow();
    ASSERT_TRUE(w.SetSource(Base(), "mpeg", 1, Auth("admin", "admin").toStdString()));
    w.MotionApply();
    w.StopPlay();
    ASSERT_TRUE(w.SetSource(Base(), "mpeg", 2, Auth("admin", "admin").toStdString()));
    w.CreateWindow(); // the window's initialisation reads
    w.OnOk();
    w.StopPlay();
    const std::vector<std::string> expected = {"COMMAND: MOT_READ_AREA",
                                               "COMMAND: MOT_SAVE_AREA",
                                               "COMMAND: MOT_OCX_FREE",
                                               "COMMAND: MOT_READ_VIEW",
                                               "snapshot",
                                               "COMMAND: MOT_SAVE_VIEW"};
    ASSERT_EQ(seen->seen.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seen->seen[i].first, expected[i]);
        EXPECT_EQ(seen->seen[i].second, Qt::WaitCursor) << expected[i];
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "every wait cursor was taken down";
}

TEST_F(ControlTest, StopPlayReleasesAndDestroysWindow) {
    StartCamera();
    MakeControl();
    control->show();
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    const std::string key = "/ocxparser.cgi";
    const int before = CameraCount(key);
    control->StopPlay();
    EXPECT_EQ(CameraCount(key), before + 1);
    EXPECT_FALSE(window->WindowExists());
    EXPECT_FALSE(MotionEngine::Instance().sessionActive);
    EXPECT_TRUE(MotionEngine::Instance().SessionFinished(false));
    EXPECT_EQ(window->Frame(1), nullptr);
    // Out-of-order calls return quietly; a new source is accepted again.
    control->StopPlay();
    EXPECT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
}

TEST_F(ControlTest, RefusalsAndBusyShowMessages) {
    StartCamera();
    MakeControl();
    control->show();
    dialogs.logins = {{"a", "b"}, {"c", "d"}, {"e", "f"}};
    EXPECT_TRUE(control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "no")));
    EXPECT_EQ(dialogs.prompts, 3);
    EXPECT_EQ(window->MessageText(), "Protected object. This object is protected.");
    EXPECT_EQ(control->GetMotionEnable(0), -1);
    EXPECT_FALSE(MotionEngine::Instance().sessionActive);
    EXPECT_EQ(window->CurrentCredentials().user, "e");

    ASSERT_TRUE(camera->SetFault("motion-busy"));
    EXPECT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    EXPECT_EQ(window->MessageText(), "Device is busy, please try again later.");
    // A long message is set smaller so that the whole text shows in the line's 320 x 40.
    const QLabel* line = window->MessageLine();
    EXPECT_EQ(line->font().bold(), true);
    EXPECT_LT(line->font().pixelSize(), 28);
    const QRect needed =
        QFontMetrics(line->font())
            .boundingRect(QRect(QPoint(0, 0), line->size()), Qt::TextWordWrap, line->text());
    EXPECT_LE(needed.width(), line->width());
    EXPECT_LE(needed.height(), line->height());
    EXPECT_EQ(line->size(), QSize(320, 40));
}

TEST_F(ControlTest, RealAuthorizationDialogRetriesWithTypedCredentials) {
    StartCamera();
    MakeControl();
    control->SetDialogHost(nullptr); // the real modal dialog
    control->show();
    int shown = 0;
    QTimer typist;
    QObject::connect(&typist, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CMotionAuthDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        ++shown;
        EXPECT_EQ(dialog->windowTitle(), "Authorization");
        EXPECT_TRUE(dialog->UserEdit()->text().isEmpty());
        EXPECT_EQ(dialog->PasswordEdit()->echoMode(), QLineEdit::Password);
        dialog->UserEdit()->setText("admin");
        dialog->PasswordEdit()->setText(shown == 1 ? "still wrong" : "admin");
        dialog->accept();
    });
    typist.start(10);
    EXPECT_TRUE(control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "x")));
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(control->GetMotionEnable(0), 1);
    EXPECT_EQ(window->CurrentCredentials().password, "admin");
    EXPECT_TRUE(window->MessageText().isEmpty());
}

TEST_F(ControlTest, BusyStreamReleasesAndShowsMessage) {
    StartCamera();
    ASSERT_TRUE(camera->SetFault("busy-503"));
    MakeControl();
    control->show();
    int ended = 0;
    QObject::connect(window, &CMotionWindow::streamEnded, [&](int code) { ended = code; });
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    ASSERT_TRUE(WaitFor([&] { return ended != 0; }));
    EXPECT_EQ(ended, 310);
    EXPECT_EQ(window->MessageText(), kCannotConnect);
    EXPECT_FALSE(MotionEngine::Instance().sessionActive);
    EXPECT_EQ(window->Frame(1), nullptr);
}

TEST_F(ControlTest, IndicatorFollowsObjectInItsArea) {
    // Area 2 covers the whole picture, the others are off: only area 2 sees the object.
    const std::string setup =
        R"({"res":3,"view":{"enable":1,"x1":0,"y1":0,"x2":640,"y2":480},"areas":[)"
        R"({"enable":0,"threshold":50,"sensitivity":50,"title":"Area 1","x1":0,"y1":0,"x2":0,"y2":0},)"
        R"({"enable":1,"threshold":50,"sensitivity":50,"title":"Area 2","x1":0,"y1":0,"x2":640,"y2":480},)"
        R"({"enable":0,"threshold":50,"sensitivity":50,"title":"Area 3","x1":0,"y1":0,"x2":0,"y2":0},)"
        R"({"enable":0,"threshold":50,"sensitivity":50,"title":"Area 4","x1":0,"y1":0,"x2":0,"y2":0}]})";
    StartCamera({}, setup);
    MakeControl();
    control->show();
    MotionEngine::Instance().SetMotionLevelsForTest({0, 0, 0, 0});
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    ASSERT_TRUE(WaitFor([&] { return control->GetMotionIndicator(1) > 0; }));
    EXPECT_EQ(control->GetMotionIndicator(0), 0);
    EXPECT_EQ(control->GetMotionIndicator(2), 0);
    EXPECT_EQ(control->GetMotionIndicator(3), 0);
    EXPECT_EQ(control->GetMotionIndicator(7), 0);
}

TEST_F(ControlTest, MotionJpegKeepsIndicatorLevels) {
    StartCamera();
    MakeControl();
    control->show();
    MotionEngine::Instance().SetMotionLevelsForTest({11, 22, 33, 44});
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "jpeg", 1, Auth("admin", "admin")));
    ASSERT_TRUE(WaitFor([] { return !MotionEngine::Instance().LastJpegPicture().isNull(); }));
    ASSERT_TRUE(WaitFor([&] { return control->GetMotionIndicator(3) == 44; }));
    EXPECT_EQ(control->GetMotionIndicator(0), 11);
    EXPECT_EQ(control->GetMotionIndicator(1), 22);
}

TEST_F(ControlTest, ViewModeSnapshotAndKeyboardOk) {
    StartCamera();
    MakeControl();
    control->show();
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 2, Auth("admin", "admin")));
    EXPECT_EQ(window->Snapshot().size(), QSize(320, 240));
    EXPECT_TRUE(window->OkButton()->isVisible());
    EXPECT_GE(window->OkButton()->y(), CMotionWindow::kHeight) << "below the window's edge";
    CAreaFrame* view = window->Frame(0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->width(), 400) << "the camera-sized view is capped at the picture's size";
    view->SizeFrame(QRect(view->x(), view->y(), 300, 300));
    view->MoveFrame(QRect(100, 0, 300, 300));
    const int before = CameraCount("/ocxparser.cgi");
    control->MotionApply(); // not in view mode: nothing sent
    EXPECT_EQ(CameraCount("/ocxparser.cgi"), before);
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_NE(
        CameraMotion().find("\"view\":{\"enable\":1,\"x1\":160,\"y1\":0,\"x2\":640,\"y2\":480}"),
        std::string::npos)
        << CameraMotion();
    view->MoveFrame(QRect(105, 0, 295, 300));
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_NE(CameraMotion().find("\"x1\":176"), std::string::npos) << CameraMotion();
    // Escape re-reads and shows the snapshot again.
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_EQ(CameraCount("/ocxparser.cgi"), before + 3);
    EXPECT_FALSE(window->Snapshot().isNull());
}

TEST_F(ControlTest, AutomationMethodsInDispatchOrder) {
    MakeControl();
    const QMetaObject* meta = control->metaObject();
    QStringList names;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        if (meta->method(i).methodType() == QMetaMethod::Method)
            names << QString::fromLatin1(meta->method(i).name());
    EXPECT_EQ(names,
              QStringList({"StopPlay", "GetMotionIndicator", "GetMotionThrehold",
                           "SetMotionThrehold", "MotionApply", "MotionEnable", "GetMotionEnable",
                           "SetSource", "GetMotionTitle", "SetMotionTitle", "AboutBox"}));
    // Scripts call by name with loosely typed arguments.
    bool accepted = true;
    ASSERT_TRUE(QMetaObject::invokeMethod(control.get(), "SetSource", Q_RETURN_ARG(bool, accepted),
                                          Q_ARG(QString, "http://127.0.0.1:1"),
                                          Q_ARG(QString, "mpeg"), Q_ARG(short, 1),
                                          Q_ARG(QString, QString(250, 'A'))));
    EXPECT_FALSE(accepted) << "credentials text over the limit";
    QMetaObject::invokeMethod(control.get(), "AboutBox");
    EXPECT_EQ(dialogs.abouts, 1);
}

TEST_F(ControlTest, UnreachableCameraAndOutOfRangeIndexes) {
    MakeControl();
    control->show();
    EXPECT_TRUE(control->SetSource("http://127.0.0.1:1", "mpeg", 1, Auth("admin", "admin")));
    EXPECT_EQ(window->MessageText(), kCannotConnect);
    EXPECT_FALSE(MotionEngine::Instance().sessionActive);
    control->SetMotionThrehold(-1, 5);
    control->MotionEnable(4, 1);
    EXPECT_EQ(control->GetMotionThrehold(-1), 0);
    EXPECT_EQ(control->GetMotionEnable(4), -1);
    EXPECT_EQ(window->Frame(5), nullptr);
}

} // namespace
} // namespace kestrova::motion::testing
