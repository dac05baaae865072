// The scout viewer's rules without a window: the called AE title check, the image list on SQLite
// and the image store's paths, and the header of its printed pages.
#include "component/clsexam.h"
#include "imagelistcases.h"
#include "scout/imagelist.h"
#include "scout/printheader.h"
#include "scout/scoutrules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ravlen;
using scout::StoreFile;

namespace {

TEST(ScoutRules, CalledTitleMustBeTheLocalOneWhenOneIsSet) {
    EXPECT_TRUE(scout::calledAeAccepted("", "ANYONE"));
    EXPECT_TRUE(scout::calledAeAccepted("RAVLEN", "RAVLEN"));
    EXPECT_TRUE(scout::calledAeAccepted("RAVLEN   ", "RAVLEN")); // blanks pad to 16 anyway
    EXPECT_FALSE(scout::calledAeAccepted("RAVLEN", "ravlen"));
    EXPECT_FALSE(scout::calledAeAccepted("RAVLEN", "RAVLEN2"));
    EXPECT_FALSE(scout::calledAeAccepted("RAVLEN", ""));
    // Only the first 16 characters of a longer local title count.
    EXPECT_TRUE(scout::calledAeAccepted("ABCDEFGHIJKLMNOPQRS", "ABCDEFGHIJKLMNOP"));
}

class ImageListSqlite : public ::testing::Test {
protected:
    QTemporaryDir dir;
    test::ImageDatabase db{"QSQLITE", "ImageTable",
                           [this](QSqlDatabase &d) { d.setDatabaseName(dir.filePath("ris.db")); }};
};

TEST_F(ImageListSqlite, Cases) {
    test::runImageListCases(db);
}

TEST_F(ImageListSqlite, Failures) {
    test::runImageListFailures(db);
}

// An image store with a file, a folder, and links leading in and out.
class ImageStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(store.filePath("ct/a")));
        touch(store.filePath("ct/a/1.dcm"));
        touch(elsewhere.filePath("secret.dcm"));
        QFile::link(elsewhere.filePath("secret.dcm"), store.filePath("ct/out.dcm"));
        QFile::link(elsewhere.path(), store.filePath("ct/outdir"));
        QFile::link(store.filePath("ct/a/1.dcm"), store.filePath("ct/in.dcm"));
    }
    static void touch(const QString &path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    StoreFile::Status status(const QString &fileDir) const {
        return scout::resolveInStore(store.path(), fileDir).status;
    }
    QTemporaryDir store;
    QTemporaryDir elsewhere;
};

TEST_F(ImageStore, OnlyFilesReallyBelowTheRootAreRead) {
    const StoreFile found = scout::resolveInStore(store.path(), "ct\\a\\1.dcm");
    EXPECT_EQ(found.status, StoreFile::Status::Inside);
    EXPECT_EQ(found.path, QFileInfo(store.filePath("ct/a/1.dcm")).canonicalFilePath());
    EXPECT_EQ(status("ct/a/../a/1.dcm"), StoreFile::Status::Inside); // stays within
    EXPECT_EQ(status("ct/in.dcm"), StoreFile::Status::Inside);       // a link that stays in

    const QString outside[] = {
        "../" + QFileInfo(elsewhere.path()).fileName() + "/secret.dcm",
        "ct/../../x.dcm",
        elsewhere.filePath("secret.dcm"), // absolute
        "//server/share/x.dcm",
        "C:\\images\\x.dcm",
        "\\\\server\\share\\x.dcm",
        "ct/out.dcm",           // a link leading out
        "ct/outdir/secret.dcm", // a linked folder leading out
    };
    for (const QString &fileDir : outside) {
        EXPECT_EQ(status(fileDir), StoreFile::Status::Outside) << fileDir.toStdString();
    }

    EXPECT_EQ(status("ct/a/2.dcm"), StoreFile::Status::Missing);
    EXPECT_EQ(status("ct/a"), StoreFile::Status::Missing); // a folder is no image
    EXPECT_EQ(status(""), StoreFile::Status::Missing);
    EXPECT_EQ(scout::resolveInStore(QString(), "ct/a/1.dcm").status, StoreFile::Status::Missing);
}

TEST(PrintHeader, TwelveTextsAtTheirPlacesWithTheExamsValues) {
    clsExam exam;
    exam.setPatientID("P-42");
    exam.setAge("053Y");
    exam.setName_Last("Sample");
    exam.setName_First("Thomas");
    exam.setName_Middle("J");
    exam.setRevenueID("ACC7");
    exam.setExamName("CT THORAX");
    exam.setStudyID("S100");
    exam.setStudyDate(QDate(2024, 1, 31));
    const auto texts = scout::printHeader(exam, QLocale(QLocale::English, QLocale::UnitedKingdom));
    const std::vector<std::pair<QPoint, QString>> expected = {
        {{250, 400}, "Patient ID: "},    {{2000, 400}, "P-42"},
        {{6250, 400}, "Age : "},         {{8000, 400}, "053Y"},
        {{250, 700}, "Patient Name: "},  {{2000, 700}, "Sample, Thomas J"},
        {{6250, 700}, "Exam: "},         {{8000, 700}, "ACC7 - CT THORAX"},
        {{250, 1000}, "Trans. No.: "},   {{2000, 1000}, "S100"},
        {{6250, 1000}, "Trans. Date: "}, {{8000, 1000}, "31/01/2024"},
    };
    ASSERT_EQ(texts.size(), expected.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].at, expected[i].first) << i;
        EXPECT_EQ(texts[i].text, expected[i].second) << i;
    }
}

TEST(PrintHeader, EmptyPartsKeepTheirSeparatorsAndAnEmptyRecordPrintsNoValues) {
    clsExam exam;
    exam.setName_Last("Sample");
    exam.setName_First("Thomas");
    exam.setExamName("CT THORAX");
    auto texts = scout::printHeader(exam);
    EXPECT_EQ(texts[5].text, "Sample, Thomas "); // the middle name's blank stays
    EXPECT_EQ(texts[7].text, " - CT THORAX");
    EXPECT_EQ(texts[11].text, ""); // no date set

    texts = scout::printHeader(clsExam());
    for (std::size_t i = 1; i < texts.size(); i += 2) {
        EXPECT_TRUE(texts[i].text.isEmpty()) << i;
    }
    EXPECT_EQ(scout::transactionDateText(QDate(2024, 1, 31),
                                         QLocale(QLocale::English, QLocale::UnitedStates)),
              "1/31/24");
}

} // namespace
