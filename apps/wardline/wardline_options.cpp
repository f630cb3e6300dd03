#include "wardline_options.h"

#include <QByteArray>

namespace kestrova::wardline {

const char* WardlineUsage() {
    return "usage: wardline [URL] [options]\n"
           "  URL                 camera base URL (http://host[:port]); none: built-in camera\n"
           "  --frame-type T      mpeg (default) or jpeg\n"
           "  --mode area|view    four motion areas over live video (default) or the view\n"
           "  --user U --password P | --auth TEXT   credentials (default admin/admin)\n"
           "  --headless          no window: run the steps below and exit\n"
           "  --dump              print the read set-up as JSON\n"
           "  --enable N=0|1      area N (1..4) on or off\n"
           "  --threshold N=V     area N's threshold\n"
           "  --title N=TEXT      area N's title\n"
           "  --apply             store the set-up on the camera\n"
           "  --watch SECONDS     print the four indicators every 200 ms\n"
           "  --screenshot PATH   save a picture of the control\n";
}

namespace {
// "N=VALUE" with N 1..4.
bool SplitAreaValue(const QString& text, int& area, QString& value) {
    const int eq = text.indexOf('=');
    if (eq <= 0)
        return false;
    bool ok = false;
    area = text.left(eq).toInt(&ok) - 1;
    value = text.mid(eq + 1);
    return ok && area >= 0 && area < 4;
}
} // namespace

std::optional<WardlineOptions> ParseWardlineOptions(const QStringList& args, std::string& error,
                                                    bool& help) {
    WardlineOptions o;
    help = false;
    auto fail = [&](const QString& why) {
        error = why.toStdString();
        return std::nullopt;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto next = [&](QString& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        QString v;
        if (a == "--help" || a == "-h") {
            help = true;
            return o;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--dump") {
            o.dump = true;
        } else if (a == "--apply") {
            o.apply = true;
        } else if (a == "--frame-type" || a == "--mode" || a == "--user" || a == "--password" ||
                   a == "--auth" || a == "--watch" || a == "--screenshot" || a == "--enable" ||
                   a == "--threshold" || a == "--title") {
            if (!next(v))
                return fail(a + " needs a value");
            if (a == "--frame-type") {
                o.frameType = v.toStdString();
            } else if (a == "--mode") {
                if (v != "area" && v != "view")
                    return fail("--mode is area or view");
                o.mode = v == "view" ? 2 : 1;
            } else if (a == "--user") {
                o.user = v.toStdString();
            } else if (a == "--password") {
                o.password = v.toStdString();
            } else if (a == "--auth") {
                o.auth = v.toStdString();
            } else if (a == "--watch") {
                bool ok = false;
                o.watchSeconds = v.toDouble(&ok);
                if (!ok || o.watchSeconds < 0 || o.watchSeconds > 3600)
                    return fail("--watch takes seconds from 0 to 3600");
            } else if (a == "--screenshot") {
                o.screenshot = v.toStdString();
            } else {
                WardlineOptions::Edit e;
                QString value;
                if (!SplitAreaValue(v, e.area, value))
                    return fail(a + " takes N=VALUE with N from 1 to 4");
                if (a == "--title") {
                    e.kind = WardlineOptions::Edit::Kind::Title;
                    e.text = value.toStdString();
                } else {
                    bool ok = false;
                    e.value = value.toInt(&ok);
                    const bool enable = a == "--enable";
                    if (!ok || (enable && e.value != 0 && e.value != 1) || e.value < -32768 ||
                        e.value > 32767)
                        return fail(a + (enable ? " takes N=0 or N=1" : " takes N=V, V a short"));
                    e.kind = enable ? WardlineOptions::Edit::Kind::Enable
                                    : WardlineOptions::Edit::Kind::Threshold;
                }
                o.edits.push_back(std::move(e));
            }
        } else if (a.startsWith("--")) {
            return fail("unknown option " + a);
        } else if (o.url.empty()) {
            o.url = a.toStdString();
            while (!o.url.empty() && o.url.back() == '/')
                o.url.pop_back();
        } else {
            return fail("more than one URL");
        }
    }
    return o;
}

std::string WardlineCredentials(const WardlineOptions& o) {
    if (!o.auth.empty())
        return o.auth;
    return "Basic " + QByteArray::fromStdString(o.user + ":" + o.password).toBase64().toStdString();
}

} // namespace kestrova::wardline
