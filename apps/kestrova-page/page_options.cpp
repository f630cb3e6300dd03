#include "page_options.h"

namespace kestrova::page {

const char* PageUsage() {
    return "usage: kestrova-page [options] SCRIPT.js\n"
           "  --headless          run offscreen, without a window\n"
           "  --seconds N         end the page after N seconds\n"
           "  --register MODULE   register a control module first (repeatable)\n"
           "  --set NAME=VALUE    a page parameter, page.params.NAME (repeatable)\n"
           "  --save-dir DIR      headless: save snapshots in DIR (default: the snapshot folder)\n"
           "  --audio-wav FILE    play the (first) viewer's sound into FILE instead of the sound "
           "card\n"
           "  --help              this text\n";
}

std::optional<PageOptions> ParsePageOptions(const QStringList& args, QString* error) {
    PageOptions o;
    auto fail = [error](const QString& text) -> std::optional<PageOptions> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (a == QLatin1String("--help"))
            return fail(QString());
        if (a == QLatin1String("--headless")) {
            o.headless = true;
        } else if (a == QLatin1String("--seconds")) {
            auto v = value();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : 0;
            if (!ok || n < 0 || n > 86400)
                return fail(QStringLiteral("--seconds needs a number of seconds (0 to 86400)"));
            o.seconds = n;
        } else if (a == QLatin1String("--register")) {
            auto v = value();
            if (!v)
                return fail(QStringLiteral("--register needs a module file"));
            o.register_ << *v;
        } else if (a == QLatin1String("--save-dir")) {
            auto v = value();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("--save-dir needs a folder"));
            o.saveDir = *v;
        } else if (a == QLatin1String("--audio-wav")) {
            auto v = value();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("--audio-wav needs a file"));
            o.audioWav = *v;
        } else if (a == QLatin1String("--set")) {
            auto v = value();
            const qsizetype eq = v ? v->indexOf(QLatin1Char('=')) : -1;
            if (eq <= 0)
                return fail(QStringLiteral("--set needs NAME=VALUE"));
            o.params.insert(v->left(eq), v->mid(eq + 1));
        } else if (a.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option %1").arg(a));
        } else if (o.script.isEmpty()) {
            o.script = a;
        } else {
            return fail(QStringLiteral("only one script, got %1 and %2").arg(o.script, a));
        }
    }
    if (o.script.isEmpty())
        return fail(QStringLiteral("no script given"));
    return o;
}

} // namespace kestrova::page
