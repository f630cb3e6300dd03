#include "page_host.h"

#include "motion/motion_host_interface.h"
#include "status_text.h"
#include "viewer/player_host_interface.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPalette>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace kestrova::page {

namespace {

// Globals of the page, over the host object. A control is a plain object with one
// function per method of its dispatch table.
constexpr char kPrelude[] = R"JS(
(function (host) {
    var g = this;
    g.print = function () {
        host.print(Array.prototype.map.call(arguments, String).join(" "));
    };
    g.setTimeout = function (fn, ms) { return host.setTimer(fn, ms || 0, false); };
    g.setInterval = function (fn, ms) { return host.setTimer(fn, ms || 0, true); };
    g.clearTimeout = function (id) { host.clearTimer(id); };
    g.clearInterval = function (id) { host.clearTimer(id); };
    g.page = {
        params: {},
        create: function (progId, options) {
            return host.create(progId, !!(options && options.hidden));
        },
        place: function (control, x, y, width, height) {
            host.place(control, x, y, width === undefined ? -1 : width,
                       height === undefined ? -1 : height);
        },
        look: function (control) { return host.look(control); },
        quit: function (code) { host.quit(code || 0); },
    };
    return function (handle, progId, names, ids) {
        var control = { progId: progId, __handle: handle };
        names.forEach(function (name, i) {
            control[name] = function () {
                return host.call(handle, ids[i], Array.prototype.slice.call(arguments));
            };
        });
        return control;
    };
})
)JS";

} // namespace

PageHost::PageHost(QVariantMap params, bool headless, QString saveDir, QObject* parent,
                   const QString& audioWav)
    : QObject(parent), headless_(headless), viewerAnswers_(std::move(saveDir)),
      sound_("kestrova-page", audioWav.toStdString()), window_(std::make_unique<QWidget>()) {
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    // The page: controls sit where the page puts them, on a white page as in a browser.
    window_->setObjectName(QStringLiteral("PageWindow"));
    window_->setWindowTitle(QStringLiteral("kestrova-page"));
    window_->setAutoFillBackground(true);
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, Qt::white);
    window_->setPalette(palette);
    window_->resize(kEmptyPageSize);
    QJSValue prelude = engine_.evaluate(QString::fromLatin1(kPrelude), QStringLiteral("prelude"));
    wrap_ = prelude.call({engine_.newQObject(this)});
    QJSValue pageParams = engine_.globalObject().property("page").property("params");
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        pageParams.setProperty(it.key(), it.value().toString());
    if (headless) {
        // The controls' own dialogs are answered through their host interfaces; any other
        // modal dialog cannot be answered offscreen: report it and dismiss it.
        auto* closer = new QTimer(this);
        connect(closer, &QTimer::timeout, this, &PageHost::CloseModalDialogs);
        closer->start(100);
        // No browser to start: a page's request to open a web page is reported instead.
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "OpenUrl");
    }
}

PageHost::~PageHost() {
    if (headless_)
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    for (auto& [id, t] : timers_)
        delete t.timer;
    for (auto& c : controls_)
        delete c.object.data();
}

bool PageHost::Run(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    script_ = QFileInfo(path).fileName();
    window_->setWindowTitle(QStringLiteral("%1 - kestrova-page").arg(script_));
    window_->show();
    running_ = true;
    const QJSValue result = engine_.evaluate(QString::fromUtf8(file.readAll()), path, 1);
    running_ = false;
    if (result.isError()) {
        Report(result);
        return false;
    }
    return !failed_;
}

void PageHost::Report(const QJSValue& error) {
    if (failed_)
        return;
    failed_ = true;
    QString file = error.property("fileName").toString();
    int line = error.property("lineNumber").toInt();
    // An error raised inside a control call points into the prelude: name the page's
    // line that made the call instead.
    const QStringList frames = error.property("stack").toString().split(QLatin1Char('\n'));
    for (const QString& frame : frames) {
        const qsizetype at = frame.indexOf(QLatin1Char('@'));
        const qsizetype colon = frame.lastIndexOf(QLatin1Char(':'));
        if (at < 0 || colon <= at || frame.contains(QLatin1String("prelude")))
            continue;
        bool ok = false;
        const int n = frame.mid(colon + 1).toInt(&ok);
        if (ok) {
            file = frame.mid(at + 1, colon - at - 1);
            line = n;
        }
        break;
    }
    if (file.startsWith(QLatin1String("file://")))
        file = file.mid(7);
    std::fprintf(stderr, "%s:%d: %s\n", qPrintable(file.isEmpty() ? script_ : file), line,
                 qPrintable(error.toString()));
    std::fflush(stderr);
    emit finished(1);
}

