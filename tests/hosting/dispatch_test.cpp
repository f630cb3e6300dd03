// Dispatch tables: the check against a control class, calls by name and by id, and the
// conversion of page arguments to the declared types (one test per rule family).
#include "hosting/argument_conversion.h"
#include "hosting/dispatch.h"
#include "hosting/status_codes.h"

#include <QObject>
#include <array>
#include <gtest/gtest.h>
#include <limits>

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
    Q_INVOKABLE void Enable(short nIdx, bool bOn) {
        calls << QStringLiteral("Enable %1 %2").arg(nIdx).arg(bOn);
    }
};

constexpr KestrovaDispatchParam kStart[] = {{"bRecord", KESTROVA_DISP_LONG},
                                            {"sName", KESTROVA_DISP_STRING}};
constexpr KestrovaDispatchParam kIdx[] = {{"nIdx", KESTROVA_DISP_SHORT}};
constexpr KestrovaDispatchParam kSource[] = {{"sURL", KESTROVA_DISP_STRING},
                                             {"nMode", KESTROVA_DISP_SHORT}};
constexpr KestrovaDispatchParam kEnable[] = {{"nIdx", KESTROVA_DISP_SHORT},
                                             {"bOn", KESTROVA_DISP_BOOL}};
constexpr std::array kMethods{
    KestrovaDispatchMethod{1, "Start", KESTROVA_DISP_VOID, 2, kStart},
    KestrovaDispatchMethod{2, "Level", KESTROVA_DISP_LONG, 1, kIdx},
    KestrovaDispatchMethod{3, "Source", KESTROVA_DISP_BOOL, 2, kSource},
    KestrovaDispatchMethod{4, "Title", KESTROVA_DISP_STRING, 1, kIdx},
    KestrovaDispatchMethod{5, "Enable", KESTROVA_DISP_VOID, 2, kEnable},
    KestrovaDispatchMethod{kDispidAboutBox, "AboutBox", KESTROVA_DISP_VOID, 0, nullptr},
};
constexpr KestrovaDispatchTable kTable{"_DRecorder", "{R}", kMethods.size(), kMethods.data()};

