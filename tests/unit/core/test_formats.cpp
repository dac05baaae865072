#include "core/errors.h"
#include "core/formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ravlen;

namespace {

struct FormatRow {
    double value;
    const char *expected;
};

void expectRows(QString (*format)(double), std::initializer_list<FormatRow> rows) {
    for (const FormatRow &r : rows) {
        EXPECT_EQ(format(r.value), QString::fromLatin1(r.expected)) << "value " << r.value;
    }
}

} // namespace

TEST(Formats, HashesTwoDecimalsHasNoLeadingZeroAndAlwaysAPoint) {
    expectRows(fmt::hashes2, {{12, "12."},
                              {0.456, ".46"},
                              {103.456, "103.46"},
                              {0, "."},
                              {-0.456, "-.46"},
                              {2.675, "2.68"},
                              {0.125, ".13"},
                              {99.999, "100."},
                              {1.5, "1.5"}});
}

TEST(Formats, HashDot00KeepsTwoDecimals) {
    expectRows(fmt::hashDot00, {{0.5, ".50"},
                                {-12.5, "-12.50"},
                                {0, ".00"},
                                {1234.5, "1234.50"},
                                {-0.001, ".00"},
                                {0.005, ".01"},
                                {-45.678, "-45.68"}});
}

TEST(Formats, ZeroDot00HasALeadingZero) {
    expectRows(fmt::zeroDot00, {{5, "5.00"},
                                {0, "0.00"},
                                {-0.5, "-0.50"},
                                {2.5, "2.50"},
                                {0.994, "0.99"},
                                {0.995, "1.00"},
                                {1e6, "1000000.00"}});
}

TEST(Formats, ZeroZeroPadsToTwoDigits) {
    expectRows(fmt::zero2, {{7, "07"}, {123, "123"}, {0, "00"}, {-7, "-07"}, {7.5, "08"}});
    EXPECT_EQ(fmt::zero2(QStringLiteral("7")), "07");
    EXPECT_EQ(fmt::zero2(QStringLiteral("12")), "12");
    EXPECT_EQ(fmt::zero2(QStringLiteral("A1")), "A1") << "non-numeric series text stays";
    EXPECT_EQ(fmt::zero2(QString()), QString());
}

TEST(Formats, RoundingHalvesGoToEven) {
    const std::pair<double, double> rows[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},    {3.5, 4},
                                              {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {2.5001, 3}};
    for (auto [in, out] : rows) {
        EXPECT_EQ(fmt::roundHalfEven(in), out) << in;
    }
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(12.345, 2), 12.34);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(12.355, 2), 12.36);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(2.675, 2), 2.68);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(-0.125, 2), -0.12);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(45.00001, 2), 45.0);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(0.004, 2), 0.0);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(0.005, 2), 0.0);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(0.0051, 2), 0.01);
    EXPECT_DOUBLE_EQ(fmt::roundHalfEven(99.995, 2), 100.0);
}

TEST(Formats, IntegerConversionsRoundHalfEvenAndRejectOverflow) {
    EXPECT_EQ(fmt::toInt32(2.5), 2);
    EXPECT_EQ(fmt::toInt32(3.5), 4);
    EXPECT_EQ(fmt::toInt32(-1199.5), -1200);
    EXPECT_EQ(fmt::toInt16(32767.4), 32767);
    EXPECT_EQ(fmt::toInt16(-32768.5), -32768);
    EXPECT_THROW(fmt::toInt16(32767.5), ToolkitError);
    EXPECT_THROW(fmt::toInt16(40000), ToolkitError);
    EXPECT_THROW(fmt::toInt32(3e9), ToolkitError);
    EXPECT_THROW(fmt::toInt32(std::nan("")), ToolkitError);
    try {
        fmt::toInt32(std::numeric_limits<double>::infinity());
        FAIL();
    } catch (const ToolkitError &e) {
        EXPECT_EQ(e.number(), errc::BadArgument);
    }
}

TEST(Formats, LeadingNumberTakesWhatBeginsTheText) {
    const std::pair<const char *, double> rows[] = {
        {"", 0},     {"abc", 0},       {"12abc", 12}, {"  3.5x", 3.5}, {"-40", -40}, {"+7", 7},
        {".5", 0.5}, {"1e3", 1000},    {"1e", 1},     {"1e+", 1},      {"250", 250}, {"\t9", 9},
        {"-", 0},    {"9500ms", 9500}, {"0x10", 0},   {"1.2.3", 1.2},  {"  ", 0},    {"1e999", 0},
    };
    for (auto [text, value] : rows) {
        EXPECT_DOUBLE_EQ(fmt::leadingNumber(QString::fromLatin1(text)), value) << text;
    }
}

TEST(Formats, GeneralConversionIsShortest) {
    const std::pair<double, const char *> rows[] = {
        {0, "0"},
        {12, "12"},
        {0.5, "0.5"},
        {-0.5, "-0.5"},
        {1.25, "1.25"},
        {1e15, "1E+15"},
        {123456789012345, "123456789012345"},
        {1.5e-7, "1.5E-07"},
        {0.0001, "0.0001"},
        {1.0 / 3.0, "0.333333333333333"},
    };
    for (auto [value, text] : rows) {
        EXPECT_EQ(fmt::general(value), QString::fromLatin1(text)) << value;
    }
    EXPECT_EQ(fmt::generalSingle(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(fmt::generalSingle(1234.5f), "1234.5");
    EXPECT_EQ(fmt::generalSingle(12345678.0f), "1.234568E+07");
}

TEST(Formats, ShortDate) {
    EXPECT_EQ(fmt::shortDate(QDate(2026, 3, 7)), "2026-03-07");
    EXPECT_EQ(fmt::shortDate(QDate()), QString());
}
