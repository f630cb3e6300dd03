#pragma once

#include <QString>
#include <QWidget>

namespace kestrova::hosting {

// A control's property page: a captioned page with one placeholder text; it edits
// nothing, as the controls have no persistent properties.
class PropertyPage : public QWidget {
public:
    PropertyPage(const QString& caption, QWidget* parent = nullptr);
    const QString& Caption() const { return caption_; }

private:
    QString caption_;
};

} // namespace kestrova::hosting
