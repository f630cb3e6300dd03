#include "page_answers.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace kestrova::page {

namespace {
// Dialog reports go to the page's output, where its prints go.
void Report(const QString& line) {
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}
} // namespace

void ViewerAnswers::Message(int id, const std::string& text) {
    Report(QStringLiteral("message %1: %2").arg(id).arg(QString::fromStdString(text)));
}

std::optional<viewer::DialogHost::Login> ViewerAnswers::AuthAnswer(int) {
    Report(QStringLiteral("dialog \"authorization\" cancelled"));
    return std::nullopt;
}

std::optional<viewer::DialogHost::SaveAnswer>
ViewerAnswers::SnapshotAnswer(const std::string& defaultName) {
    QString path = QString::fromStdString(defaultName);
    if (!saveDir_.isEmpty())
        path = QDir(saveDir_).filePath(QFileInfo(path).fileName());
    // The save dialog's first filter (BMP) stays chosen, as a user pressing Save leaves it.
    Report(QStringLiteral("dialog \"snapshot\" saved to %1").arg(path));
    return SaveAnswer{path.toStdString(), false};
}

void ViewerAnswers::About() {
    Report(QStringLiteral("dialog \"about\" dismissed"));
}

std::optional<motion::Credentials> MotionAnswers::AuthAnswer() {
    Report(QStringLiteral("dialog \"authorization\" cancelled"));
    return std::nullopt;
}

void MotionAnswers::About() {
    Report(QStringLiteral("dialog \"about\" dismissed"));
}

} // namespace kestrova::page
