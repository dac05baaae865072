// The rules and texts of the viewer's network commands and event handlers, without a window.
#include "viewer/remotetexts.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ravlen;
using namespace ravlen::viewer;

TEST(RemoteTexts, AssociationLineTrimsTheAddressAndEndsInOneAcceptedWord) {
    const QString line =
        associationCallText(QStringLiteral("CT_SCANNER"), QStringLiteral("  10.0.0.7 \t"),
                            QStringLiteral("RAVLEN")) +
        kAssociationAccepted + kCrLf;
    EXPECT_EQ(line, QStringLiteral("Call from CT_SCANNER (10.0.0.7) to RAVLEN ACCEPTED\r\n"));
    // AE titles are logged as the toolkit passes them, blanks included.
    EXPECT_EQ(associationCallText(QStringLiteral("A "), QString(), QStringLiteral(" B")),
              QStringLiteral("Call from A  () to  B"));
}

TEST(RemoteTexts, OnlyAbstractSyntaxesUnderTheStandardRootAreKept) {
    struct Row {
        const char *uid;
        bool kept;
    };
    const Row rows[] = {
        {"1.2.840.10008.5.1.4.1.1.2", true}, // CT Image Storage
        {"1.2.840.10008.1.1", true},         // Verification
        {"1.2.840.10008.", true},            // exactly the root: its first 14 characters match
        {"1.2.840.10008", false},            // 13 characters
        {"1.2.840.100081.5", false},         // looks alike, differs in the 14th character
        {"1.3.6.1.4.1.9590.100.1.2", false}, // private root
        {"", false},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(isStandardAbstractSyntax(QString::fromLatin1(r.uid)), r.kept) << r.uid;
    }
}

TEST(RemoteTexts, ToolkitMessagesBelowLevelTwoPopUpAndAllAreLogged) {
    EXPECT_TRUE(toolkitMessagePopsUp(1));
    EXPECT_TRUE(toolkitMessagePopsUp(0));
    EXPECT_TRUE(toolkitMessagePopsUp(-1)); // signed: a 16-bit 0xFFFF is below 2
    EXPECT_FALSE(toolkitMessagePopsUp(2));
    EXPECT_FALSE(toolkitMessagePopsUp(32767));
    EXPECT_EQ(toolkitMessageLine(-5, QStringLiteral("peer aborted")),
              QStringLiteral("-5 : peer aborted\r\n"));
}

TEST(RemoteTexts, PortsAreWholeNumbersWithinTheTcpRange) {
    EXPECT_EQ(parsePort(QStringLiteral("104")), 104);
    EXPECT_EQ(parsePort(QStringLiteral(" 11112 ")), 11112);
    EXPECT_EQ(parsePort(QStringLiteral("65535")), 65535);
    for (const char *bad : {"", "abc", "104a", "10.4", "0", "-104", "65536", "99999999999"}) {
        EXPECT_FALSE(parsePort(QString::fromLatin1(bad))) << bad;
    }
}

TEST(RemoteTexts, LogLevelsAreWholeNumbersDecimalOrHexadecimal) {
    EXPECT_EQ(parseLogLevel(QStringLiteral("63")), 63);
    EXPECT_EQ(parseLogLevel(QStringLiteral("&H3FF")), 1023);
    EXPECT_EQ(parseLogLevel(QStringLiteral("0x3f")), 63);
    EXPECT_EQ(parseLogLevel(QStringLiteral("-1")), -1);
    EXPECT_EQ(parseLogLevel(QStringLiteral("2147483647")), 2147483647);
    for (const char *bad : {"", " ", "6.5", "abc", "&H", "2147483648", "63 (3F)"}) {
        EXPECT_FALSE(parseLogLevel(QString::fromLatin1(bad))) << bad;
    }
}

TEST(RemoteTexts, SendAllStopsAtTheFirstFailure) {
    std::vector<int> attempted;
    const std::vector<int> statuses = {0, 0xA700, 0};
    const SendAllOutcome outcome = sendAll(3, [&](int position) {
        attempted.push_back(position);
        return statuses[std::size_t(position - 1)];
    });
    EXPECT_EQ(attempted, (std::vector<int>{1, 2}));
    EXPECT_EQ(outcome.sent, 1);
    EXPECT_EQ(outcome.failedAt, 2);
    EXPECT_EQ(outcome.failedStatus, 0xA700);

    const SendAllOutcome allSent = sendAll(3, [](int) { return 0; });
    EXPECT_EQ(allSent.sent, 3);
    EXPECT_EQ(allSent.failedAt, 0);

    int calls = 0;
    const SendAllOutcome none = sendAll(0, [&](int) { return ++calls; });
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(none.failedAt, 0);

    // Asked before every image; a refusal ends the walk without a failure.
    int asked = 0;
    const SendAllOutcome stopped = sendAll(
        3, [](int) { return 0; }, [&] { return ++asked < 3; });
    EXPECT_EQ(stopped.sent, 2);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.failedAt, 0);
}
