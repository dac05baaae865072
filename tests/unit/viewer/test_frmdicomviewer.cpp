// The main viewer window, offscreen: its wiring from controls and events to the image set.
#include "viewertestsupport.h"

#include "component/clsexam.h"
#include "component/clsravlenpacsviewer.h"
#include "component/modstart.h"
#include "core/prompter.h"
#include "core/settingsstore.h"
#include "network/retrievedialog.h"
#include "toolkit/viewercontrol.h"
#include "viewer/frmdicomviewer.h"
#include "viewer/viewerconstants.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

using namespace ravlen;

namespace {

// Settings in memory; reading a key named in `failing` throws, as a damaged store would.
class MemoryStore : public SettingsStore {
public:
    QString get(const QString &app, const QString &section, const QString &key,
                const QString &defaultValue) const override {
        if (failing.count(key.toLower())) {
            throw std::runtime_error("the settings store cannot be read");
        }
        const auto it = values.find({app.toLower(), section.toLower(), key.toLower()});
        return it == values.end() ? defaultValue : it->second;
    }
    void save(const QString &app, const QString &section, const QString &key,
              const QString &value) override {
        values[{app.toLower(), section.toLower(), key.toLower()}] = value;
    }
    void deleteApplication(const QString &) override {}
    std::map<std::tuple<QString, QString, QString>, QString> values;
    std::set<QString> failing;
};

class ViewerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir iniFolder;
        modStart::StartUp(iniFolder.path()); // once per process; the INI file stays in a temp dir
        auto owned = std::make_unique<MemoryStore>();
        store = owned.get();
        setSettings(std::move(owned));
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
    }
    void TearDown() override {
        if (dicomViewerExists()) {
            delete &dicomViewer();
        }
        for (QWidget *w : QApplication::topLevelWidgets()) {
            w->hide();
        }
    }

    // Writes CT files named "<name>.dcm" with the given slice locations and patient.
    QStringList writeFiles(const QStringList &names, const QString &patientId = "PID-A",
                           const QList<double> &locations = {}) {
        QStringList paths;
        for (qsizetype i = 0; i < names.size(); ++i) {
            test::TestImage desc;
            desc.name = names[i];
            desc.patientId = patientId;
            if (i < locations.size()) {
                desc.sliceLocation = QString::number(locations[i]);
            }
            const QString path = files.filePath(names[i]);
            test::imageBuilder(desc).save(path, toolkit::TransferSyntax::ExplicitLittle);
            paths << path;
        }
        return paths;
    }

    frmDicomViewer &openViewer(int images, viewer::GridSize grid = {1, 1}) {
        frmDicomViewer &v = dicomViewer();
        QStringList names;
        for (int i = 1; i <= images; ++i) {
            names << QString::number(i);
        }
        v.OpenFiles(writeFiles(names));
        v.SetGrid(grid);
        return v;
    }

    static QStringList sourceNames(frmDicomViewer &v) {
        QStringList out;
        for (int p = 1; p <= v.imageCount(); ++p) {
            out << QFileInfo(v.Viewer->images().item(p)->sourceName()).fileName();
        }
        return out;
    }

    MemoryStore *store = nullptr;
    ScriptedPrompter *prompts = nullptr;
    QTemporaryDir files;
};

