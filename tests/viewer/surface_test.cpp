#include "audio/audio_player.h"
#include "audio/null_sound_device.h"
#include "hosting/dispatch.h"
#include "viewer/about_dialog.h"
#include "viewer/kestrova_dispatch.h"
#include "viewer_fixture.h"

#include <QMetaMethod>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace kestrova::viewer::testing {
namespace {

using SurfaceTest = ViewerTest;

TEST_F(SurfaceTest, DispatchIdsNamesAndInvokableMethodsAgree) {
    const hosting::DispatchTable table(&KestrovaDispatch());
    ASSERT_EQ(table.Methods().size(), 16u);
    const char* names[] = {"StartPlay",     "StopPlay",        "SetZoomPercent", "SetPlayAudio",
                           "StopPlayAudio", "OpenSettingPage", "SnapShot",       "SetViewSize",
                           "VideoFlip",     "VideoMirror",     "VideoZoom",      "AudioVolume",
                           "DirectPT",      "RestoreVideo",    "SetSource"};
    for (int id = 1; id <= 15; ++id) {
        ASSERT_NE(table.Find(id), nullptr);
        EXPECT_STREQ(table.Find(id)->name, names[id - 1]);
    }
    EXPECT_STREQ(table.Find(-552)->name, "AboutBox");
    // Every entry is a Q_INVOKABLE method of the control with the same parameters.
    EXPECT_TRUE(table.CheckAgainst(COrloPlayerSetaCtrl::staticMetaObject).isEmpty())
        << table.CheckAgainst(COrloPlayerSetaCtrl::staticMetaObject).join("; ").toStdString();
}

TEST_F(SurfaceTest, InvokeByIdAndNameRefusesWrongArguments) {
    StartCamera();
    MakeControl();
    QVariant result;
    QString error;
    const QVariantList source{StreamUrl(true), QStringLiteral("mpeg"), QStringLiteral("off"),
                              QString(), Credentials("admin", "admin")};
    ASSERT_TRUE(control->Invoke(15, source, &result, &error)) << error.toStdString();
    EXPECT_EQ(result, QVariant(true));
    EXPECT_TRUE(window->SourceReady());

    EXPECT_TRUE(control->Invoke("SetViewSize", {200, 150.0}, nullptr, &error));
    EXPECT_EQ(window->Mpeg4View().viewWidth.load(), 200);
    EXPECT_EQ(window->Mpeg4View().viewHeight.load(), 150);
    EXPECT_TRUE(control->Invoke(9, {}, nullptr, &error));
    EXPECT_EQ(window->MirrorModeValue(), 1);

    EXPECT_FALSE(control->Invoke(8, {1}, nullptr, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(control->Invoke(8, {QStringLiteral("wide"), 2}, nullptr, &error));
    EXPECT_FALSE(control->Invoke(8, {3e9, 2}, nullptr, &error)); // overflows a long
    EXPECT_FALSE(control->Invoke(15, {QVariantList{}, 2, 3, 4, 5}, nullptr, &error));
    EXPECT_FALSE(control->Invoke(99, {}, nullptr, &error));
    EXPECT_FALSE(control->Invoke("Explode", {}, nullptr, &error));
    EXPECT_EQ(window->Mpeg4View().viewWidth.load(), 200); // untouched by refused calls

    EXPECT_TRUE(control->Invoke(-552, {}, nullptr, &error));
    EXPECT_EQ(host.abouts, 1);
}

TEST_F(SurfaceTest, OpenSettingPageOpensOnlyWebAddresses) {
    MakeControl();
    std::vector<QString> opened;
    control->SetUrlOpener([&](const QString& url) {
        opened.push_back(url);
        return true;
    });
    control->OpenSettingPage(QStringLiteral("http://127.0.0.1/setup.htm"));
    control->OpenSettingPage(QStringLiteral(""));
    control->OpenSettingPage(QStringLiteral("file:///etc/passwd"));
    control->OpenSettingPage(QStringLiteral("x; xterm"));
    control->OpenSettingPage(QStringLiteral("https://cam.local/"));
    EXPECT_EQ(opened, (std::vector<QString>{QStringLiteral("http://127.0.0.1/setup.htm"),
                                            QStringLiteral("https://cam.local/")}));
}

TEST_F(SurfaceTest, AudioVolumeIsRememberedThenAppliedToTheOpenOutput) {
    StartCamera();
    MakeControl();
    auto device = std::make_shared<audio::NullSoundDevice>();
    window->SetSoundDevice(device);
    EXPECT_EQ(window->AudioLevel(), -10000);
    control->AudioVolume(1);
    EXPECT_EQ(window->AudioLevel(), -1908); // no output yet: remembered
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFor([&] { return window->AudioPlayer().IsOpen() && device->HasBuffer(); }));
    // WM_AUDIO_READY applied the remembered level.
    ASSERT_TRUE(WaitFor([&] { return device->Volume() == -1908; }));
    control->AudioVolume(9);
    EXPECT_EQ(device->Volume(), 0);
    EXPECT_EQ(window->AudioLevel(), -1908); // applied directly, not remembered
    control->StopPlayAudio();
    EXPECT_FALSE(window->AudioPlayer().AudioWanted());
    control->SetPlayAudio();
    EXPECT_TRUE(window->AudioPlayer().AudioWanted());
}

TEST_F(SurfaceTest, AboutBoxAndPropertyPageLayout) {
    MakeControl(/*interactive=*/true);
    QString title;
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        if (auto* about = qobject_cast<CAboutDialog*>(QApplication::activeModalWidget())) {
            title = about->windowTitle();
            QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("item1")),
                              Qt::LeftButton);
            timer->deleteLater();
        }
    });
    timer->start();
    control->AboutBox();
    EXPECT_EQ(title, QStringLiteral("About OrloPlayerSeta Control"));
    COrloPlayerSetaPropPage page;
    EXPECT_EQ(page.Caption(), QStringLiteral("General"));
    EXPECT_EQ(page.size(), QSize(375, 100)); // 250 x 62 dialog units
}

} // namespace
} // namespace kestrova::viewer::testing
