// The decision after a read, without any window: what is taken, told and offered.
#include <QtTest>

#include "app/read_messages.h"
#include "tests/data/read_options.h"

namespace fiberview {

namespace {

DetectedLayout confident(std::optional<FileVersion> v, bool titled, int concrete, int steel) {
  DetectedLayout d;
  d.confident = true;
  d.sections = 3;
  d.hasTitleLine = titled;
  d.concreteCount = concrete;
  d.steelCount = steel;
  d.version = v;
  d.plausible = {{titled, concrete, steel}};
  d.versionFinding.version = v;
  d.versionFinding.sign = v ? VersionSign::Properties : VersionSign::NoEvidence;
  return d;
}

// "KZ2" where section 1's second bar has its first value, on line 5.
ReadResult failedInside() {
  return ReadError{ReadFailure::NotANumber, {5, 1}, FieldRole::SteelValue, 1, 2, 1, "KZ2"};
}

ReadResult readWell(bool leftover) {
  SectionStore s;
  s.sections.resize(3);
  if (leftover) s.leftoverAt = TextPosition{40, 1};
  return s;
}

const QString kPath = QStringLiteral("/tmp/a.txt");
constexpr auto kOld = FileVersion::Old;
constexpr auto kNew = FileVersion::New;

}  // namespace

class ReadPlanTest : public QObject {
  Q_OBJECT

 private slots:
  void readThatFitsIsSilentAndNeedsNoLayout() {
    const ReadResult r = readWell(false);
    QVERIFY(!readNeedsLayout(r, std::nullopt));
    const ReadPlan p =
        planRead(r, kPath, readOptions(kOld, false, 4, 2), std::nullopt, nullptr, true);
    QVERIFY(p.takeStore);
    QVERIFY(p.message.isEmpty());
    QVERIFY(p.choices.empty());
  }

  void offersWhatTheLayoutShows_data() {
    QTest::addColumn<bool>("failed");
    QTest::addColumn<bool>("leftover");
    QTest::addColumn<bool>("values");
    QTest::addColumn<QString>("told");
    QTest::newRow("failed read") << true << false << false << QStringLiteral("应为数字");
    QTest::newRow("fields left over") << false << true << false << QStringLiteral("最后一节之后");
    QTest::newRow("values break a check")
        << false << false << true << QStringLiteral("面积为 -2，面积应为正数");
  }
  void offersWhatTheLayoutShows() {
    QFETCH(bool, failed);
    QFETCH(bool, leftover);
    QFETCH(bool, values);
    QFETCH(QString, told);
    const ReadOptions used = readOptions(kOld, false, 30, 0);
    const ReadResult r = failed ? failedInside() : readWell(leftover);
    const std::optional<ValueFinding> finding =
        values ? std::optional(ValueFinding{.problem = ValueProblem::AreaNotPositive,
                                            .section = 1,
                                            .fiber = 26,
                                            .value = 3,
                                            .found = -2})
               : std::nullopt;
    QVERIFY(readNeedsLayout(r, finding));
    const DetectedLayout d = confident(kOld, true, 25, 8);
    const ReadPlan p = planRead(r, kPath, used, finding, &d, true);
    QCOMPARE(p.takeStore, !failed);
    QVERIFY2(p.message.contains(told), qPrintable(p.message));
    QCOMPARE(p.choices.size(), std::size_t{1});
    QCOMPARE(p.choices[0].concreteCount, std::int16_t{25});
    QCOMPARE(p.choices[0].steelCount, 8.0);
    QVERIFY(p.choices[0].hasTitleLine);
    QVERIFY2(p.question.contains(QStringLiteral("每节应有说明行")), qPrintable(p.question));
    QVERIFY2(
        p.question.contains(QStringLiteral("是否按“混凝土 25 根，钢筋 8 根，“有说明行”，老版本”")),
        qPrintable(p.question));
    // Once an offer was taken, the same findings are only told.
    const ReadPlan again = planRead(r, kPath, used, finding, &d, false);
    QCOMPARE(again.message, p.message);
    QVERIFY(again.choices.empty());
    QVERIFY(again.question.isEmpty());
  }