TEST_F(ViewerWindowTest, EveryMenuEntryExistsWithItsCaptionAndOnlyBuiltOnesWork) {
    struct Row {
        const char *name;
        const char *caption;
        bool atLoad;     // enabled in an empty window
        bool withImages; // enabled once images are shown
    };
    const Row table[] = {
        // menus
        {"mnuFile", "&File", true, true},
        {"mnuEdit", "&Edit", true, true},
        {"mnuRemote", "&Remote", true, true},
        {"mnuDisplay", "&Display", true, true},
        {"mnuView", "&View", true, true},
        {"mnuLogging", "&Logging", true, true},
        {"Cine", "&Multi-frame (Cine)", true, true},
        {"mnuSeries", "Series", true, true},
        {"mPlayDiv2", "&Play", true, true},
        {"cmnuTile", "Tile", false, true},
        // entries built here
        {"mnuOpenDicom", "Open Dicom File", true, true},
        {"Exit", "E&xit", true, true},
        {"DeleteSelected", "Close Selected", false, true},
        {"DeleteAll", "Close &All", false, true},
        {"SImage", "Sort &Images", false, true},
        {"mSortImages", "&Sort Images", true, true},
        {"mnuCloseImg", "Close Image", false, true},
        {"cmnuTile1x1", "1 x 1", true, true},
        {"cmnuTile4x5", "4 x 5", true, true},
        {"cmnuTile6x6", "6 x 6", true, true},
        {"Options", "&Options", true, true},
        {"mOptions", "&Options", true, true},
        {"mViewMenu", "&Tools Panel", true, true},
        {"cmdSmooth", "S&moothing", true, true},
        {"mnuDisplayEnhance", "Enhance Images", false, true},
        {"mnuNormal", "&Normal", false, true},
        {"mnuFlipHorizontal", "Flip &Horizontal", false, true},
        {"mnuFlipVertical", "Flip &Vertical", false, true},
        {"mnuRotateClockwise", "Rotate &Clockwise", false, true},
        {"mnuRotateAnticlockwise", "Rotate &Anticlockwise", false, true},
        {"cmnuNormal", "Normal", true, true},
        {"cmnuFlipHorizontal", "Flip &Horizontal", false, true},
        {"cmnuFlipVertical", "Flip &Vertical", false, true},
        {"cmnuRotateClockwise", "Rotate Clockwise", false, true},
        {"cmnuRotateCounterClockwise", "Rotate Counter-Clockwise", false, true},
        {"mnuDisplayResult", "View Result", false, true},
        {"mnuDisplayMonitor", "Settings", true, true},
        {"PrintWindows", "Print", false, true},
        {"mnuPrintSel", "Print Selected Image", false, true},
        {"cmnuPrintSelImage", "Print Selected Image", true, true},
        {"Import", "&Import non-DICOM file", true, true},
        {"Export", "&Export to non-DICOM file", true, true},
        {"Copy", "&Copy", true, true},
        {"Paste", "&Paste", true, true},
        // both say so themselves when the viewer is empty
        {"FileWrite", "&Export to DICOM File", true, true},
        {"mWriteToCD", "&Write to CD", true, true},
        {"CineForward", "&Forward (continuous)", true, true},
        {"CineReverse", "&Reverse", true, true},
        {"CineOscillate", "&Oscilate", true, true},
        {"CineStop", "&Stop", true, true},
        {"mPlayCine", "&Cine", true, true},
        {"mPlay", "&Images", true, true},
        // entries of features still to come
        {"Verify", "&Verify", true, true},
        {"SendSelected", "&Send Selected", true, true},
        {"SendAll", "Send &All", true, true},
        {"Retrieve", "&Retrieve", true, true},
        {"mnuLabel", "Label", true, true},
        {"mnuDisplayElements", "&Data Elements", false, true},
        {"mnuDisplayTextMode", "Text Modes", true, true},
        {"mnuDataElements", "&Data Elements", false, true},
        {"Infoview", "Image &Information", true, true},
        {"LoggingEnabled", "Logging Enabled", true, true},
        {"LogLevel", "Log Level", true, true},
        {"LogLocation", "Log Location", true, true},
        {"cmnuImgInfo", "&Data Elements", false, true},
        {"cmnuLabelClear", "Clear Labels", false, true},
        {"cmnuLabelDelete", "Delete Selected Label", false, true},
        {"cmnuLabelDetails", "Label Details...", true, true},
        // they work through the scout viewer, which this program does not have
        {"mnuDisplaySlice", "Scout Slices", false, false},
        {"mnuOpenInSlice", "Open in Slice Window", false, false},
    };
    frmDicomViewer &v = dicomViewer();
    EXPECT_EQ(v.windowTitle(), "RAVLEN PACS Viewer v2.0");
    for (const Row &r : table) {
        QAction *a = v.entry(QString::fromLatin1(r.name));
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->text(), QString::fromLatin1(r.caption)) << r.name;
        EXPECT_EQ(a->isEnabled(), r.atLoad) << r.name << " at load";
    }
    v.OpenFiles(writeFiles({"a"}));
    for (const Row &r : table) {
        EXPECT_EQ(v.entry(QString::fromLatin1(r.name))->isEnabled(), r.withImages)
            << r.name << " with images";
    }

    QStringList tiles;
    for (QAction *a : v.mnuContext->findChild<QMenu *>("cmnuTile")->actions()) {
        tiles << a->text();
    }
    EXPECT_EQ(tiles, QStringList({"1 x 1", "1 x 2", "2 x 2", "2 x 3", "3 x 3", "3 x 4", "4 x 4",
                                  "4 x 5", "5 x 5", "5 x 6", "6 x 6"}));
    EXPECT_TRUE(v.cmdPreImages->isEnabled()) << "it does nothing while no patient is shown";
    EXPECT_TRUE(v.tl->isHidden());
}

