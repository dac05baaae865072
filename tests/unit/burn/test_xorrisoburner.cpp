// The burning service over the real xorriso: disc images written and read back, and each way
// a burn can fail ending in a report rather than a hang.
#include "burntestsupport.h"

#include "burn/burnconstants.h"
#include "burn/xorrisoburner.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ravlen;
using namespace ravlen::burn;

namespace {

class XorrisoBurnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::xorrisoProgram().isEmpty()) {
            GTEST_SKIP() << "xorriso is not installed";
        }
        m_folder = m_dir.filePath(QStringLiteral("SERIES2"));
        test::writeFiles(m_folder, {QStringLiteral("IM000001"), QStringLiteral("IM000002"),
                                    QStringLiteral("IM000003")});
    }

    BurnJob imageJob(const QString &iso) const {
        BurnJob job;
        job.volumeLabel = kVolumeLabel;
        job.folderName = QStringLiteral("123");
        job.files = filesOf(m_folder);
        job.recorder.name = kImageTargetName;
        job.recorder.imageFile = true;
        job.imagePath = iso;
        return job;
    }

    // Burns and waits for the end; the status, or -1 when none came in time.
    static int burnAndWait(BurnService &service, const BurnJob &job, int timeoutMs = 60000) {
        QSignalSpy finished(&service, &BurnService::finished);
        service.burn(job);
        if (!finished.wait(timeoutMs)) {
            return -1;
        }
        return finished.first().first().toInt();
    }

    QTemporaryDir m_dir;
    QString m_folder;
};

TEST_F(XorrisoBurnerTest, DiscImageHoldsTheFolderFilesUnderTheStudyFolder) {
    test::writeFiles(m_folder, {QStringLiteral("viewer.exe"), QStringLiteral("MSVBVM60.dll")});
    test::writeFiles(m_folder + QStringLiteral("/SUB"), {QStringLiteral("notburned")});
    const QString iso = m_dir.filePath(QStringLiteral("disc.iso"));
    XorrisoBurner burner;
    QSignalSpy phases(&burner, &BurnService::phase);
    QSignalSpy lines(&burner, &BurnService::logLine);
    ASSERT_EQ(burnAndWait(burner, imageJob(iso)), status::Success)
        << burner.resultText().toStdString();

    QStringList expected;
    for (const QString &name : QDir(m_folder).entryList(QDir::Files)) {
        expected << QStringLiteral("/123/") + name;
    }
    expected.sort();
    EXPECT_EQ(expected.size(), 5);
    EXPECT_EQ(test::isoFiles(iso), expected);
    EXPECT_EQ(test::isoVolumeId(iso), kVolumeLabel);
    const QString extracted = m_dir.filePath(QStringLiteral("extracted"));
    test::extractIso(iso, QStringLiteral("/123"), extracted);
    for (const QString &name : QDir(m_folder).entryList(QDir::Files)) {
        EXPECT_EQ(test::contentOf(extracted + QLatin1Char('/') + name),
                  test::contentOf(m_folder + QLatin1Char('/') + name))
            << name.toStdString();
    }
    EXPECT_FALSE(QFile::exists(iso + QStringLiteral(".part")));
    EXPECT_EQ(burner.resultText(), QStringLiteral("The disc image was written to %1.").arg(iso));
    EXPECT_TRUE(burner.trackText().startsWith(
        QStringLiteral("Volume \"RavLen_PACS\": folder \"123\" with 5 file(s)")))
        << burner.trackText().toStdString();
    EXPECT_FALSE(phases.isEmpty());
    EXPECT_FALSE(lines.isEmpty());
    EXPECT_FALSE(burner.busy());

    // A second burn to the same name replaces the image rather than adding a session to it.
    QFile::remove(m_folder + QStringLiteral("/viewer.exe"));
    ASSERT_EQ(burnAndWait(burner, imageJob(iso)), status::Success)
        << burner.resultText().toStdString();
    EXPECT_EQ(test::isoFiles(iso).size(), 4);
}

