#include <gtest/gtest.h>

#include "logquery/Stays.h"

namespace tavrel {

void PrintTo(const InOutRow& row, std::ostream* os) {
    *os << '[' << row.in.toStdString() << '|' << row.out.toStdString() << '|'
        << row.length.toStdString() << ']';
}

namespace {

// A past day and "now" on the day after it, in the afternoon.
const QDate kPastDay(2026, 12, 7);
const QDateTime kNow(QDate(2026, 12, 8), QTime(14, 30, 20));
const QString kNA = QStringLiteral("N/A     ");

struct FillCase {
    const char* name;
    QVariant inTimes;
    QVariant outTimes;
    QDate day;
    QList<InOutRow> rows;
};

void PrintTo(const FillCase& c, std::ostream* os) {
    *os << c.name;
}

class FillInOutListTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillInOutListTest, ListsEveryStayAndTheTotal) {
    const FillCase& c = GetParam();
    const InOutList list = FillInOutList(c.inTimes, c.outTimes, c.day, kNow);
    EXPECT_EQ(list.rows, c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Stays, FillInOutListTest,
    ::testing::Values(FillCase{"TwoInOneOutPastDay",
                               "09:15 am,01:00 pm,",
                               "11:40 am,",
                               kPastDay,
                               {{"09:15 am", "11:40 am", "02:25"},
                                {"01:00 pm", "12:00 am", "11:00"},
                                {"Total", "", "13:25"}}},
                      FillCase{"TwoInOneOutToday",
                               "09:15 am,01:00 pm,",
                               "11:40 am,",
                               kNow.date(),
                               {{"09:15 am", "11:40 am", "02:25"},
                                {"01:00 pm", kNA, "01:30"},
                                {"Total", "", "03:55"}}},
                      FillCase{"InLaterThanNowToday",
                               "09:15 am,03:00 pm,",
                               "11:40 am,",
                               kNow.date(),
                               {{"09:15 am", "11:40 am", "02:25"},
                                {"03:00 pm", kNA, kNA},
                                {"Total", "", "02:25"}}},
                      FillCase{"TenHoursOrMore",
                               "08:00 am,",
                               QVariant(),
                               kPastDay,
                               {{"08:00 am", "12:00 am", "16:00"}, {"Total", "", "16:00"}}},
                      FillCase{"EmptyInTimes", "", "11:40 am,", kPastDay, {}},
                      FillCase{"NullInTimes", QVariant(), QVariant(), kPastDay, {}},
                      FillCase{"TotalOfOneHundredHours",
                               "12:00 am,12:00 am,12:00 am,12:00 am,08:00 pm,",
                               "",
                               kPastDay,
                               {{"12:00 am", "12:00 am", "24:00"},
                                {"12:00 am", "12:00 am", "24:00"},
                                {"12:00 am", "12:00 am", "24:00"},
                                {"12:00 am", "12:00 am", "24:00"},
                                {"08:00 pm", "12:00 am", "04:00"},
                                {"Total", "", "100:00"}}},
                      FillCase{"ClosedJustAfterMidnight",
                               "11:50 pm,",
                               "12:05 am,",
                               kPastDay,
                               {{"11:50 pm", "12:05 am", "00:15"}, {"Total", "", "00:15"}}},
                      FillCase{"TextAfterLastCommaAndEmptyEntries",
                               "09:00 am,,10:00 am",
                               "09:30 am,",
                               kPastDay,
                               {{"09:00 am", "09:30 am", "00:30"}, {"", "", ""}}}),
    [](const ::testing::TestParamInfo<FillCase>& info) { return info.param.name; });

TEST(StaySpans, PlaceEachStayOnItsDay) {
    // Open to now today; the midnight stay's bar ends with the day; a stay not begun yet
    // takes no room.
    const InOutList today =
        FillInOutList("11:50 am,01:00 pm,11:00 pm,", "12:05 am,", kNow.date(), kNow);
    ASSERT_EQ(today.spans.size(), 2);
    EXPECT_EQ(today.spans[0].fromSeconds, (11 * 60 + 50) * 60);
    EXPECT_EQ(today.spans[0].toSeconds, 86400);
    EXPECT_FALSE(today.spans[0].open);
    EXPECT_EQ(today.spans[0].row.length, "12:15");
    EXPECT_EQ(today.spans[1].fromSeconds, 13 * 3600);
    EXPECT_EQ(today.spans[1].toSeconds, kNow.time().msecsSinceStartOfDay() / 1000);
    EXPECT_TRUE(today.spans[1].open);
}

}  // namespace
}  // namespace tavrel