  void versionThatCannotBeToldIsLeftToTheUser() {
    const ReadOptions used = readOptions(kOld, true, 30, 0);
    const DetectedLayout d = confident(std::nullopt, true, 25, 8);
    const ReadPlan p = planRead(failedInside(), kPath, used, std::nullopt, &d, true);
    QCOMPARE(p.choices.size(), std::size_t{2});
    QCOMPARE(p.choices[0].version, kOld);
    QCOMPARE(p.choices[1].version, kNew);
    QCOMPARE(p.labels.size(), 2);
    QVERIFY2(p.labels[1].endsWith(QStringLiteral("新版本")), qPrintable(p.labels[1]));
    QVERIFY2(p.question.contains(QStringLiteral("看不出是哪个版本")), qPrintable(p.question));
    QVERIFY2(p.question.contains(QStringLiteral("看不出版本")), qPrintable(p.question));
  }

  void versionToldByTheRolesIsNamed() {
    const ReadOptions used = readOptions(kOld, true, 12, 8);
    DetectedLayout d = confident(kNew, true, 12, 8);
    d.versionFinding.sectionsFitting = 3;
    const ValueFinding f{.problem = ValueProblem::VersionMisfit, .section = 1, .fits = kNew};
    const ReadPlan p = planRead(readWell(false), kPath, used, f, &d, true);
    QCOMPARE(p.choices.size(), std::size_t{1});
    QCOMPARE(p.choices[0].version, kNew);
    QVERIFY2(
        p.message.contains(QStringLiteral("EIxx/EA、EIyy/EA 与纤维的 Ixx/A、Iyy/A 相符，像新版本")),
        qPrintable(p.message));
    QVERIFY2(p.question.contains(QStringLiteral("应为新版本，而不是老版本")),
             qPrintable(p.question));
  }

  // A layout that is the settings read, several layouts, or an unsure one: told, not offered.
  void layoutWithoutAnOfferIsOnlyTold() {
    const ValueFinding broken{
        .problem = ValueProblem::KindBroken, .section = 2, .fiber = 3, .value = 4, .found = 1.5};
    DetectedLayout several;
    several.problem = LayoutProblem::SeveralFit;
    several.plausible = {{false, 9, 3}, {false, 4, 11}};
    DetectedLayout unsure = confident(kOld, true, 25, 8);
    unsure.confident = false;
    const struct {
      ReadResult read;
      ReadOptions used;
      std::optional<ValueFinding> values;
      DetectedLayout found;
      QString told;
    } cases[] = {
        {readWell(false), readOptions(kOld, true, 25, 8), broken, confident(kOld, true, 25, 8),
         QStringLiteral("第 2 节第 3 根混凝土纤维却是 1.5")},
        {failedInside(), readOptions(kOld, false, 4, 2), std::nullopt, several,
         QStringLiteral("2 种分法都说得通（无说明行、混凝土 9 根、钢筋 3 根；"
                        "无说明行、混凝土 4 根、钢筋 11 根）")},
        {failedInside(), readOptions(kOld, false, 4, 2), std::nullopt, unsure,
         QStringLiteral("应为数字")},
    };
    for (const auto& c : cases) {
      const ReadPlan p = planRead(c.read, kPath, c.used, c.values, &c.found, true);
      QCOMPARE(p.takeStore, std::holds_alternative<SectionStore>(c.read));
      QVERIFY(p.choices.empty());
      QVERIFY2(p.message.contains(c.told), qPrintable(p.message));
    }
  }
};

}  // namespace fiberview

QTEST_GUILESS_MAIN(fiberview::ReadPlanTest)
#include "read_plan_test.moc"