TEST_F(ViewerWindowTest, LoadReadsTheViewerSettingsAndRestoresThePlacement) {
    struct Row {
        const char *playMS;
        int interval;
    };
    const Row table[] = {{"12000", 9500}, {"9500", 9500}, {"700abc", 700}, {"", 0}, {"-40", 0}};
    for (const Row &r : table) {
        store->save("PACS", "Viewer", "PlayMS", r.playMS);
        store->save("PACS", "Viewer", "MagMode", "2");
        store->save("PACS", "Viewer", "MinMode", "4");
        store->save("Orbitaview", "Viewer", "DisplayResult", "1");
        store->save("PACS", "RAVLEN PACS Viewer v2.0", "Width", "9000");
        frmDicomViewer window;
        EXPECT_EQ(window.playInterval(), r.interval) << r.playMS;
        EXPECT_EQ(window.magMode(), 2);
        EXPECT_EQ(window.minMode(), 4);
        EXPECT_EQ(window.displayMonitor(), 1);
        EXPECT_EQ(window.mouseFunction(), 1);
        EXPECT_EQ(window.width(), 600);
        EXPECT_EQ(window.current->text(), "0");
        EXPECT_EQ(window.rows->text(), "1");
        EXPECT_EQ(window.RowSpin->value(), 10); // the bar at 10 shows 1
    }
    EXPECT_TRUE(prompts->records.empty());
}

TEST_F(ViewerWindowTest, AFailingSettingsStoreIsReportedNotThrown) {
    store->failing.insert("playms");
    std::unique_ptr<frmDicomViewer> window;
    EXPECT_NO_THROW(window = std::make_unique<frmDicomViewer>());
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages()[0].contains("cannot be read"));
    EXPECT_EQ(window->mouseFunction(), 1); // the rest of the load still ran
}

TEST_F(ViewerWindowTest, OpeningAppendsFilesInOrderAndNamesTheUnreadableOne) {
    frmDicomViewer &v = dicomViewer();
    const QStringList good = writeFiles({"first", "second"}, "PID-OPEN");
    const QString bad = files.filePath("notdicom.dcm");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a DICOM file");
    f.close();
    prompts->fileAnswers.push_back({good[1], bad, good[0]});
    v.entry("mnuOpenDicom")->trigger();

    EXPECT_EQ(sourceNames(v), QStringList({"second", "first"}));
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages()[0].contains("notdicom.dcm"));
    EXPECT_EQ(currentExam().PatientID(), "PID-OPEN");
    EXPECT_EQ(v.lblPatientID->text(), "PID-OPEN");
    EXPECT_EQ(v.lblPatientID->textFormat(), Qt::PlainText) << "DICOM text is never rich text";
    EXPECT_EQ(v.PatientName->text(), "Doe, John Quincy");
    EXPECT_EQ(v.statusLine(), "Image 1 of 2");
    EXPECT_EQ(v.CurrentSpin->maximum(), 2);

    // More images keep the exam on screen; a cancelled dialog changes nothing.
    v.OpenFiles(writeFiles({"third"}, "PID-LATER"));
    prompts->fileAnswers.push_back({});
    v.entry("mnuOpenDicom")->trigger();
    EXPECT_EQ(v.imageCount(), 3);
    EXPECT_EQ(currentExam().PatientID(), "PID-OPEN");
}

TEST_F(ViewerWindowTest, AClickSelectsTheImageUnderThePointerAndTheRightButtonOpensTheMenu) {
    frmDicomViewer &v = openViewer(4, {2, 2});
    v.resize(800, 600);
    v.show();
    QApplication::processEvents();
    const QRect third = v.Viewer->tileRect(3);
    ASSERT_FALSE(third.isEmpty());
    QTest::mouseClick(v.Viewer, Qt::LeftButton, Qt::NoModifier, third.center());
    EXPECT_EQ(v.imageSet().currentPosition(), 3);
    EXPECT_EQ(v.GetSelectedImage(), v.Viewer->images().item(3));
    EXPECT_EQ(v.Viewer->images().item(3)->border(), 2);

    const QRect first = v.Viewer->tileRect(1);
    QTest::mouseClick(v.Viewer, Qt::RightButton, Qt::NoModifier, first.center());
    EXPECT_EQ(v.imageSet().currentPosition(), 1);
    EXPECT_EQ(v.Viewer->images().item(3)->border(), 0);
    EXPECT_TRUE(v.mnuContext->isVisible());
    v.mnuContext->hide();

    // Over an image the status line names it, its pixel and its value.
    v.Viewer_MouseMove(0, 0, third.left() + 1, third.top() + third.height() / 2);
    EXPECT_TRUE(v.statusLine().startsWith("Image 3 of 4    0, ")) << v.statusLine().toStdString();
    EXPECT_TRUE(v.statusLine().endsWith(" HU")) << v.statusLine().toStdString();
}

