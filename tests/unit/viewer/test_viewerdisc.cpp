// "Export to DICOM File" and "Write to CD" on the viewer window, offscreen: from the menu
// command to the file, and from staging to a disc image burned in the burn window.
#include "viewertestsupport.h"

#include "burn/burnconstants.h"
#include "burn/zuvuziroduvcomform.h"
#include "component/modstart.h"
#include "core/prompter.h"
#include "core/settingsstore.h"
#include "toolkit/viewercontrol.h"
#include "viewer/discstaging.h"
#include "viewer/frmdicomviewer.h"

#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ravlen;

void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// The scripted prompter, also keeping the filter list of each file dialog.
class FilterPrompter : public ScriptedPrompter {
public:
    QString saveFile(const QString &title, const QString &filter, const QString &startPath,
                     QWidget *parent) override {
        filters << filter;
        return ScriptedPrompter::saveFile(title, filter, startPath, parent);
    }
    QStringList filters;
};

class ViewerDiscTest : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir home;
        // The staging root and the settings live in this test's own folders.
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
        modStart::StartUp(home.path());
        setSettings(std::make_unique<FileSettingsStore>(home.filePath(QStringLiteral("config"))));
        auto scripted = std::make_unique<FilterPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
            .removeRecursively();
    }
    void TearDown() override {
        if (dicomViewerExists()) {
            delete &dicomViewer();
        }
    }

    // Opens images of study 123, series 2, each with its own patient name.
    frmDicomViewer &openViewer(int images) {
        QStringList paths;
        for (int i = 1; i <= images; ++i) {
            test::TestImage desc;
            desc.name = QString::number(i);
            desc.patientName = QStringLiteral("Doe^Image%1").arg(i);
            toolkit::DataSetBuilder b = test::imageBuilder(desc);
            b.set(0x0020, 0x0010, QStringLiteral("123"));
            b.set(0x0020, 0x0011, QStringLiteral("2"));
            paths << files.filePath(desc.name);
            b.save(paths.last(), toolkit::TransferSyntax::ExplicitLittle);
        }
        frmDicomViewer &v = dicomViewer();
        v.OpenFiles(paths);
        return v;
    }

    FilterPrompter *prompts = nullptr;
    QTemporaryDir files;
};

TEST_F(ViewerDiscTest, ExportOnAnEmptyViewerOnlySaysSo) {
    dicomViewer().FileWrite_Click();
    ASSERT_EQ(prompts->records.size(), 1u);
    const auto &r = prompts->records[0];
    EXPECT_EQ(r.kind, ScriptedPrompter::Record::Message);
    EXPECT_EQ(r.text, QStringLiteral("No image to export!"));
    EXPECT_EQ(r.icon, Prompter::Icon::Warning);
    EXPECT_EQ(r.buttons, Prompter::Ok);
    EXPECT_TRUE(r.title.isEmpty());
}

TEST_F(ViewerDiscTest, ExportWritesTheSelectedImageToThePathAsChosen) {
    frmDicomViewer &v = openViewer(2);
    v.SelectImage(2);
    const QString path = files.filePath(QStringLiteral("exported")); // no extension is added
    prompts->fileAnswers.push_back({path});
    v.FileWrite_Click();
    ASSERT_EQ(prompts->records.size(), 1u);
    EXPECT_EQ(prompts->records[0].kind, ScriptedPrompter::Record::Save);
    EXPECT_EQ(prompts->records[0].title, QStringLiteral("Export to DICOM File"));
    EXPECT_EQ(prompts->filters, QStringList{QStringLiteral("DICOM Image (*.dcm)|*.dcm")});
    const auto back = toolkit::Image::fromFile(path);
    EXPECT_EQ(back->transferSyntaxUid(), QStringLiteral("1.2.840.10008.1.2.4.51"));
    EXPECT_EQ(back->patientName(), QStringLiteral("Doe, Image2"));

    // A cancelled dialog does nothing; a failed write reaches the user as the toolkit's error.
    v.FileWrite_Click();
    EXPECT_EQ(prompts->records.size(), 2u);
    prompts->fileAnswers.push_back({files.filePath(QStringLiteral("missing/folder/x.dcm"))});
    v.FileWrite_Click();
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages()[0].contains(QStringLiteral("cannot be written")))
        << prompts->messages()[0].toStdString();
}

