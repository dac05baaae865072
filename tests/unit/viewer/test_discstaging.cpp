// Staging a patient disc: names from image data, the folders and files of a run, the disc
// viewer's files, the DICOMDIR and README, and hostile values that must stay in the staging
// area.
#include "support/dicomtestdata.h"

#include "core/errors.h"
#include "toolkit/image.h"
#include "viewer/discstaging.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace ravlen;
using namespace ravlen::testdata;
using ravlen::toolkit::Image;

void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

using Images = std::vector<std::shared_ptr<Image>>;

// A small CT image of study `studyId` and series `series`; texts go in as raw bytes, so
// hostile values reach the data set unchanged.
std::shared_ptr<Image>
ctImage(const QString &name, const QString &studyId, const QString &series,
        toolkit::TransferSyntax syntax = toolkit::TransferSyntax::ExplicitLittle) {
    DataSetBuilder b = baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.2"),
                                   QStringLiteral("1.2.3.4.5.6.") + QString::number(qHash(name)));
    b.set(0x0008, 0x0060, QStringLiteral("CT"));
    b.set(0x0008, 0x0020, QStringLiteral("20240131"));
    b.setBytes(0x0020, 0x0010, QStringLiteral("SH"), studyId.toUtf8());
    b.setBytes(0x0020, 0x0011, QStringLiteral("IS"), series.toUtf8());
    b.set(0x0028, 0x1052, QStringLiteral("-1024"));
    b.set(0x0028, 0x1053, QStringLiteral("1"));
    std::vector<int> values;
    for (int i = 0; i < 16 * 16; ++i) {
        values.push_back(1024 + (i * 37) % 1500);
    }
    b.setPixels(monochrome(16, 16, 1, 16, 16, true, values));
    return Image::fromBytes(b.toBytes(syntax), name);
}

// An image that loads but whose compressed pixels cannot be decoded.
std::shared_ptr<Image> corruptImage(const QString &name) {
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(16, 16, 1, 8, 8, false, rampValues(16, 16, 1, 8, false)));
    QByteArray bytes = b.toBytes(toolkit::TransferSyntax::JpegBaseline);
    const qsizetype soi = bytes.indexOf(QByteArray("\xFF\xD8\xFF", 3));
    for (qsizetype i = soi + 2; i < soi + 40; ++i) {
        bytes[i] = '\0';
    }
    return Image::fromBytes(bytes, name);
}

QStringList filesIn(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class Staging : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.filePath(QStringLiteral("root/burntemp"));
        viewerSource = dir.filePath(QStringLiteral("lib/viewer"));
        QDir().mkpath(viewerSource);
        // five of the eight program files; MSHFLXGD.OCX, scrrun.dll and VB6.OLB are missing
        for (const char *name :
             {"viewer.exe", "ezDICOMax.ocx", "MSCOMCTL.OCX", "MSVBVM60.dll", "STDOLE2.TLB"}) {
            QFile f(QDir(viewerSource).filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(name);
        }
    }
    viewer::StagingReport stage(const Images &images, const QString &studyId, int current = 1) {
        return viewer::DiscStaging(root, viewerSource).stage(images, studyId, current);
    }
    QString folder(const QString &relative) const { return root + QLatin1Char('/') + relative; }

    QTemporaryDir dir;
    QString root;
    QString viewerSource;
};

TEST(StagingNames, SafeNamesKeepToOneHarmlessFolder) {
    struct Row {
        const char *text;
        const char *safe;
    };
    const Row rows[] = {
        {"123", "123"},
        {"../../x", "____x"},
        {"..", "_"},
        {".", "X"},
        {"", "X"},
        {"/etc", "_etc"},
        {"a\\b", "a_b"},
        {"a\x01\x1F\x7F"
         "b",
         "a___b"},
        {"line\r\nbreak", "line__break"},
        {".hidden", "hidden"},
        {"trailing. ", "trailing"},
        {"a...b", "a_b"},
        {"CON", "_CON"},
        {"nul.txt", "_nul.txt"},
        {"a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(viewer::safeName(QString::fromLatin1(r.text), QStringLiteral("X")),
                  QString::fromLatin1(r.safe))
            << r.text;
    }
    // Long names are shortened and stay apart.
    const QString a = viewer::safeName(QString(300, QLatin1Char('A')), QStringLiteral("X"));
    const QString b =
        viewer::safeName(QString(299, QLatin1Char('A')) + QLatin1Char('B'), QStringLiteral("X"));
    EXPECT_EQ(a.size(), 64);
    EXPECT_NE(a, b);
    // never half a character
    const QString faces =
        viewer::safeName(QString::fromUtf8("😀").repeated(40), QStringLiteral("X"));
    EXPECT_LE(faces.size(), 64);
    EXPECT_EQ(QString::fromUtf8(faces.toUtf8()), faces);
    EXPECT_FALSE(faces.contains(QChar(QChar::ReplacementCharacter)));
}