TEST_F(XorrisoBurnerTest, RecorderListEndsWithTheDiscImageTarget) {
    XorrisoBurner burner;
    QSignalSpy listed(&burner, &BurnService::recordersListed);
    burner.listRecorders();
    ASSERT_TRUE(listed.wait(60000));
    const auto recorders = listed.first().at(0).value<QList<Recorder>>();
    ASSERT_FALSE(recorders.isEmpty());
    EXPECT_TRUE(recorders.last().imageFile);
    EXPECT_EQ(recorders.last().name, kImageTargetName);
    if (recorders.size() == 1) { // no drive on this machine: said so
        EXPECT_TRUE(listed.first().at(1).toString().startsWith(
            QStringLiteral("No disc recorder was found")));
    }
}

TEST_F(XorrisoBurnerTest, MissingProgramGivesAnEmptyListAndAReport) {
    XorrisoBurner burner(m_dir.filePath(QStringLiteral("no-xorriso-here")));
    QSignalSpy listed(&burner, &BurnService::recordersListed);
    burner.listRecorders();
    ASSERT_TRUE(listed.wait(5000));
    EXPECT_TRUE(listed.first().at(0).value<QList<Recorder>>().isEmpty());
    EXPECT_TRUE(listed.first().at(1).toString().contains(QStringLiteral("xorriso was not found")));

    EXPECT_EQ(burnAndWait(burner, imageJob(m_dir.filePath(QStringLiteral("x.iso"))), 5000),
              status::NotStarted);
    EXPECT_TRUE(burner.resultText().contains(QStringLiteral("install the xorriso package")));
}

TEST_F(XorrisoBurnerTest, UnwritableOrFullTargetFailsWithNothingLeftBehind) {
    XorrisoBurner burner;
    // Where even root may not create files.
    if (!QFile(QStringLiteral("/sys/ravlen-probe")).open(QIODevice::WriteOnly)) {
        const int status = burnAndWait(burner, imageJob(QStringLiteral("/sys/disc.iso")));
        EXPECT_GT(status, 0);
        EXPECT_LT(status, 256);
        EXPECT_TRUE(burner.resultText().contains(QStringLiteral("Permission denied")))
            << burner.resultText().toStdString();
        EXPECT_FALSE(QFile::exists(QStringLiteral("/sys/disc.iso")));
    }

    test::writeFiles(m_folder, {QStringLiteral("IM000004")}, 3 * 1024 * 1024);
    const QString iso = m_dir.filePath(QStringLiteral("full.iso"));
    QSignalSpy finished(&burner, &BurnService::finished);
    {
        const test::FileSizeLimit limit(1024 * 1024); // xorriso inherits it as it starts
        burner.burn(imageJob(iso));
    }
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_NE(finished.first().first().toInt(), status::Success);
    EXPECT_TRUE(burner.resultText().contains(QStringLiteral("File too large")))
        << burner.resultText().toStdString();
    EXPECT_FALSE(QFile::exists(iso));
    EXPECT_FALSE(QFile::exists(iso + QStringLiteral(".part")));
}

TEST_F(XorrisoBurnerTest, AbortEndsTheBurnAndRemovesTheImage) {
    test::writeSparseFile(m_folder + QStringLiteral("/BIG"), qint64(2) << 30);
    const QString iso = m_dir.filePath(QStringLiteral("aborted.iso"));
    XorrisoBurner burner;
    QSignalSpy finished(&burner, &BurnService::finished);
    QSignalSpy progress(&burner, &BurnService::progress);
    burner.burn(imageJob(iso));
    EXPECT_TRUE(burner.busy());
    progress.wait(10000); // aborting before the first progress line works as well
    QElapsedTimer clock;
    clock.start();
    burner.abort();
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(finished.first().first().toInt(), status::Aborted);
    EXPECT_EQ(burner.resultText(), QStringLiteral("The burn was aborted."));
    EXPECT_FALSE(QFile::exists(iso));
    EXPECT_FALSE(QFile::exists(iso + QStringLiteral(".part")));
}

TEST_F(XorrisoBurnerTest, ASilentProgramIsStoppedWithinItsBound) {
    // Stands in for a burner that hangs: it prints nothing and ignores the polite stop.
    const QString hung = m_dir.filePath(QStringLiteral("hung"));
    {
        QFile script(hung);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntrap '' TERM\nsleep 60 &\nwait\n");
    }
    QFile::setPermissions(hung, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    XorrisoBurner burner(hung);
    burner.setTimeouts(1000, 300, 300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(burnAndWait(burner, imageJob(m_dir.filePath(QStringLiteral("h.iso"))), 10000),
              status::Stalled);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(burner.busy());
}

} // namespace