TEST_F(ViewerWindowTest, KeysPageAndCloseWhileAnImageIsSelected) {
    frmDicomViewer &v = openViewer(10, {2, 2});
    v.Viewer_KeyDown(102, 0); // nothing selected yet: no effect
    EXPECT_EQ(v.imageSet().currentPosition(), 0);
    v.SelectImage(4);
    EXPECT_EQ(v.current->text(), "1");
    v.Viewer_KeyDown(102, 0);
    EXPECT_EQ(v.imageSet().currentPosition(), 5);
    EXPECT_EQ(v.current->text(), "5");
    v.Viewer_KeyDown(97, 0);
    EXPECT_EQ(v.imageSet().currentPosition(), 10);
    EXPECT_EQ(v.Viewer->currentIndex(), 9);
    v.Viewer_KeyDown(102, 0); // on the last image
    EXPECT_EQ(v.imageSet().currentPosition(), 10);
    v.Viewer_KeyDown(46, 0); // Delete on the last image leaves nothing selected
    EXPECT_EQ(v.imageCount(), 9);
    EXPECT_FALSE(v.imageSet().imageSelected());
    v.Viewer_KeyDown(103, 0);
    EXPECT_EQ(v.imageSet().currentPosition(), 1);
    v.Viewer_KeyDown(13, 0); // Enter: 2 x 2 -> 1 x 1
    EXPECT_EQ(v.Viewer->rows(), 1);
    EXPECT_EQ(v.Viewer->columns(), 1);
    v.Viewer_DblClick(); // 1 x 1 -> 4 x 4
    EXPECT_EQ(v.rows->text(), "4");
    EXPECT_EQ(v.Columns->text(), "4");
}

TEST_F(ViewerWindowTest, TheNumberBoxesSettleAndTheirBarsCountTheOtherWay) {
    frmDicomViewer &v = openViewer(10);
    v.current->setText("0");
    EXPECT_EQ(v.current->text(), "1");
    v.current->setText("99");
    EXPECT_EQ(v.current->text(), "10");
    EXPECT_EQ(v.Viewer->currentIndex(), 10);
    EXPECT_EQ(v.CurrentSpin->value(), 1);
    v.CurrentSpin->setValue(8);
    EXPECT_EQ(v.current->text(), "3");
    EXPECT_EQ(v.Viewer->currentIndex(), 3);
    v.current->setText("half");
    EXPECT_EQ(v.Viewer->currentIndex(), 3); // waits for a number

    v.RowSpin->setValue(8);
    EXPECT_EQ(v.rows->text(), "3");
    EXPECT_EQ(v.Viewer->rows(), 3);
    v.Columns->setText("2");
    EXPECT_EQ(v.Viewer->columns(), 2);
    v.Columns_LostFocus();
    EXPECT_EQ(v.ColSpin->value(), 9);
    v.Columns->setText("500");
    EXPECT_EQ(v.Viewer->columns(), viewer::kGridTypedMax);

    v.DeleteAll_Click();
    v.current->setText("5");
    EXPECT_EQ(v.current->text(), "0"); // an empty set settles on 0
}

TEST_F(ViewerWindowTest, CloseAllEmptiesTheViewerAndResetsTheCaption) {
    frmDicomViewer &v = openViewer(3);
    v.SelectImage(2);
    v.entry("DeleteAll")->trigger();
    EXPECT_EQ(v.imageCount(), 0);
    EXPECT_FALSE(v.imageSet().imageSelected());
    EXPECT_EQ(v.windowTitle(), "View Exam");
    EXPECT_FALSE(v.lblPatientID->text().isEmpty()) << "the patient stays for Previous Images";
    EXPECT_FALSE(v.entry("DeleteSelected")->isEnabled());
    EXPECT_EQ(v.statusLine(), "No images");

    // With nothing to act on, operations get the placeholder and one message.
    const auto placeholder = v.GetSelectedImage();
    EXPECT_EQ(v.GetSelectedImage(), placeholder);
    EXPECT_EQ(prompts->messages(), QStringList({"No Images to manipulate!"}));
}