void PageHost::OnEngineText(int code, const QString& text) {
    const std::string line = app::EngineTextLine(code, text.toStdString());
    if (line == lastEngineText_)
        return; // a play that restarts says the same again
    lastEngineText_ = line;
    std::fprintf(stderr, "kestrova-page: %s\n", line.c_str());
}

QJSValue PageHost::create(const QString& progId, bool hidden) {
    std::string why;
    auto created = loader_.Create(progId.toStdString(), window_.get(), &why);
    if (!created) {
        engine_.throwError(QStringLiteral("page.create: %1").arg(QString::fromStdString(why)));
        return {};
    }
    if (auto* viewer = qobject_cast<viewer::PlayerHostInterface*>(created->object)) {
        sound_.Apply(*viewer);
        // By name: the module's signal is not this program's copy of it.
        connect(created->object, SIGNAL(engineText(int, QString)), this,
                SLOT(OnEngineText(int, QString)));
    }
    if (headless_) {
        if (auto* viewer = qobject_cast<viewer::PlayerHostInterface*>(created->object))
            viewer->SetDialogHost(&viewerAnswers_);
        if (auto* motion = qobject_cast<motion::MotionHostInterface*>(created->object))
            motion->SetDialogHost(&motionAnswers_);
    }
    if (auto* widget = qobject_cast<QWidget*>(created->object)) {
        // Controls flow left to right, as objects on a page do, until the page places them.
        widget->move(nextX_, 0);
        nextX_ += widget->width() + kControlGap;
        if (!hidden)
            widget->show();
    }
    const int handle = static_cast<int>(controls_.size());
    controls_.push_back({created->object, created->dispatch, progId});
    FitWindow();
    QJSValue names = engine_.newArray();
    QJSValue ids = engine_.newArray();
    quint32 i = 0;
    for (const auto& m : created->dispatch.Methods()) {
        names.setProperty(i, QString::fromLatin1(m.name));
        ids.setProperty(i, m.dispid);
        ++i;
    }
    return wrap_.call({handle, progId, names, ids});
}

QJSValue PageHost::call(int handle, int dispid, const QVariantList& args) {
    if (handle < 0 || handle >= static_cast<int>(controls_.size()) || !controls_[handle].object) {
        engine_.throwError(QStringLiteral("the control no longer exists"));
        return {};
    }
    const Control& c = controls_[handle];
    QVariant result;
    QString error;
    hosting::Status status = hosting::kOk;
    if (!c.dispatch.Invoke(c.object, dispid, args, &result, &error, &status)) {
        // As a page's script engine reports a failed call: an overflow is a range error,
        // everything else (type mismatch, wrong count) a type error.
        engine_.throwError(status == hosting::kDispOverflow ? QJSValue::RangeError
                                                            : QJSValue::TypeError,
                           QStringLiteral("%1: %2").arg(c.progId, error));
        return {};
    }
    return result.isValid() ? engine_.toScriptValue(result) : QJSValue();
}

QWidget* PageHost::WidgetOf(const QJSValue& control) const {
    if (!control.hasProperty("__handle"))
        return nullptr;
    const int handle = control.property("__handle").toInt();
    if (handle < 0 || handle >= static_cast<int>(controls_.size()))
        return nullptr;
    return qobject_cast<QWidget*>(controls_[handle].object.data());
}

