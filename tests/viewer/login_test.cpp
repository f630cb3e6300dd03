#include "viewer/auth_dialog.h"
#include "viewer/string_table.h"
#include "viewer_fixture.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace kestrova::viewer::testing {
namespace {

using LoginTest = ViewerTest;

TEST_F(LoginTest, AcceptedLoginDerivesUrlsAndReadsTheRights) {
    sim::SimOptions o;
    o.ptctrl = "yes";
    o.ioctrl = "view";
    StartCamera(o);
    MakeControl();
    EXPECT_TRUE(
        control->SetSource(StreamUrl(true), "mpeg", "off", "Fast", Credentials("admin", "admin")));
    EXPECT_TRUE(window->SourceReady());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.authAsked.empty());
    EXPECT_EQ(window->PanTiltRights(), "yes");
    EXPECT_EQ(window->IoRights(), "view");
    const std::string base = camera->BaseUrl();
    EXPECT_EQ(window->PanTiltUrl(), base + "pt/ptctrl.cgi");
    EXPECT_EQ(window->QueryUrl(), base + "util/query.cgi");
    EXPECT_EQ(window->MJpegUrl(), base + "img/mjpeg.cgi");
}

TEST_F(LoginTest, UrlWithoutAStreamNameGivesBarePaths) {
    StartCamera();
    MakeControl();
    // Nothing listens at the bare path; the login check finds no camera and the control
    // still becomes ready with the rights it was given.
    control->SetSource("http://127.0.0.1:1/other.htm", "jpeg", "given", "", Credentials("a", "b"));
    EXPECT_EQ(window->LoginUrl(), "img/query.cgi");
    EXPECT_EQ(window->AsfUrl(), "img/video.asf");
}

TEST_F(LoginTest, RefusedThenRightAtTheSecondTry) {
    StartCamera();
    MakeControl();
    host.logins = {{"admin", "admin"}};
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials("admin", "wrong"));
    EXPECT_TRUE(window->SourceReady());
    ASSERT_EQ(host.authAsked.size(), 1u);
    EXPECT_EQ(host.authAsked[0], 1); // the presets were tried at once and refused
    EXPECT_EQ(window->Password(), "admin");
    EXPECT_EQ(window->PanTiltRights(), "on"); // from the dialog's accepted answer
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(LoginTest, ThreeRefusalsOrCancelShowLoginFailed) {
    StartCamera();
    MakeControl();
    host.logins = {{"admin", "x"}, {"admin", "y"}, {"admin", "admin"}};
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials("admin", "wrong"));
    EXPECT_FALSE(window->SourceReady());
    EXPECT_EQ(host.authAsked, (std::vector<int>{1, 2}));
    EXPECT_EQ(host.messages, std::vector<int>{kStrLoginFailed});

    host.messages.clear();
    host.logins.clear();
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials("admin", "wrong"));
    EXPECT_FALSE(window->SourceReady());
    EXPECT_EQ(host.messages, std::vector<int>{kStrLoginFailed});
}

TEST_F(LoginTest, NoAnswerInTimeShowsCannotConnect) {
    StartCamera();
    ASSERT_TRUE(camera->SetFault("stall-before-answer"));
    MakeControl();
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials("admin", "admin"));
    EXPECT_FALSE(window->SourceReady());
    EXPECT_EQ(host.messages, std::vector<int>{kStrCannotConnect});
    // Out of order: nothing happens without a source.
    control->StartPlay(0, QString());
    EXPECT_FALSE(window->IsPlaying());
}

TEST_F(LoginTest, UnreachableCameraLeavesTheControlReady) {
    StartCamera();
    const QString url = StreamUrl(false);
    camera->Stop();
    MakeControl();
    control->SetSource(url, "jpeg", "given", "", Credentials("admin", "admin"));
    EXPECT_TRUE(window->SourceReady());
    EXPECT_EQ(window->PanTiltRights(), "given");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(LoginTest, LongCredentialsTravelWhole) {
    sim::SimOptions o;
    o.user = std::string(120, 'u');
    o.password = std::string(200, 'p');
    StartCamera(o);
    MakeControl();
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials(o.user, o.password));
    EXPECT_TRUE(window->SourceReady());
    EXPECT_TRUE(host.authAsked.empty());
    EXPECT_EQ(window->User(), o.user);
    EXPECT_EQ(window->Password(), o.password);
    // The stream session logs in with them too.
    control->StartPlay(0, QString());
    EXPECT_TRUE(WaitFrames(2));
    EXPECT_TRUE(window->EndedCodes().empty());
}

// Runs `step` on every modal widget that comes up, until it returns true.
void DriveModals(std::function<bool(QWidget*)> step) {
    auto* timer = new QTimer;
    timer->setInterval(30);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && step(modal))
            timer->deleteLater();
    });
    timer->start();
}

TEST_F(LoginTest, TypedIntoTheRealDialogAtTheSecondTry) {
    StartCamera();
    MakeControl(/*interactive=*/true);
    bool typed = false;
    DriveModals([&](QWidget* modal) {
        auto* dialog = qobject_cast<CAuthDialog*>(modal);
        // Wait until the preset try was refused and the password cleared.
        if (!dialog || !dialog->PasswordEdit()->text().isEmpty())
            return false;
        EXPECT_EQ(dialog->UserEdit()->text(), QStringLiteral("admin"));
        QTest::keyClicks(dialog->PasswordEdit(), QStringLiteral("admin"));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("item1")), Qt::LeftButton);
        typed = true;
        return true;
    });
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials("admin", "bad"));
    EXPECT_TRUE(typed);
    EXPECT_TRUE(window->SourceReady());
    EXPECT_EQ(window->Password(), "admin");
}

TEST_F(LoginTest, RealDialogThreeRefusalsThenTheMessageBox) {
    StartCamera();
    MakeControl(/*interactive=*/true);
    int tries = 0;
    QString shown;
    DriveModals([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            shown = box->text();
            box->accept();
            return true;
        }
        auto* dialog = qobject_cast<CAuthDialog*>(modal);
        if (!dialog || !dialog->PasswordEdit()->text().isEmpty())
            return false;
        ++tries;
        QTest::keyClicks(dialog->PasswordEdit(), QStringLiteral("nope"));
        QTest::keyClick(dialog->PasswordEdit(), Qt::Key_Return);
        return false;
    });
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials("admin", "bad"));
    EXPECT_FALSE(window->SourceReady());
    EXPECT_EQ(tries, 2);
    EXPECT_EQ(shown.toStdString(), LoadString(kStrLoginFailed));
}

} // namespace
} // namespace kestrova::viewer::testing