TEST_F(ViewerWindowTest, TileEntriesSortAndCloseImageReachTheImageSet) {
    frmDicomViewer &v = dicomViewer();
    v.OpenFiles(writeFiles({"c", "a", "b", "none"}, "PID-S", {30.0, -10.0, 5.0}));
    v.SelectImage(1);
    v.entry("cmnuTile2x3")->trigger();
    EXPECT_EQ(v.Viewer->rows(), 2);
    EXPECT_EQ(v.Viewer->columns(), 3);
    EXPECT_EQ(v.Columns->text(), "3");

    v.entry("SImage")->trigger();
    EXPECT_EQ(sourceNames(v), QStringList({"a", "b", "c", "none"}));
    EXPECT_EQ(v.imageSet().currentPosition(), 3); // "c" stays selected
    v.entry("mnuCloseImg")->trigger();
    EXPECT_EQ(sourceNames(v), QStringList({"a", "b", "none"}));
    EXPECT_EQ(QFileInfo(v.GetSelectedImage()->sourceName()).fileName(), "none");
}

TEST_F(ViewerWindowTest, InitImageGivesTheImagesAddedSinceTheirDefaultWindow) {
    frmDicomViewer &v = openViewer(1);
    v.Viewer->images().item(1)->setLevel(777); // opened and shown: the user's to change
    for (int i = 0; i < 2; ++i) {
        const auto added = test::makeImage(QStringLiteral("added%1").arg(i));
        added->setLevel(12345);
        v.Viewer->images().add(added);
    }
    v.InitImage();
    EXPECT_EQ(v.Viewer->images().item(1)->level(), 777);
    for (int p = 2; p <= 3; ++p) {
        const auto image = v.Viewer->images().item(p);
        EXPECT_EQ(image->level(), image->defaultWindow().center);
    }
    EXPECT_TRUE(prompts->records.empty());
}

TEST_F(ViewerWindowTest, TheSidePanelFoldsAndTheWindowLaysItselfOut) {
    frmDicomViewer &v = dicomViewer();
    v.resize(900, 700);
    v.show();
    QApplication::processEvents();
    QWidget *area = v.centralWidget();
    EXPECT_EQ(v.Viewer->width(), area->width()); // |W - 2| twips is the width, to the pixel
    EXPECT_EQ(v.Viewer->height(), area->height() - 7);

    // The window opens with the panel folded; "&Tools", the menu entry and a hover unfold it.
    EXPECT_FALSE(v.panelShown());
    EXPECT_TRUE(v.cmdToolB->isVisible());
    EXPECT_EQ(v.cmdToolB->x(), v.frameGeometry().width() - 73); // Wo - 1100 twips
    v.cmdToolB->click();
    EXPECT_TRUE(v.panelShown());
    EXPECT_FALSE(v.cmdToolB->isVisible());
    EXPECT_EQ(v.fraMain->geometry().right() + 1, area->width());
    EXPECT_TRUE(v.entry("mViewMenu")->isChecked());
    v.entry("mViewMenu")->trigger();
    EXPECT_FALSE(v.panelShown());
    EXPECT_FALSE(v.entry("mViewMenu")->isChecked());
    QTest::mouseMove(v.cmdToolB, QPoint(5, 5));
    QApplication::processEvents();
    EXPECT_TRUE(v.panelShown());

    // Moving over the panel's background folds it; moving over its controls does not.
    for (QLabel *label : v.fraMain->findChildren<QLabel *>()) {
        if (label->text() == "Display Rows:") {
            QTest::mouseMove(label, QPoint(3, 3));
        }
    }
    QTest::mouseMove(v.rows, QPoint(3, 3));
    QApplication::processEvents();
    EXPECT_TRUE(v.panelShown());
    const QPoint background(v.fraMain->width() / 2, v.fraMain->height() - 3);
    ASSERT_EQ(v.fraMain->childAt(background), nullptr);
    QTest::mouseMove(v.fraMain, background);
    QApplication::processEvents();
    EXPECT_FALSE(v.panelShown());
}

TEST_F(ViewerWindowTest, ShowViewerShowsThisWindowAndClosingStartsAfresh) {
    clsRavlenPACSViewer().ShowViewer();
    ASSERT_TRUE(dicomViewerExists());
    frmDicomViewer *first = &dicomViewer();
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(retrieveDialog().isVisible());

    first->OpenFiles(writeFiles({"x"}));
    first->resize(640, 480);
    first->entry("Exit")->trigger();
    EXPECT_FALSE(dicomViewerExists());
    EXPECT_EQ(store->get("PACS", "RAVLEN PACS Viewer v2.0", "Width", ""), "9600");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    frmDicomViewer &second = dicomViewer();
    EXPECT_EQ(second.imageCount(), 0);
    EXPECT_EQ(second.width(), 640); // the saved placement comes back
}

} // namespace
