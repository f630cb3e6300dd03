#include "codec/image/frame_image.h"
#include "viewer/image_convert.h"
#include "viewer/snapshot_dialog.h"
#include "viewer_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <regex>

namespace kestrova::viewer::testing {
namespace {

using SnapshotTest = ViewerTest;

std::vector<uint8_t> ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    return {bytes.begin(), bytes.end()};
}

QImage Load(const QString& path, ImageFormat format) {
    FrameImage image;
    if (!image.Decode(ReadFile(path), format))
        return {};
    return ToQImage(image).convertToFormat(QImage::Format_RGB32);
}

TEST_F(SnapshotTest, MirroredBmpAndJpegUnderABmpName) {
    StartCamera();
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(2));
    control->VideoMirror();
    ASSERT_TRUE(WaitFrames(2));

    const QString bmp = temp->filePath("shot"); // no extension: ".bmp" is added
    host.save = DialogHost::SaveAnswer{bmp.toStdString(), false};
    control->SnapShot();
    ASSERT_EQ(host.offeredNames.size(), 1u);
    EXPECT_TRUE(std::regex_match(host.offeredNames[0],
                                 std::regex(temp->path().toStdString() + "/Orlo[0-9]{8}-[0-9]{6}")))
        << host.offeredNames[0];
    const QImage saved = Load(bmp + ".bmp", ImageFormat::Bmp);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(320, 240));
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(Near(BarColour(saved, saved.size(), i, true), kBarRgb[i])) << i;
    // Saved and forgotten.
    EXPECT_FALSE(window->Mpeg4View().snapshotFull.IsValid());

    const QString jpg = temp->filePath("named.bmp");
    host.save = DialogHost::SaveAnswer{jpg.toStdString(), true};
    control->SnapShot();
    const auto bytes = ReadFile(jpg);
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF); // JPEG data under the .bmp name
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_FALSE(QFile::exists(jpg + ".jpg"));
}

TEST_F(SnapshotTest, ZoomedSnapshotIsEnlargedBack) {
    StartCamera();
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(2));
    control->VideoZoom();
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(0, 200)); // bottom-left quarter
    ASSERT_TRUE(WaitFrames(2));
    host.save = DialogHost::SaveAnswer{temp->filePath("zoom.bmp").toStdString(), false};
    control->SnapShot();
    const QImage saved = Load(temp->filePath("zoom.bmp"), ImageFormat::Bmp);
    ASSERT_EQ(saved.size(), QSize(320, 240));
    // The bottom-left quarter holds the lower bars 0..3 and the dark end of the ramp: the
    // white bar now spans the left eighth of the width twice over.
    EXPECT_TRUE(Near(saved.pixel(40, 20), kBarRgb[0]));
    EXPECT_TRUE(Near(saved.pixel(120, 20), kBarRgb[1]));
    EXPECT_LT(qGreen(saved.pixel(5, 230)), 60);
}

TEST_F(SnapshotTest, CancelDiscardsAndNoVideoMeansNoDialog) {
    StartCamera();
    MakeControl();
    window->SetSnapshotWait(5, std::chrono::milliseconds(20));
    QElapsedTimer timer;
    timer.start();
    control->SnapShot(); // nothing plays
    EXPECT_TRUE(host.offeredNames.empty());
    EXPECT_GE(timer.elapsed(), 90);

    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(2));
    window->SetSnapshotWait(49, std::chrono::milliseconds(100));
    host.save.reset();
    control->SnapShot();
    EXPECT_EQ(host.offeredNames.size(), 1u);
    EXPECT_FALSE(window->Mpeg4View().snapshotFull.IsValid());
    EXPECT_FALSE(window->Mpeg4View().snapshotPreview.IsValid());
    EXPECT_TRUE(QDir(temp->path()).entryList(QDir::Files).isEmpty());
}

TEST_F(SnapshotTest, RealDialogSaveThroughTheJpgFilter) {
    StartCamera();
    MakeControl(/*interactive=*/true);
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(2));
    const QString target = temp->filePath("typed");
    bool previewed = false;
    bool saveClicked = false;
    int ticksSinceClick = 0;
    auto* timer = new QTimer;
    timer->setInterval(30);
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* snap = qobject_cast<CSnapshotDialog*>(modal);
        // Click Save once, and again should the save-file dialog not have come up in time.
        if (snap && (!saveClicked || ++ticksSinceClick > 60)) {
            ticksSinceClick = 0;
            const QImage shown = snap->PictureFrame()->grab().toImage();
            previewed = shown.size() == QSize(320, 240) && Near(shown.pixel(20, 120), kBarRgb[0]);
            saveClicked = true;
            // Clicked outside this slot: the save-file dialog it opens runs its own loop,
            // and this timer does not fire inside its own slot.
            QTimer::singleShot(0, snap, [snap] {
                QTest::mouseClick(snap->findChild<QPushButton*>(QStringLiteral("item1")),
                                  Qt::LeftButton);
            });
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            EXPECT_EQ(files->windowTitle(),
                      QStringLiteral("Save picture as a Bitmap (BMP/JPG) file"));
            EXPECT_EQ(files->nameFilters(), (QStringList{QStringLiteral("BMP File (*.bmp)"),
                                                         QStringLiteral("JPG File (*.jpg)")}));
            files->selectNameFilter(QStringLiteral("JPG File (*.jpg)"));
            // Put the name over the offered one; the next tick tries again should the
            // dialog still be open (a completer popup may have taken the first accept).
            auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(edit, nullptr);
            edit->setText(target);
            static_cast<QDialog*>(files)->accept(); // QFileDialog::accept checks the name
        }
    });
    timer->start();
    control->SnapShot();
    delete timer;
    EXPECT_TRUE(previewed);
    const auto bytes = ReadFile(target + ".jpg");
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
}

} // namespace
} // namespace kestrova::viewer::testing