TEST(Dispatch, TableMatchesTheControlClass) {
    const DispatchTable table(&kTable);
    EXPECT_TRUE(table.CheckAgainst(Recorder::staticMetaObject).isEmpty())
        << table.CheckAgainst(Recorder::staticMetaObject).join('\n').toStdString();
    EXPECT_EQ(table.Find(4)->name, std::string_view("Title"));
    EXPECT_EQ(table.Find("AboutBox")->dispid, -552);
    EXPECT_EQ(table.Find(6), nullptr);
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

// A JavaScript null reaches the host as a null pointer value, undefined as no value.
const QVariant kNull = QVariant::fromValue(nullptr);
const QVariant kUndefined;

struct ConversionCase {
    QVariant in;
    int32_t type;
    QVariant out;
};

void ExpectConversions(std::initializer_list<ConversionCase> cases) {
    for (const auto& c : cases) {
        const Converted got = ConvertArgument(c.in, c.type);
        const std::string what = c.in.toString().toStdString() + " (" +
                                 (c.in.isValid() ? c.in.typeName() : "undefined") + ") to " +
                                 DispatchTypeName(c.type);
        EXPECT_EQ(got.error, ConversionError::kNone) << what;
        EXPECT_EQ(got.value, c.out) << what << ": " << got.value.toString().toStdString();
    }
}

TEST(ArgumentConversion, NumbersFromTextBooleansFractionsAndNothing) {
    const auto L = KESTROVA_DISP_LONG;
    const auto H = KESTROVA_DISP_SHORT;
    ExpectConversions({
        {QStringLiteral("640"), L, qint64(640)},
        {QStringLiteral("  -12\t"), L, qint64(-12)},
        {QStringLiteral("+7"), H, qint64(7)},
        {QStringLiteral("2.5"), L, qint64(2)},
        {QStringLiteral("1e3"), L, qint64(1000)},
        {QStringLiteral("32767"), H, qint64(32767)},
        {true, L, qint64(-1)},
        {false, H, qint64(0)},
        // Half to even; other fractions to the nearest.
        {0.5, L, qint64(0)},
        {1.5, L, qint64(2)},
        {2.5, L, qint64(2)},
        {-2.5, L, qint64(-2)},
        {-3.5, H, qint64(-4)},
        {2.4999, L, qint64(2)},
        {2.5001, L, qint64(3)},
        {32767.4, H, qint64(32767)},
        {-2147483648.0, L, qint64(-2147483648LL)},
        {kNull, L, qint64(0)},
        {kUndefined, H, qint64(0)},
    });
}

TEST(ArgumentConversion, TextFromNumbersBooleansAndNothing) {
    const auto S = KESTROVA_DISP_STRING;
    ExpectConversions({
        {15, S, QStringLiteral("15")},
        {-40000, S, QStringLiteral("-40000")},
        {15.0, S, QStringLiteral("15")},
        {1.5, S, QStringLiteral("1.5")},
        {0.1, S, QStringLiteral("0.1")},
        {-0.0, S, QStringLiteral("0")},
        {1.0 / 3, S, QStringLiteral("0.333333333333333")},
        {1e20, S, QStringLiteral("1E+20")},
        {true, S, QStringLiteral("-1")},
        {false, S, QStringLiteral("0")},
        {kNull, S, QString()},
        {kUndefined, S, QString()},
        {QStringLiteral(" as is "), S, QStringLiteral(" as is ")},
    });
}

TEST(ArgumentConversion, BooleansFromNumbersAndText) {
    const auto B = KESTROVA_DISP_BOOL;
    ExpectConversions({
        {1, B, true},
        {-1, B, true},
        {0, B, false},
        {0.25, B, true},
        {QStringLiteral("true"), B, true},
        {QStringLiteral(" FALSE "), B, false},
        {QStringLiteral("True"), B, true},
        {QStringLiteral("0"), B, false},
        {QStringLiteral("-1"), B, true},
        {QStringLiteral("0.0"), B, false},
        {kNull, B, false},
        {kUndefined, B, false},
    });
}

TEST(ArgumentConversion, ValuesThatDoNotFitOrParseAreErrors) {
    const auto L = KESTROVA_DISP_LONG;
    const auto H = KESTROVA_DISP_SHORT;
    const auto S = KESTROVA_DISP_STRING;
    const auto B = KESTROVA_DISP_BOOL;
    struct Case {
        QVariant in;
        int32_t type;
        ConversionError error;
    };
    const auto M = ConversionError::kTypeMismatch;
    const auto O = ConversionError::kOverflow;
    const Case cases[] = {
        {40000, H, O},
        {-32769, H, O},
        {32767.5, H, O}, // rounds to 32768
        {QStringLiteral("40000"), H, O},
        {2147483648.0, L, O},
        {qint64(1) << 40, L, O},
        {std::numeric_limits<qulonglong>::max(), L, O},
        {std::numeric_limits<double>::quiet_NaN(), L, O},
        {std::numeric_limits<double>::infinity(), H, O},
        {QStringLiteral("1e10"), L, O},
        {QStringLiteral(""), L, M},
        {QStringLiteral("   "), H, M},
        {QStringLiteral("640px"), L, M},
        {QStringLiteral("0x10"), L, M},
        {QStringLiteral("1,000"), L, M},
        {QStringLiteral("1e"), L, M},
        {QStringLiteral("."), L, M},
        {QStringLiteral("yes"), B, M},
        {QStringLiteral("on"), B, M},
        {QVariantList{1, 2}, L, M},
        {QVariantMap{{"a", 1}}, S, M},
        {QVariantList{}, B, M},
    };
    for (const auto& c : cases) {
        const Converted got = ConvertArgument(c.in, c.type);
        EXPECT_EQ(got.error, c.error)
            << c.in.toString().toStdString() << " to " << DispatchTypeName(c.type);
    }
}

// Through the table: the control gets converted values in its own C++ types; a refused
// argument names method, argument and error, and nothing is called.
TEST(Dispatch, ArgumentsAreConvertedBeforeTheCallOrRefusedWithoutIt) {
    Recorder r;
    const DispatchTable table(&kTable);
    QString error;
    Status status = kFail;
    ASSERT_TRUE(table.Invoke(&r, "Start", {false, QVariant()}, nullptr, &error, &status))
        << error.toStdString();
    EXPECT_EQ(status, kOk);
    ASSERT_TRUE(table.Invoke(&r, "Start", {QStringLiteral(" 1 "), 15}, nullptr, &error));
    ASSERT_TRUE(table.Invoke(&r, "Enable", {2.5, QStringLiteral("true")}, nullptr, &error));
    ASSERT_TRUE(table.Invoke(&r, "Enable", {true, 0}, nullptr, &error));
    QVariant result;
    ASSERT_TRUE(table.Invoke(&r, "Level", {QStringLiteral("3")}, &result, &error));
    EXPECT_EQ(result, QVariant(30));
    EXPECT_EQ(r.calls, (QStringList{"Start 0 ", "Start 1 15", "Enable 2 1", "Enable -1 0"}));

    r.calls.clear();
    struct Case {
        const char* method;
        QVariantList args;
        Status status;
        const char* message;
    };
    const Case cases[] = {
        {"Enable",
         {40000, true},
         kDispOverflow,
         "Enable: argument 1 (nIdx): overflow: number 40000 does not fit a short"},
        {"Enable",
         {1, QStringLiteral("maybe")},
         kDispTypeMismatch,
         "Enable: argument 2 (bOn): type mismatch: string \"maybe\" is not a BOOL"},
        {"Start",
         {QStringLiteral("640px"), QStringLiteral("x")},
         kDispTypeMismatch,
         "Start: argument 1 (bRecord): type mismatch: string \"640px\" is not a long"},
        {"Start",
         {1, QVariantList{}},
         kDispTypeMismatch,
         "argument 2 (sName): type mismatch: array is not a string"},
        {"Start", {1}, kDispBadParamCount, "Start takes 2 argument(s), 1 given"},
        {"Start", {1, QStringLiteral("x"), 2}, kDispBadParamCount, "3 given"},
        {"Nope", {}, kDispUnknownName, "_DRecorder has no method Nope"},
    };
    for (const auto& c : cases) {
        QVariant untouched(42);
        status = kOk;
        EXPECT_FALSE(table.Invoke(&r, c.method, c.args, &untouched, &error, &status)) << c.method;
        EXPECT_EQ(status, c.status) << c.message;
        EXPECT_TRUE(error.contains(QLatin1String(c.message)))
            << c.message << " / " << error.toStdString();
        EXPECT_EQ(untouched, QVariant(42));
    }
    EXPECT_FALSE(table.Invoke(&r, 99, {}, nullptr, &error, &status));
    EXPECT_EQ(status, kDispMemberNotFound);
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