TEST_F(ViewerDiscTest, WriteToCdOnAnEmptyViewerStagesNothingAndOpensNoWindow) {
    bool burnWindowSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            burnWindowSeen |= qobject_cast<zuvuZiroduvCOMForm *>(w) != nullptr && w->isVisible();
        }
    });
    watch.start(10);
    dicomViewer().mWriteToCD_Click();
    QTest::qWait(50);
    EXPECT_FALSE(burnWindowSeen);
    EXPECT_EQ(prompts->messages(), QStringList{QStringLiteral("No images to write to CD!")});
    EXPECT_FALSE(QFileInfo::exists(viewer::stagingRoot()));
}

// The files of an ISO image below `discFolder`, by name.
QStringList isoFileNames(const QString &iso, const QString &discFolder) {
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("xorriso")),
            {QStringLiteral("-indev"), iso, QStringLiteral("-find"), discFolder,
             QStringLiteral("-type"), QStringLiteral("f")});
    p.waitForFinished(60000);
    QStringList names;
    for (const QString &line :
         QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        names << line.trimmed().remove(QLatin1Char('\'')).section(QLatin1Char('/'), -1);
    }
    names.sort();
    return names;
}

TEST_F(ViewerDiscTest, WriteToCdStagesThenBurnsTheCurrentSeriesInTheBurnWindow) {
    if (QStandardPaths::findExecutable(QStringLiteral("xorriso")).isEmpty()) {
        GTEST_SKIP() << "xorriso is not installed";
    }
    frmDicomViewer &v = openViewer(3);
    v.SelectImage(2);
    const QString iso = files.filePath(QStringLiteral("disc.iso"));
    prompts->fileAnswers.push_back({iso});

    // The burn window is modal: it is driven from a timer while it runs, and closed.
    QString dirPath, studyId, log;
    bool modal = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *form = qobject_cast<zuvuZiroduvCOMForm *>(w);
            if (!form || !form->isVisible()) {
                continue;
            }
            driver.stop();
            dirPath = form->valDirPath;
            studyId = form->valStudyID;
            modal = form->isModal() && form->parentWidget() == &v;
            if (QTest::qWaitFor([&] { return form->recordersListed(); }, 60000)) {
                form->AvailableDevices->setCurrentRow(form->AvailableDevices->count() - 1);
                form->Burn->click();
                EXPECT_TRUE(QTest::qWaitFor([&] { return !form->service().busy(); }, 60000));
            }
            log = form->messageLog();
            form->close();
        }
    });
    driver.start(20);
    v.mWriteToCD_Click();
    driver.stop();

    const QString series = QDir(viewer::stagingRoot()).filePath(QStringLiteral("123/SERIES2"));
    EXPECT_EQ(dirPath, QFileInfo(series).canonicalFilePath() + QLatin1Char('/'));
    EXPECT_EQ(studyId, QStringLiteral("123"));
    EXPECT_TRUE(modal);
    EXPECT_TRUE(log.endsWith(QStringLiteral("Burn finished successfully!\r\n")))
        << log.toStdString();

    const QStringList staged = QDir(series).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(staged, (QStringList{QStringLiteral("DICOMDIR"), QStringLiteral("IM000001"),
                                   QStringLiteral("IM000002"), QStringLiteral("IM000003"),
                                   QStringLiteral("README.TXT"), QStringLiteral("SERIES02-01"),
                                   QStringLiteral("SERIES02-02"), QStringLiteral("SERIES02-03")}));
    EXPECT_EQ(isoFileNames(iso, QStringLiteral("/123")), staged);
    // The test program has no disc viewer beside it: one message names all eight files.
    ASSERT_EQ(prompts->messages().size(), 1);
    for (const char *name : {"viewer.exe", "VB6.OLB"}) {
        EXPECT_TRUE(prompts->messages()[0].contains(QString::fromLatin1(name)));
    }
}

} // namespace
