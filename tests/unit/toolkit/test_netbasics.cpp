// The network side's plain parts: the log switch over DCMTK's logger, the answer and key
// containers, the status words, and the process set-up every association relies on.
#include "core/errors.h"
#include "toolkit/dicomquery.h"
#include "toolkit/globalsettings.h"
#include "toolkit/netlog.h"
#include "toolkit/netops.h"
#include "toolkit/startup.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ravlen;
using namespace ravlen::toolkit;

TEST(NetLog, LevelMaskMapsToLoggerLevels) {
    const std::pair<int, const char *> rows[] = {
        {0, "OFF"},   {-5, "OFF"},   {1, "ERROR"},   {7, "WARN"},     {8, "INFO"},
        {63, "INFO"}, {64, "DEBUG"}, {511, "DEBUG"}, {1023, "TRACE"}, {0x7FFFFFFF, "TRACE"},
    };
    for (const auto &[mask, name] : rows) {
        EXPECT_EQ(logLevelName(mask).toStdString(), name) << mask;
    }
}

TEST(NetLog, LocationBecomesAFileInThatFolder) {
    EXPECT_EQ(logFilePath(QStringLiteral("/var/log/pacs")),
              QStringLiteral("/var/log/pacs/ravlenpacs-dicom.log"));
    EXPECT_EQ(logFilePath(QStringLiteral("/var/log/pacs/")),
              QStringLiteral("/var/log/pacs/ravlenpacs-dicom.log"));
    // The Windows default answer and an empty answer stand for the home folder.
    const QString home = QDir(QDir::homePath()).filePath(QStringLiteral("ravlenpacs-dicom.log"));
    EXPECT_EQ(logFilePath(QStringLiteral("C:\\")), home);
    EXPECT_EQ(logFilePath(QString()), home);
}

// The settings drive DCMTK's own logger: on, the file fills with its lines; off, it stays.
TEST(NetLog, SettingsSwitchDcmtkLoggingIntoTheFile) {
    QTemporaryDir dir;
    const QString file = logFilePath(dir.path());
    GlobalSettings::setText(QStringLiteral("LogLocation"), dir.path());
    GlobalSettings::setInt(QStringLiteral("LogLevel"), 1023);
    GlobalSettings::setInt(QStringLiteral("Log"), -1);
    // A refused connection on loopback makes DCMTK log without any peer.
    verifyEcho(QStringLiteral("127.0.0.1"), 1, QStringLiteral("A"), QStringLiteral("B"));
    const qint64 logged = QFileInfo(file).size();
    EXPECT_GT(logged, 0);

    GlobalSettings::setInt(QStringLiteral("Log"), 0);
    verifyEcho(QStringLiteral("127.0.0.1"), 1, QStringLiteral("A"), QStringLiteral("B"));
    EXPECT_EQ(QFileInfo(file).size(), logged);
}

TEST(NetBasics, FindResultTellsAbsentFromEmpty) {
    FindResult r;
    r.set(0x0008, 0x0020, QString());
    r.set(0x0010, 0x0010, QStringLiteral("Doe^Jane"));
    EXPECT_TRUE(r.has(0x0008, 0x0020));
    EXPECT_TRUE(r.text(0x0008, 0x0020).isEmpty());
    EXPECT_FALSE(r.has(0x0020, 0x0010));
    EXPECT_TRUE(r.text(0x0020, 0x0010).isEmpty());
    EXPECT_EQ(r.patientName(), QStringLiteral("Doe^Jane"));
    // Group and element are not interchangeable.
    EXPECT_FALSE(r.has(0x0010, 0x0008));
}

TEST(NetBasics, QueryKeysStayUntilChanged) {
    DicomQuery q;
    q.setKey(0x0010, 0x0020, QStringLiteral("PID1"));
    q.setKey(0x0010, 0x0010, QString());
    EXPECT_TRUE(q.hasKey(0x0010, 0x0010)); // an empty key is a universal match, not absent
    q.setKey(0x0010, 0x0020, QStringLiteral("PID2"));
    EXPECT_EQ(q.key(0x0010, 0x0020), QStringLiteral("PID2"));
    EXPECT_EQ(q.keys().size(), 2u);
    q.removeKey(0x0010, 0x0010);
    EXPECT_FALSE(q.hasKey(0x0010, 0x0010));
}

TEST(NetBasics, StatusWordsSeparateOurFailuresFromPeerStatuses) {
    EXPECT_EQ(statusText(0), QStringLiteral("success"));
    EXPECT_TRUE(statusText(errc::NetworkRefused, QStringLiteral("pacs"), 104)
                    .endsWith(QLatin1String("(pacs:104)")));
    EXPECT_TRUE(statusText(0xA700).startsWith(QLatin1String("peer status 0xA700")));
    EXPECT_TRUE(statusText(0x0110).startsWith(QLatin1String("peer status 0x0110")));
    EXPECT_FALSE(statusText(errc::NoContext).contains(QLatin1String("peer status")));
}

TEST(NetBasics, NagleIsOffForEveryAssociation) {
    ensureToolkit();
    const char *value = std::getenv("TCP_NODELAY");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "1");
}
