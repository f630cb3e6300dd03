#include "viewer/snapshot_dialog.h"

#include "viewer/dialog_host.h"
#include "viewer/dialog_units.h"
#include "viewer/image_convert.h"
#include "viewer/save_target.h"

#include <QFileDialog>
#include <QFrame>
#include <QPainter>
#include <QPushButton>

namespace kestrova::viewer {

namespace {

// The picture frame: a black frame with a client edge, painted with the preview.
class PreviewFrame : public QFrame {
public:
    PreviewFrame(PathView& path, QWidget* parent) : QFrame(parent), path_(path) {
        setFrameStyle(QFrame::Box | QFrame::Sunken);
        setObjectName(QStringLiteral("item215"));
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        QImage preview;
        {
            std::lock_guard lock(path_.snapshotMutex);
            preview = ToQImage(path_.snapshotPreview);
        }
        if (preview.isNull())
            return;
        QPainter p(this);
        p.drawImage(contentsRect(), preview);
    }

private:
    PathView& path_;
};

void SaveAndDiscard(PathView& path, const SaveTarget& target) {
    std::lock_guard lock(path.snapshotMutex);
    // A failed save writes nothing and is not reported.
    (void)path.snapshotFull.Save(target.path, target.format);
    path.snapshotFull.Destroy();
    path.snapshotPreview.Destroy();
}

} // namespace

CSnapshotDialog::CSnapshotDialog(PathView& path, std::string defaultName, QWidget* parent)
    : QDialog(parent), path_(path), defaultName_(std::move(defaultName)) {
    setWindowTitle(QStringLiteral("Snap Shot"));
    setObjectName(QStringLiteral("SnapshotDialog"));
    const int width = DluX(222);
    setFixedSize(width, DluY(195));
    frame_ = new PreviewFrame(path_, this);
    frame_->setGeometry((width - 326) / 2, 10, 320, 240);
    auto* save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("item1"));
    save->setGeometry(DluRect(43, 172, 50, 14));
    save->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("item2"));
    cancel->setGeometry(DluRect(127, 172, 50, 14));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    connect(save, &QPushButton::clicked, this, &CSnapshotDialog::OnSave);
    connect(cancel, &QPushButton::clicked, this, &CSnapshotDialog::OnCancel);
}

void CSnapshotDialog::OnSave() {
    QFileDialog files(this, QString::fromLatin1(kSaveTitle));
    files.setObjectName(QStringLiteral("SaveFileDialog"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.setFileMode(QFileDialog::AnyFile);
    const QStringList filters{QString::fromLatin1(kBmpFilter), QString::fromLatin1(kJpgFilter)};
    files.setNameFilters(filters);
    files.selectFile(QString::fromStdString(defaultName_));
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return; // the snapshot dialog stays open
    const bool jpg = files.selectedNameFilter() == filters[1];
    SaveAndDiscard(path_, ResolveSaveTarget(files.selectedFiles().first().toStdString(), jpg));
    accept();
}

void CSnapshotDialog::OnCancel() {
    path_.DiscardSnapshot();
    reject();
}

int CSnapshotDialog::RunWithHost(PathView& path, const std::string& defaultName, DialogHost& host) {
    auto answer = host.SnapshotAnswer(defaultName);
    if (!answer) {
        path.DiscardSnapshot();
        return QDialog::Rejected;
    }
    SaveAndDiscard(path, ResolveSaveTarget(answer->path, answer->jpgFilter));
    return QDialog::Accepted;
}

} // namespace kestrova::viewer
