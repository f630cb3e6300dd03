#include "hosting/hosted_control.h"
#include "motion/motion_host_interface.h"
#include "sim/camera_simulator.h"
#include "wardline_page.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace kestrova::wardline {
namespace {

// Wardline's window names its camera, applies on Enter, and asks before closing away
// edits that did not reach the camera.
TEST(WardlineWindowTest, TitleEnterAppliesAndCloseAsksAboutUnsavedChanges) {
    QTemporaryDir dir;
    qputenv("KESTROVA_SETTINGS", dir.filePath("settings.ini").toUtf8());
    sim::CameraSimulator camera({});
    std::string error;
    ASSERT_TRUE(camera.Start(&error)) << error;
    const QFileInfo module(WARDLINE_MODULE_PATH);
    auto control = hosting::HostedControl::CreateShipped(
        module.fileName().toStdString(), {module.absolutePath().toStdString()},
        "WARDLINE.WardlineCtrl.1", nullptr, &error);
    ASSERT_TRUE(control) << error;
    auto* motion = control->As<motion::MotionHostInterface>();
    ASSERT_TRUE(motion);
    CPageWindow page(1, *control);
    page.SetCamera(QStringLiteral("127.0.0.1:%1").arg(camera.Port()));
    page.show();
    std::string base = camera.BaseUrl();
    base.pop_back();
    ASSERT_TRUE(control
                    ->Call("SetSource", {QString::fromStdString(base), "mpeg", 1,
                                         QString("Basic " + QByteArray("admin:admin").toBase64())})
                    .toBool());
    page.Refresh();
    ASSERT_TRUE(motion->Areas().loaded);
    EXPECT_TRUE(page.windowTitle().endsWith(QStringLiteral("127.0.0.1:%1").arg(camera.Port())));
    EXPECT_FALSE(page.HasUnsavedChanges());

    // A title typed and Enter pressed in its field: applied, nothing left unsaved.
    auto* title = page.findChild<QLineEdit*>("Title1");
    ASSERT_TRUE(title);
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "Gate");
    EXPECT_TRUE(page.HasUnsavedChanges());
    QTest::keyClick(title, Qt::Key_Return);
    EXPECT_FALSE(page.HasUnsavedChanges());
    EXPECT_EQ(motion->Areas().areas[0].title, "Gate");
    EXPECT_NE(camera.StatusJson().find("\"/ocxparser.cgi\":2"), std::string::npos)
        << "Enter sent the set-up: " << camera.StatusJson();

    // An edit not applied: closing asks; Cancel keeps the window, Discard closes it.
    page.findChild<QSpinBox*>("Threshold2")->setValue(77);
    EXPECT_TRUE(page.HasUnsavedChanges());
    int asked = 0;
    page.askOnClose = [&] {
        ++asked;
        return asked == 1 ? QMessageBox::Cancel : QMessageBox::Discard;
    };
    EXPECT_FALSE(page.close());
    EXPECT_TRUE(page.isVisible());
    EXPECT_TRUE(page.close());
    EXPECT_EQ(asked, 2);
}

} // namespace
} // namespace kestrova::wardline