TEST_F(Staging, ThreeImagesOfOneSeriesWithTheViewerAndAnIndex) {
    const Images images = {ctImage("a", "123", "2"), ctImage("b", "123", "2"),
                           ctImage("c", "123", "2")};
    const viewer::StagingReport r = stage(images, QStringLiteral("123"), 2);
    EXPECT_EQ(r.written, 3);
    EXPECT_TRUE(r.failures.isEmpty()) << r.failures.join('\n').toStdString();
    EXPECT_EQ(r.missingViewerFiles,
              (QStringList{QStringLiteral("MSHFLXGD.OCX"), QStringLiteral("scrrun.dll"),
                           QStringLiteral("VB6.OLB")}));
    const QString series = folder(QStringLiteral("123/SERIES2"));
    EXPECT_EQ(r.burnFolder, QFileInfo(series).canonicalFilePath() + QLatin1Char('/'));
    EXPECT_EQ(r.discFolderName, QStringLiteral("123"));
    EXPECT_EQ(filesIn(series),
              (QStringList{"DICOMDIR", "IM000001", "IM000002", "IM000003", "MSCOMCTL.OCX",
                           "MSVBVM60.dll", "README.TXT", "SERIES02-01", "SERIES02-02",
                           "SERIES02-03", "STDOLE2.TLB", "ezDICOMax.ocx", "viewer.exe"}));
    const auto back = Image::fromFile(series + QStringLiteral("/SERIES02-02"));
    // The index's name is the same file, not a second copy.
    EXPECT_EQ(QFileInfo(series + QStringLiteral("/IM000002")).size(),
              QFileInfo(series + QStringLiteral("/SERIES02-02")).size());
    struct stat a {};
    struct stat b {};
    ASSERT_EQ(::stat(QFile::encodeName(series + QStringLiteral("/IM000002")).constData(), &a), 0);
    ASSERT_EQ(::stat(QFile::encodeName(series + QStringLiteral("/SERIES02-02")).constData(), &b),
              0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(back->transferSyntaxUid(), QStringLiteral("1.2.840.10008.1.2.4.51"));
    EXPECT_EQ(back->rows(), 16);

    QFile readme(series + QStringLiteral("/README.TXT"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Images:   3 (series 2)\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("viewer.exe")));

    const QString message = viewer::stagingMessage(r, viewerSource);
    EXPECT_TRUE(message.contains(QStringLiteral("MSHFLXGD.OCX, scrrun.dll, VB6.OLB")))
        << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("nothing to burn")));
}

TEST_F(Staging, InterleavedSeriesKeepTheirSetPositions) {
    const Images images = {ctImage("a", "77", "1"), ctImage("b", "77", "3"),
                           ctImage("c", "77", "1"), ctImage("d", "77", "3")};
    const viewer::StagingReport r = stage(images, QStringLiteral("77"), 3);
    EXPECT_EQ(filesIn(folder(QStringLiteral("77/SERIES1"))),
              (QStringList{"DICOMDIR", "IM000001", "IM000003", "README.TXT", "SERIES01-01",
                           "SERIES01-03"}));
    // the program files go with the last image, series 3
    const QStringList three = filesIn(folder(QStringLiteral("77/SERIES3")));
    EXPECT_TRUE(three.contains(QStringLiteral("SERIES03-02")));
    EXPECT_TRUE(three.contains(QStringLiteral("SERIES03-04")));
    EXPECT_TRUE(three.contains(QStringLiteral("viewer.exe")));
    // the current image (3) is of series 1: that folder is burned
    EXPECT_TRUE(r.burnFolder.endsWith(QStringLiteral("/77/SERIES1/")));
}

TEST_F(Staging, ARunStartsItsFoldersAfreshAndLeavesOtherStudies) {
    stage({ctImage("a", "5", "1"), ctImage("b", "5", "1"), ctImage("c", "5", "1")},
          QStringLiteral("5"));
    stage({ctImage("x", "9", "1")}, QStringLiteral("9"));
    // the same study ID again, now with one image (another patient, say)
    const viewer::StagingReport r = stage({ctImage("z", "5", "1")}, QStringLiteral("5"));
    const QStringList five = filesIn(folder(QStringLiteral("5/SERIES1")));
    EXPECT_TRUE(five.contains(QStringLiteral("SERIES01-01")));
    EXPECT_FALSE(five.contains(QStringLiteral("SERIES01-02")));
    EXPECT_FALSE(five.contains(QStringLiteral("IM000003")));
    EXPECT_TRUE(five.contains(QStringLiteral("viewer.exe")));
    EXPECT_TRUE(filesIn(folder(QStringLiteral("9/SERIES1"))).contains(QStringLiteral("IM000001")));
    EXPECT_EQ(r.written, 1);
}

