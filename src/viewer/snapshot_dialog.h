#pragma once

#include "viewer/path_view.h"

#include <QDialog>
#include <string>

class QFrame;

namespace kestrova::viewer {

class DialogHost;

// The "Snap Shot" dialog: a 320 x 240 preview of the snapshot the active display path
// built; Save asks for a file and writes the full-size image, Cancel discards it.
class CSnapshotDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPictureFrameId = 215;
    static constexpr const char* kSaveTitle = "Save picture as a Bitmap (BMP/JPG) file";
    static constexpr const char* kBmpFilter = "BMP File (*.bmp)";
    static constexpr const char* kJpgFilter = "JPG File (*.jpg)";

    CSnapshotDialog(PathView& path, std::string defaultName, QWidget* parent = nullptr);

    // Runs without showing anything: the host's answer saves or discards.
    static int RunWithHost(PathView& path, const std::string& defaultName, DialogHost& host);

    QFrame* PictureFrame() const { return frame_; }

public slots:
    void OnSave();
    void OnCancel();

private:
    PathView& path_;
    std::string defaultName_;
    QFrame* frame_;
};

} // namespace kestrova::viewer
