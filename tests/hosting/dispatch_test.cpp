// Dispatch tables: the check against a control class, and calls by name and by id with
// their argument refusals.
#include "hosting/dispatch.h"
#include "hosting/status_codes.h"

#include <QObject>
#include <array>
#include <gtest/gtest.h>

namespace kestrova::hosting {
namespace {

class Recorder : public QObject {
    Q_OBJECT
public:
    QStringList calls;

    Q_INVOKABLE void Start(int bRecord, const QString& sName) {
        calls << QStringLiteral("Start %1 %2").arg(bRecord).arg(sName);
    }
    Q_INVOKABLE long Level(short nIdx) { return nIdx * 10L; }
    Q_INVOKABLE bool Source(const QString& sURL, short nMode) {
        calls << QStringLiteral("Source %1 %2").arg(sURL).arg(nMode);
        return !sURL.isEmpty();
    }
    Q_INVOKABLE QString Title(short nIdx) { return QStringLiteral("area %1").arg(nIdx); }
    Q_INVOKABLE void AboutBox() { calls << QStringLiteral("About"); }
};

constexpr KestrovaDispatchParam kStart[] = {{"bRecord", KESTROVA_DISP_LONG},
                                            {"sName", KESTROVA_DISP_STRING}};
constexpr KestrovaDispatchParam kIdx[] = {{"nIdx", KESTROVA_DISP_SHORT}};
constexpr KestrovaDispatchParam kSource[] = {{"sURL", KESTROVA_DISP_STRING},
                                             {"nMode", KESTROVA_DISP_SHORT}};
constexpr std::array kMethods{
    KestrovaDispatchMethod{1, "Start", KESTROVA_DISP_VOID, 2, kStart},
    KestrovaDispatchMethod{2, "Level", KESTROVA_DISP_LONG, 1, kIdx},
    KestrovaDispatchMethod{3, "Source", KESTROVA_DISP_BOOL, 2, kSource},
    KestrovaDispatchMethod{4, "Title", KESTROVA_DISP_STRING, 1, kIdx},
    KestrovaDispatchMethod{kDispidAboutBox, "AboutBox", KESTROVA_DISP_VOID, 0, nullptr},
};
constexpr KestrovaDispatchTable kTable{"_DRecorder", "{R}", kMethods.size(), kMethods.data()};

TEST(Dispatch, TableMatchesTheControlClass) {
    const DispatchTable table(&kTable);
    EXPECT_TRUE(table.CheckAgainst(Recorder::staticMetaObject).isEmpty())
        << table.CheckAgainst(Recorder::staticMetaObject).join('\n').toStdString();
    EXPECT_EQ(table.Find(4)->name, std::string_view("Title"));
    EXPECT_EQ(table.Find("AboutBox")->dispid, -552);
    EXPECT_EQ(table.Find(5), nullptr);
    EXPECT_EQ(table.Find("title"), nullptr); // names are case-sensitive
}

TEST(Dispatch, CheckFindsEveryKindOfDifference) {
    static constexpr KestrovaDispatchParam wrongType[] = {{"bRecord", KESTROVA_DISP_STRING},
                                                          {"sName", KESTROVA_DISP_STRING}};
    static constexpr KestrovaDispatchParam wrongName[] = {{"nIndex", KESTROVA_DISP_SHORT}};
    constexpr std::array methods{
        KestrovaDispatchMethod{1, "Start", KESTROVA_DISP_VOID, 2, wrongType},
        KestrovaDispatchMethod{2, "Level", KESTROVA_DISP_LONG, 1, wrongName},
        KestrovaDispatchMethod{4, "Source", KESTROVA_DISP_LONG, 2, kSource}, // id gap, result
        KestrovaDispatchMethod{4, "Missing", KESTROVA_DISP_VOID, 0, nullptr},
        KestrovaDispatchMethod{6, "Title", KESTROVA_DISP_STRING, 0, nullptr},
    };
    const KestrovaDispatchTable bad{"_DBad", "{B}", methods.size(), methods.data()};
    const QString report = DispatchTable(&bad).CheckAgainst(Recorder::staticMetaObject).join('\n');
    for (const char* expected :
         {"Start: parameter 1 is string", "Level: parameter 1 is named nIndex",
          "Source: dispatch id 4, expected 3", "Source: result is long",
          "Missing: dispatch id 4 listed twice", "Missing: no such method",
          "Title: 0 parameter(s), the control takes 1"})
        EXPECT_TRUE(report.contains(QLatin1String(expected))) << expected << "\n"
                                                              << report.toStdString();
}

TEST(Dispatch, CallsByNameAndByIdWithResults) {
    Recorder r;
    const DispatchTable table(&kTable);
    QVariant result;
    QString error;
    ASSERT_TRUE(table.Invoke(&r, "Start", {1, QStringLiteral("a.asf")}, &result, &error))
        << error.toStdString();
    EXPECT_FALSE(result.isValid());
    ASSERT_TRUE(table.Invoke(&r, 1, {0.0, QStringLiteral("")}, nullptr, &error));
    EXPECT_EQ(r.calls, (QStringList{"Start 1 a.asf", "Start 0 "}));

    ASSERT_TRUE(table.Invoke(&r, 2, {3}, &result, &error));
    EXPECT_EQ(result.typeId(), QMetaType::Int);
    EXPECT_EQ(result.toInt(), 30);
    ASSERT_TRUE(table.Invoke(&r, "Source", {QStringLiteral("http://cam/"), -2}, &result));
    EXPECT_EQ(result, QVariant(true));
    ASSERT_TRUE(table.Invoke(&r, "Title", {32767}, &result));
    EXPECT_EQ(result.toString(), "area 32767");
    ASSERT_TRUE(table.Invoke(&r, -552, {}, &result));
    EXPECT_EQ(r.calls.last(), "About");
}

TEST(Dispatch, WrongCallsAreRefusedAndNothingRuns) {
    Recorder r;
    const DispatchTable table(&kTable);
    struct Case {
        const char* method;
        QVariantList args;
        const char* message;
    };
    const Case cases[] = {
        {"Start", {1}, "Start takes 2 argument(s), 1 given"},
        {"Start", {1, QStringLiteral("x"), 2}, "takes 2 argument(s), 3 given"},
        {"Start",
         {QStringLiteral("1"), QStringLiteral("x")},
         "argument 1 (bRecord) must be a long"},
        {"Start", {1, 5}, "argument 2 (sName) must be a string"},
        {"Start", {1.5, QStringLiteral("x")}, "must be a long"},
        {"Start", {4294967296.0, QStringLiteral("x")}, "must be a long"},
        {"Start", {QVariant(), QStringLiteral("x")}, "got nothing"},
        {"Level", {32768}, "argument 1 (nIdx) must be a short"},
        {"Level", {-32769}, "must be a short"},
        {"Level", {true}, "must be a short"},
        {"Nope", {}, "_DRecorder has no method Nope"},
    };
    for (const auto& c : cases) {
        QString error;
        QVariant result(42);
        EXPECT_FALSE(table.Invoke(&r, c.method, c.args, &result, &error)) << c.method;
        EXPECT_TRUE(error.contains(QLatin1String(c.message)))
            << c.message << " / " << error.toStdString();
        EXPECT_EQ(result, QVariant(42)); // untouched
    }
    QString error;
    EXPECT_FALSE(table.Invoke(&r, 99, {}, nullptr, &error));
    EXPECT_TRUE(error.contains("no dispatch id 99"));
    EXPECT_FALSE(table.Invoke(nullptr, 2, {1}, nullptr, &error));
    EXPECT_TRUE(r.calls.isEmpty());
}

// A table that names a method the object lacks is refused at call time too.
TEST(Dispatch, CallOnAnObjectOfAnotherClassIsRefused) {
    QObject plain;
    QString error;
    EXPECT_FALSE(DispatchTable(&kTable).Invoke(&plain, "Level", {1}, nullptr, &error));
    EXPECT_TRUE(error.contains("does not have this method"));
    EXPECT_FALSE(DispatchTable(nullptr).Invoke(&plain, 1, {}, nullptr, &error));
}

} // namespace
} // namespace kestrova::hosting

#include "dispatch_test.moc"
