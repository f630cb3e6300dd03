#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

namespace kestrova::page {

// The command line of kestrova-page.
struct PageOptions {
    QString script;
    bool headless = false;
    int seconds = -1;      // -1: until the page ends by itself
    QStringList register_; // modules to register before the page runs
    QVariantMap params;    // --set NAME=VALUE, the page's page.params
    QString saveDir;       // headless snapshots go here instead of the default folder
    QString audioWav;      // the viewer's sound goes into this WAV file, not the sound card
};

// The options, or nothing with a message in `error` ("" for --help).
std::optional<PageOptions> ParsePageOptions(const QStringList& args, QString* error);

const char* PageUsage();

} // namespace kestrova::page
