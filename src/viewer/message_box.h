#pragma once

#include <functional>

class QWidget;

namespace kestrova::viewer {

class DialogHost;

// Shows string `id` of the string table in a modal message box titled with the control's
// name, or reports it to the host when there is one. Every message shown is also passed
// to the observer, if one is set.
void ShowMessage(QWidget* parent, int id, DialogHost* host);

// One observer for the whole process (the host's statistics); empty to remove it.
void SetMessageObserver(std::function<void(int id)> observer);

} // namespace kestrova::viewer
