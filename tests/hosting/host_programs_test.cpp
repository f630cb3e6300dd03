// The kestrova and wardline programs as a user runs them: each registers the module it
// ships in the user's settings store and makes its control from the ProgID.
#include "hosting/key_store.h"
#include "hosting/registration.h"
#include "platform/settings_store.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utility>

namespace kestrova::hosting {
namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class HostPrograms : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "HostProgramsTest";
        static char* argv[] = {name, nullptr};
        app_ = new QCoreApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete app_; }

    ProgramRun Run(const char* program, const QStringList& args, const QString& store) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KESTROVA_SETTINGS", store);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(program, args);
        ProgramRun run;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << program << " did not end";
        }
        run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(p.readAllStandardError());
        return run;
    }

    // Where the store says a ProgID's class lives; empty when it is not registered.
    static std::string RegisteredModule(const QString& storePath, const char* progId) {
        platform::SettingsStore settings(storePath);
        SettingsKeyStore store(settings);
        auto where = LookUpProgId(store, progId);
        return where ? where->modulePath : std::string();
    }

    static std::string Canonical(const char* path) {
        return QFileInfo(QString::fromLocal8Bit(path)).canonicalFilePath().toStdString();
    }

    static QCoreApplication* app_;
    QTemporaryDir dir_;
};
QCoreApplication* HostPrograms::app_ = nullptr;

TEST_F(HostPrograms, KestrovaPlaysTheControlItsModuleRegistered) {
    const QString store = dir_.filePath("registry.ini");
    const ProgramRun r = Run(KESTROVA_PROGRAM, {"--headless", "--seconds", "2", "--stats"}, store);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Pictures came through the control made by ProgID, and the report is complete.
    const auto drawn = QRegularExpression("\"frames_drawn\":\\{\"mpeg4\":(\\d+)").match(r.out);
    ASSERT_TRUE(drawn.hasMatch()) << r.out.toStdString();
    EXPECT_GT(drawn.captured(1).toInt(), 0);
    EXPECT_TRUE(r.out.contains("\"width\":320,\"height\":240")) << r.out.toStdString();
    EXPECT_EQ(RegisteredModule(store, "KESTROVA.KestrovaCtrl.1"), Canonical(KESTROVA_MODULE_PATH));
    EXPECT_EQ(RegisteredModule(store, "KESTROVA.KestrovaPropPage.1"),
              Canonical(KESTROVA_MODULE_PATH));
    EXPECT_EQ(RegisteredModule(store, "WARDLINE.WardlineCtrl.1"), "");
}

TEST_F(HostPrograms, WardlineReadsTheSetUpThroughTheControlItsModuleRegistered) {
    const QString store = dir_.filePath("registry.ini");
    const ProgramRun r = Run(WARDLINE_PROGRAM, {"--headless", "--dump"}, store);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("{\"mode\":\"area\",\"message\":\"\",\"loaded\":true"))
        << r.out.toStdString();
    EXPECT_EQ(RegisteredModule(store, "WARDLINE.WardlineCtrl.1"), Canonical(WARDLINE_MODULE_PATH));
    EXPECT_EQ(RegisteredModule(store, "KESTROVA.KestrovaCtrl.1"), "");
}

TEST_F(HostPrograms, AStoreThatCannotBeWrittenStopsBothProgramsClearly) {
    // A store below a plain file cannot be created, not even by the superuser.
    QFile blocker(dir_.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString store = dir_.filePath("not-a-folder/registry.ini");
    const std::pair<const char*, QStringList> runs[] = {
        {KESTROVA_PROGRAM, {"--headless", "--seconds", "1", "--stats"}},
        {WARDLINE_PROGRAM, {"--headless", "--dump"}}};
    for (const auto& [program, args] : runs) {
        SCOPED_TRACE(program);
        const ProgramRun r = Run(program, args, store);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QRegularExpression(
            "registering \\S+lib(kestrova|wardline)\\.so in the settings store \\S+ failed "
            "\\(0x80040200\\)")))
            << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
}

} // namespace
} // namespace kestrova::hosting