void PageHost::place(const QJSValue& control, int x, int y, int width, int height) {
    QWidget* widget = WidgetOf(control);
    if (!widget) {
        engine_.throwError(QJSValue::TypeError, QStringLiteral("page.place needs a control"));
        return;
    }
    if (x < 0 || y < 0 || x > kMaxPageExtent || y > kMaxPageExtent || width > kMaxPageExtent ||
        height > kMaxPageExtent || width == 0 || height == 0) {
        engine_.throwError(QJSValue::RangeError,
                           QStringLiteral("page.place: %1, %2 (%3 x %4) is not on the page")
                               .arg(x)
                               .arg(y)
                               .arg(width)
                               .arg(height));
        return;
    }
    widget->setGeometry(x, y, width < 0 ? widget->width() : width,
                        height < 0 ? widget->height() : height);
    widget->show();
    FitWindow();
}

void PageHost::FitWindow() {
    // The page grows to hold every control; it never shrinks under the user.
    QRect used;
    for (const auto& c : controls_)
        if (auto* w = qobject_cast<QWidget*>(c.object.data()); w && !w->isHidden())
            used |= w->geometry();
    if (!used.isEmpty())
        window_->resize(window_->size().expandedTo(QSize(used.right() + 1, used.bottom() + 1)));
}

QVariantMap PageHost::look(const QJSValue& control) {
    QVariantMap seen;
    // Without a control: the whole page window.
    QWidget* widget = control.isUndefined() || control.isNull() ? window_.get() : WidgetOf(control);
    if (!widget)
        return seen;
    seen.insert("visible", widget->isVisible());
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    qint64 lit = 0;
    quint32 signature = 2166136261u;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = row[x] & 0xFFFFFF;
            // Neither the black of an empty picture nor the window's white counts.
            lit += p != 0 && p != 0xFFFFFF;
            signature = (signature ^ p) * 16777619u;
        }
    }
    const qint64 area = qint64(image.width()) * image.height();
    seen.insert("width", image.width());
    seen.insert("height", image.height());
    seen.insert("litPercent", area ? static_cast<int>(lit * 100 / area) : 0);
    seen.insert("signature", QString::number(signature, 16));
    return seen;
}

int PageHost::setTimer(const QJSValue& fn, int ms, bool repeat) {
    if (!fn.isCallable()) {
        engine_.throwError(QJSValue::TypeError,
                           repeat ? QStringLiteral("setInterval needs a function")
                                  : QStringLiteral("setTimeout needs a function"));
        return 0;
    }
    const int id = nextTimer_++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(!repeat);
    connect(timer, &QTimer::timeout, this, [this, id] { Fire(id); });
    timers_.emplace(id, Timer{timer, fn, repeat});
    timer->start(std::max(ms, 0));
    return id;
}

void PageHost::clearTimer(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    it->second.timer->deleteLater();
    timers_.erase(it);
}

void PageHost::Fire(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end() || failed_ || exitCode_)
        return;
    // The page runs one piece of script at a time, as in a browser: while a control's
    // modal dialog holds a call open, timers wait (an interval skips its ticks).
    if (running_) {
        if (!it->second.repeat)
            it->second.timer->start(kDeferredTimerMs);
        return;
    }
    QJSValue fn = it->second.fn;
    if (!it->second.repeat)
        clearTimer(id);
    running_ = true;
    const QJSValue result = fn.call();
    running_ = false;
    if (result.isError()) {
        Report(result);
        return;
    }
    if (timers_.empty() && !exitCode_)
        emit idle();
}

void PageHost::print(const QString& line) {
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

void PageHost::quit(int code) {
    // Kept, so a quit during the page's first run (before any event loop) still ends the
    // program with this status; nothing of the page runs after it.
    if (exitCode_)
        return;
    exitCode_ = code;
    for (auto& [id, t] : timers_)
        t.timer->stop();
    emit finished(code);
}

void PageHost::OpenUrl(const QUrl& url) {
    std::fprintf(stdout, "browser \"%s\" not opened (headless)\n", qPrintable(url.toString()));
    std::fflush(stdout);
}

void PageHost::CloseModalDialogs() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    std::fprintf(stdout, "dialog \"%s\" dismissed\n", qPrintable(modal->windowTitle()));
    std::fflush(stdout);
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

} // namespace kestrova::page
