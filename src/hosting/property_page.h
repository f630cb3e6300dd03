#pragma once

#include <QString>
#include <QWidget>

namespace kestrova::hosting {

// A control's property page, dialog template 200: 250 x 62 dialog units of the
// "MS Sans Serif" 8 dialog font (375 x 100 pixels) with one placeholder text; it edits
// nothing, as the controls have no persistent properties. Both modules' factories make it.
class PropertyPage : public QWidget {
public:
    static constexpr int kWidth = 375;
    static constexpr int kHeight = 100;

    PropertyPage(const QString& caption, QWidget* parent = nullptr);
    const QString& Caption() const { return caption_; }

private:
    QString caption_;
};

} // namespace kestrova::hosting