TEST_F(Staging, ACorruptImageIsReportedByNameAndTheRestStaged) {
    const Images images = {ctImage("good1", "123", "2"), corruptImage("broken.dcm"),
                           ctImage("good3", "123", "2")};
    const viewer::StagingReport r = stage(images, QStringLiteral("123"));
    EXPECT_EQ(r.written, 2);
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_TRUE(r.failures[0].startsWith(QStringLiteral("Image 2 (broken.dcm): ")))
        << r.failures[0].toStdString();
    const QStringList series = filesIn(folder(QStringLiteral("123/SERIES2")));
    EXPECT_TRUE(series.contains(QStringLiteral("SERIES02-01")));
    EXPECT_TRUE(series.contains(QStringLiteral("SERIES02-03")));
    EXPECT_FALSE(series.contains(QStringLiteral("SERIES02-02")));
    EXPECT_FALSE(series.contains(QStringLiteral("IM000002")));
    EXPECT_FALSE(r.burnFolder.isEmpty());
    EXPECT_TRUE(viewer::stagingMessage(r, viewerSource).contains(QStringLiteral("broken.dcm")));
}

TEST_F(Staging, NothingToBurnWhenTheCurrentSeriesHasNoImage) {
    const viewer::StagingReport r =
        stage({corruptImage("only.dcm"), ctImage("b", "1", "4")}, QStringLiteral("1"), 1);
    EXPECT_TRUE(r.burnFolder.isEmpty());
    EXPECT_TRUE(
        viewer::stagingMessage(r, viewerSource).contains(QStringLiteral("nothing to burn")));
    EXPECT_TRUE(stage({}, QStringLiteral("1")).burnFolder.isEmpty());
}

TEST_F(Staging, CancelStopsBetweenImages) {
    const Images images = {ctImage("a", "1", "1"), ctImage("b", "1", "1"), ctImage("c", "1", "1")};
    const viewer::StagingReport r =
        viewer::DiscStaging(root, viewerSource).stage(images, QStringLiteral("1"), 1, [](int done) {
            return done < 2;
        });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.written, 2);
    EXPECT_TRUE(r.burnFolder.isEmpty());
}

// Every file below `top`, as canonical paths.
QStringList everyFileBelow(const QString &top) {
    QStringList files;
    QDirIterator it(top, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << QFileInfo(it.next()).absoluteFilePath();
    }
    return files;
}

