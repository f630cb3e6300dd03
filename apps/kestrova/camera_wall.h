#pragma once

#include "camera_address.h"

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

class QGridLayout;
class QLabel;

namespace kestrova::hosting {
class HostedControl;
}

namespace kestrova::app {

class ViewerWindow;
struct OpenRequest;

// Several cameras at once: one viewer control per camera, each made from its ProgID with
// its own engine as a page with several controls has them, in a grid of tiles with a
// status line each. A click selects the tile the buttons act on; a double-click enlarges
// it to the whole wall and back.
class CameraWall : public QMainWindow {
    Q_OBJECT
public:
    explicit CameraWall(QWidget* parent = nullptr);
    ~CameraWall() override;

    // Adds a tile playing `address`; null (and `error`) when no control could be made.
    ViewerWindow* AddCamera(const CameraAddress& address, const std::string& user,
                            const std::string& password, const std::string& kind,
                            std::string* error = nullptr);
    int Count() const { return static_cast<int>(tiles_.size()); }
    ViewerWindow* Tile(int index) const;
    int Selected() const { return selected_; }
    void Select(int index);
    // Shows tile `index` alone, or the grid again when it is shown alone.
    void ToggleEnlarge(int index);
    int Enlarged() const { return enlarged_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Slot;
    void Arrange();
    void Trigger(const char* action);
    void AskForCamera();

    QWidget* grid_;
    QGridLayout* layout_;
    QLabel* selectedText_;
    std::vector<std::unique_ptr<Slot>> tiles_;
    int selected_ = -1;
    int enlarged_ = -1;
};

} // namespace kestrova::app
