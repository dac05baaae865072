// The burn window's message log, and how xorriso's output and folders become burn events and
// data tracks.
#include "burntestsupport.h"

#include "burn/burnlog.h"
#include "burn/burnservice.h"
#include "burn/xorrisooutput.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ravlen;
using namespace ravlen::burn;

namespace {

TEST(BurnLog, FinishOfASuccessfulAndAFailedBurn) {
    BurnLog ok;
    ok.add(QStringLiteral("started"));
    ok.addFinish(QStringLiteral("first"), QStringLiteral("second"), 0);
    EXPECT_EQ(ok.text(),
              QStringLiteral("started\r\n\r\nfirst\r\nsecond\r\nBurn finished successfully!\r\n"));

    BurnLog failed;
    failed.addFinish(QString(), QString(), 3);
    EXPECT_EQ(failed.text(), QStringLiteral("\r\n\r\n\r\nBurn finished NOT (3)successfully!\r\n"));
    EXPECT_EQ(BurnLog::finishLine(status::Aborted),
              QStringLiteral("Burn finished NOT (257)successfully!"));
}

TEST(XorrisoOutput, LinesBecomeEvents) {
    using K = XorrisoLine::Kind;
    struct Row {
        const char *line;
        K kind;
        int percent;
        const char *text;
    };
    const Row rows[] = {
        {"I:1: xorriso : UPDATE : Writing:      16384s   14.0%   fifo 100%  buf  50%", K::Progress,
         14, nullptr},
        {"I:1: xorriso : UPDATE : Writing:      16384s   99.9%   fifo 100%", K::Progress, 99,
         nullptr},
        {"I:1: xorriso : UPDATE :       4 files added in 1 seconds", K::Ignore, -1, nullptr},
        {"I:1: Added to ISO image: file '/123/IM000001'='/tmp/x/IM000001'", K::Ignore, -1, nullptr},
        {"I:1: xorriso : WARNING : -volid text does not comply to ISO 9660 / ECMA 119 rules",
         K::Ignore, -1, nullptr},
        {"I:1: xorriso : NOTE : -return_with SORRY 32 triggered by problem severity SORRY",
         K::Ignore, -1, nullptr},
        {"I:1: xorriso : aborting : -abort_on 'FAILURE' encountered 'FAILURE'", K::Ignore, -1,
         nullptr},
        {"I:1: ", K::Ignore, -1, nullptr},
        {"I:1: libburn : SORRY : Failed to open device (a pseudo-drive) : Permission denied",
         K::Problem, -1,
         "libburn : SORRY : Failed to open device (a pseudo-drive) : Permission denied"},
        {"I:1: xorriso : FAILURE : libburn indicates failure with writing.", K::Problem, -1,
         nullptr},
        {"I:1: Writing to 'stdio:/tmp/x.iso.part' completed successfully.", K::Success, -1,
         "Writing to 'stdio:/tmp/x.iso.part' completed successfully."},
        {"I:1: Media current: is not present", K::NoMedia, -1, nullptr},
        {"I:1: Media status : is not present", K::NoMedia, -1, nullptr},
        {"I:1: Media current: CD-RW", K::MediaType, -1, nullptr},
        {"I:1: Media status : is written , is closed", K::ClosedMedia, -1, nullptr},
        {"I:1: Media status : is blank", K::Log, -1, nullptr},
        {"I:1: ISO image produced: 944 sectors", K::Log, -1, "ISO image produced: 944 sectors"},
        {"xorriso 1.5.4 : RockRidge filesystem manipulator, libburnia project.", K::Log, -1,
         nullptr},
    };
    for (const Row &row : rows) {
        const XorrisoLine l = classifyXorrisoLine(QString::fromLatin1(row.line));
        EXPECT_EQ(l.kind, row.kind) << row.line;
        EXPECT_EQ(l.percent, row.percent) << row.line;
        if (row.text) {
            EXPECT_EQ(l.text, QString::fromLatin1(row.text));
        }
    }
}

TEST(XorrisoOutput, DriveListGivesNamedRecorders) {
    const QString listing = QStringLiteral(
        "I:1: Beginning to scan for devices ...\n"
        "I:1: Full drive scan done.\n"
        "R:1: -----------------------------------------------------------------------------\n"
        "R:1: 0  -dev '/dev/sr0' rwrw-- :  'HL-DT-ST' 'DVDRAM GH24NSD1' \n"
        "R:1: 1  -dev '/dev/sr1' rwrw-- :  '' '' \n"
        "R:1: -----------------------------------------------------------------------------\n");
    const QList<Recorder> drives = parseDrives(listing);
    ASSERT_EQ(drives.size(), 2);
    EXPECT_EQ(drives[0].name, QStringLiteral("HL-DT-ST DVDRAM GH24NSD1 (/dev/sr0)"));
    EXPECT_EQ(drives[0].address, QStringLiteral("/dev/sr0"));
    EXPECT_EQ(drives[1].name, QStringLiteral("/dev/sr1"));
    EXPECT_FALSE(drives[0].imageFile);
    EXPECT_TRUE(parseDrives(QStringLiteral("I:1: xorriso : SORRY : No drives found\n")).isEmpty());
}

TEST(BurnJob, OnlyTheFolderOwnFilesAreBurned) {
    QTemporaryDir dir;
    test::writeFiles(dir.path(), {QStringLiteral("IM000001"), QStringLiteral("viewer.exe")});
    test::writeFiles(dir.filePath(QStringLiteral("SUB")), {QStringLiteral("inner")});
    test::writeFiles(dir.path(), {QStringLiteral(".ravlen-1234.part")});
    QFile::link(QStringLiteral("/etc/hostname"), dir.filePath(QStringLiteral("link")));
    QStringList names;
    for (const TrackFile &f : filesOf(dir.path())) {
        names << f.name;
        EXPECT_EQ(f.sourcePath, dir.filePath(f.name));
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("IM000001"), QStringLiteral("viewer.exe")}));
    EXPECT_TRUE(filesOf(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

TEST(BurnJob, DiscFolderNamesStayOneFolder) {
    EXPECT_EQ(discFolderName(QStringLiteral("123")), QStringLiteral("123"));
    EXPECT_EQ(discFolderName(QStringLiteral("../../x")), QStringLiteral(".._.._x"));
    EXPECT_EQ(discFolderName(QStringLiteral("a\\b\nc")), QStringLiteral("a_b_c"));
    for (const char *name : {"", ".", ".."}) {
        EXPECT_EQ(discFolderName(QString::fromLatin1(name)), QStringLiteral("STUDY")) << name;
    }
}

} // namespace