TEST(StagingHostileValues, NothingLandsOutsideTheStagingRoot) {
    QTemporaryDir area;
    const QString home = area.filePath(QStringLiteral("deep/down/data"));
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.toUtf8());
    const QString root = viewer::stagingRoot();
    if (saved.isEmpty()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        qputenv("XDG_DATA_HOME", saved);
    }
    ASSERT_TRUE(root.startsWith(home + QLatin1Char('/'))) << root.toStdString();
    ASSERT_TRUE(root.endsWith(QStringLiteral("/burntemp/")));

    const QStringList hostile = {
        QStringLiteral("../../x"),
        QStringLiteral(".."),
        QStringLiteral("."),
        QStringLiteral("/etc"),
        QStringLiteral("/"),
        QStringLiteral("\\"),
        QStringLiteral("..\\..\\x"),
        QStringLiteral("a/../../b"),
        QStringLiteral("\x01\x02"),
        QStringLiteral("\n"),
        QStringLiteral("\r\nX"),
        QStringLiteral("\t"),
        QString(300, QLatin1Char('A')),
        QString(300, QChar(0xE9)),
        QString(),
        QStringLiteral(" "),
        QStringLiteral("..."),
        QStringLiteral(".hidden"),
        QStringLiteral("x/"),
        QStringLiteral("CON"),
        QStringLiteral("nul.txt"),
        QStringLiteral("a:b"),
        QStringLiteral("*"),
        QStringLiteral("?"),
        QStringLiteral("<>"),
        QStringLiteral("|"),
        QStringLiteral("\""),
        QStringLiteral("~"),
        QStringLiteral("~/x"),
        QStringLiteral("$HOME"),
        QStringLiteral("%TEMP%"),
        QStringLiteral("x") + QChar(0) + QStringLiteral("y"),
        QString::fromUtf8("😀").repeated(40),
        QStringLiteral("a") + QChar(0x202E) + QStringLiteral("b"),
        QStringLiteral("-rf"),
        QStringLiteral("--"),
        QStringLiteral("/../../../../tmp"),
        QStringLiteral("../") + QString(250, QLatin1Char('.')),
        QStringLiteral("./."),
        QStringLiteral("SERIES/../.."),
    };
    ASSERT_EQ(hostile.size(), 40);
    // a link planted in the staging area must not lead writes outside either
    const QString outside = area.filePath(QStringLiteral("outside"));
    QDir().mkpath(outside);
    QDir().mkpath(root);
    QFile::link(outside, root + QStringLiteral("LINKED"));

    const QString viewerSource = area.filePath(QStringLiteral("deep/viewer"));
    QDir().mkpath(viewerSource);
    QFile program(viewerSource + QStringLiteral("/viewer.exe"));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write("x");
    program.close();

    const viewer::DiscStaging staging(root, viewerSource);
    int burnable = 0;
    for (qsizetype i = 0; i < hostile.size(); ++i) {
        const QString &study = hostile.at(i);
        const QString &series = hostile.at(hostile.size() - 1 - i);
        const viewer::StagingReport r =
            staging.stage({ctImage(QStringLiteral("h"), study, series)}, study, 1);
        burnable += r.burnFolder.isEmpty() ? 0 : 1;
        if (!r.burnFolder.isEmpty()) {
            EXPECT_TRUE(r.burnFolder.startsWith(QFileInfo(root).canonicalFilePath() + '/'));
            EXPECT_FALSE(r.discFolderName.contains(QLatin1Char('/')));
        }
    }
    const viewer::StagingReport linked =
        staging.stage({ctImage(QStringLiteral("l"), QStringLiteral("LINKED"), QStringLiteral("1"))},
                      QStringLiteral("LINKED"), 1);
    EXPECT_EQ(linked.written, 0);
    EXPECT_TRUE(linked.burnFolder.isEmpty());

    EXPECT_EQ(burnable, 40);
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath() + QLatin1Char('/');
    int staged = 0;
    for (const QString &file : everyFileBelow(area.path())) {
        if (file.startsWith(viewerSource + QLatin1Char('/'))) {
            continue; // the source of the program files
        }
        EXPECT_TRUE(file.startsWith(canonicalRoot)) << file.toStdString();
        staged += QFileInfo(file).fileName() == QLatin1String("IM000001") ? 1 : 0;
    }
    EXPECT_GE(staged, 1);
    EXPECT_TRUE(everyFileBelow(outside).isEmpty());
}

TEST(DiscReadme, SaysWhatTheDiscHoldsOnLinesOfItsOwn) {
    viewer::DiscFacts facts;
    facts.patientName = QStringLiteral("Doe, John\r\nInjected: line");
    facts.patientId = QStringLiteral("PID-7");
    facts.studyId = QStringLiteral("123");
    facts.studyDate = QStringLiteral("2024-01-31");
    facts.imageFiles = {QStringLiteral("SERIES02-01"), QStringLiteral("SERIES02-02")};
    facts.indexFiles = {QStringLiteral("IM000001"), QStringLiteral("IM000002")};
    facts.series = {QStringLiteral("2")};
    facts.written = QDateTime(QDate(2024, 6, 1), QTime(14, 3));
    const QString text = viewer::discReadme(facts);
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Patient:  Doe, John Injected: line (ID PID-7)\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("SERIES02-01 ... SERIES02-02")));
    EXPECT_TRUE(text.contains(QStringLiteral("IM000001 ... IM000002")));
    EXPECT_TRUE(text.contains(QStringLiteral("Written:  2024-06-01 14:03\r\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("viewer.exe")));
}

} // namespace

TEST(DiscNames, ImagesAreNamedBySeriesAndPositionAndIndexedByDicomFileIds) {
    EXPECT_EQ(viewer::imageFileName(QStringLiteral("2"), 1), QStringLiteral("SERIES02-01"));
    EXPECT_EQ(viewer::imageFileName(QStringLiteral("123"), 7), QStringLiteral("SERIES123-07"));
    EXPECT_EQ(viewer::imageFileName(QStringLiteral("A1"), 300), QStringLiteral("SERIESA1-300"));
    EXPECT_EQ(viewer::imageFileName(QStringLiteral("../../x"), 2), QStringLiteral("SERIES____x-02"))
        << "no separators or dot runs from image data";
    EXPECT_EQ(viewer::indexFileName(42), QStringLiteral("IM000042"));
}
