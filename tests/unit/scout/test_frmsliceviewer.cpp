// The scout viewer offscreen: its controls, the reference line the main viewer asks for, the
// step buttons, the handlers that differ from the main viewer's, and the road from the main
// viewer and the query dialog to it.
#include "scouttestsupport.h"

#include "component/clsravlenpacsviewer.h"
#include "component/optionsvalues.h"
#include "dialogs/information.h"
#include "imagelistcases.h"
#include "network/retrievedialog.h"
#include "toolkit/listener.h"
#include "viewer/mouserules.h"
#include "viewer/pageprinter.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

using namespace ravlen;
using test::ScoutWindowTest;

namespace {

TEST_F(ScoutWindowTest, ControlsAreTheScoutsOwn) {
    frmSliceViewer &v = sliceViewer();
    EXPECT_EQ(v.windowTitle(), "View Scout Images");

    QStringList menus;
    for (QAction *a : v.menuBar()->actions()) {
        menus << a->text();
    }
    EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&Remote", "&Display", "&View"}));
    for (const char *absent : {"mnuPrintSel", "mWriteToCD", "SImage", "mnuDisplayMonitor",
                               "cmdSmooth", "mSortImages", "mnuOpenInSlice", "mPlay"}) {
        EXPECT_EQ(v.entry(absent), nullptr) << absent;
    }
    EXPECT_FALSE(v.chkSharp->isVisibleTo(&v));
    EXPECT_FALSE(v.cmdPreImages->isVisibleTo(&v));

    // The toolbar: keys and tooltips in order, separators where the positions need them.
    QStringList keys;
    QStringList tips;
    for (QAction *a : v.tbarMain->actions()) {
        keys << (a->isSeparator() ? "|" : a->objectName());
        tips << (a->isSeparator() ? "|" : a->toolTip());
        EXPECT_TRUE(a->isSeparator() || !a->icon().isNull()) << a->objectName().toStdString();
    }
    EXPECT_EQ(keys, QStringList({"tbrPending", "tbrOpen", "tbrSave", "|", "tbrPrint", "tbrOptions",
                                 "tbrTile", "tbrResult", "|", "tbrPrevImg", "tbrNextImg", "|",
                                 "tbrExit"}));
    EXPECT_EQ(tips, QStringList({"Pending Result", "Open Exam", "Export Image", "|", "Print Images",
                                 "Options", "Tile Images", "View Result", "|", "Previous Image",
                                 "Next Image", "|", "Exit"}));
    EXPECT_EQ(v.button(7)->text(), "Tile");
    QStringList drop;
    for (QAction *a : v.button(7)->menu()->actions()) {
        drop << a->objectName() + "=" + a->text();
    }
    EXPECT_EQ(drop.first(), "tbr1x1=1 x 1");
    EXPECT_EQ(drop.last(), "tbr6x6=6 x 6");
    EXPECT_EQ(drop.size(), 11);

    // Opened empty: the image commands, buttons 5, 7, 8, 10, 11 and the cine entries are off.
    for (int position : {5, 7, 8, 10, 11}) {
        EXPECT_FALSE(v.button(position)->isEnabled()) << position;
    }
    for (const char *name : {"PrintWindows", "DeleteSelected", "mnuNormal", "CineForward",
                             "CineStop", "mnuDisplaySlice"}) {
        EXPECT_FALSE(v.entry(name)->isEnabled()) << name;
    }
    EXPECT_EQ(v.panelText(2), "NONE");

    // With an image: on, except what has no action here.
    v.OpenFiles({test::scoutFile()});
    for (int position : {5, 7}) {
        EXPECT_TRUE(v.button(position)->isEnabled()) << position;
    }
    EXPECT_FALSE(v.button(8)->isEnabled()) << "View Result has no action";
    for (const char *name : {"mnuPendingResult", "mnuOpenExam", "mnuDisplayResult", "Retrieve"}) {
        EXPECT_FALSE(v.entry(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(v.entry("mnuDisplaySlice")->isEnabled());
}

TEST_F(ScoutWindowTest, PlacementIsTheScoutsOwnAndNoViewerSettingsAreRead) {
    store->save("PACS", "View Scout Images", "Width", "9000"); // twips: 600 pixels
    store->failing.insert("playms"); // the main viewer's settings are never asked for
    {
        frmSliceViewer &v = sliceViewer();
        EXPECT_EQ(v.width(), 600);
        EXPECT_TRUE(prompts->records.empty());
        v.resize(700, 500);
        v.DeleteAll_Click(); // clears the exam caption
        v.close();
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(sliceViewerExists()) << "closing discards the window and its images";
    EXPECT_EQ(store->get("PACS", "View Scout Images", "Width"), "10500");
}

TEST_F(ScoutWindowTest, SliceShowLeavesExactlyOneRedLineTheLastAsked) {
    frmSliceViewer &v = scoutWithSeries();
    const std::shared_ptr<toolkit::Image> scout = v.Viewer->images().item(1);
    auto own = std::make_shared<toolkit::Label>(); // a line of the user's, to be replaced
    own->type = toolkit::Label::Line;
    own->space = toolkit::Label::Space::Image;
    scout->labels().add(own);
    const int overlays = scout->labels().count() - 1;
    ASSERT_GT(overlays, 0) << "the scout's overlay texts";

    v.Slice_Show(2);
    v.Slice_Show(5);
    const auto drawn = lines(*scout);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0]->foreColour, 255u);
    EXPECT_EQ(drawn[0]->type, toolkit::Label::Line);
    EXPECT_NEAR(drawn[0]->top, rowOf(5), 1e-3);
    EXPECT_NEAR(std::abs(drawn[0]->width), 64.0, 1e-3);
    EXPECT_GE(scout->labels().count() - 1, overlays) << "the overlay texts stay";
    EXPECT_TRUE(v.panelText(1).isEmpty());

    // An image without a plane: no line, and the status bar says why.
    dicomViewer().OpenFiles({QDir(test::sampleStudy()).filePath("US.dcm")});
    v.Slice_Show(7);
    EXPECT_TRUE(lines(*scout).empty());
    EXPECT_TRUE(v.panelText(1).contains("The slice has no")) << v.panelText(1).toStdString();
    v.Slice_Show(40);
    EXPECT_TRUE(v.panelText(1).contains("no image 40"));
}

TEST_F(ScoutWindowTest, TheMainViewersSelectionDrawsItsLineWhileTheScoutIsShown) {
    frmSliceViewer &v = scoutWithSeries();
    const std::shared_ptr<toolkit::Image> scout = v.Viewer->images().item(1);
    frmDicomViewer &main = dicomViewer();
    main.SelectImage(3);
    ASSERT_EQ(lines(*scout).size(), 1u);
    EXPECT_NEAR(lines(*scout)[0]->top, rowOf(3), 1e-3);
    main.Viewer_KeyDown(102, 0); // keypad 6: the next image
    EXPECT_NEAR(lines(*scout)[0]->top, rowOf(4), 1e-3);

    v.hide();
    main.SelectImage(6);
    EXPECT_NEAR(lines(*scout)[0]->top, rowOf(4), 1e-3) << "a hidden scout is left alone";
}

TEST_F(ScoutWindowTest, StepButtonsFollowThePositionAndStopAtTheEnds) {
    frmSliceViewer &v = sliceViewer();
    v.OpenFiles({test::scoutFile(), test::ctFile(1), test::ctFile(2)});
    QAction *previous = v.button(10);
    QAction *next = v.button(11);
    v.tbarMain_ButtonClick("tbrNextImg"); // nothing selected: the first image
    EXPECT_EQ(v.panelText(2), "1 of 3");
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_TRUE(next->isEnabled());
    next->trigger();
    next->trigger();
    EXPECT_EQ(v.panelText(2), "3 of 3");
    EXPECT_EQ(v.imageSet().currentPosition(), 3);
    EXPECT_FALSE(next->isEnabled());
    EXPECT_TRUE(previous->isEnabled());
    previous->trigger();
    EXPECT_TRUE(next->isEnabled()) << "the opposite button comes back";
    v.SetGrid({1, 1});
    EXPECT_EQ(v.Viewer->currentIndex(), 2) << "the page follows";

    // Asked for a position outside the set: "NONE", and the selection stays.
    v.SelectImage(0);
    EXPECT_EQ(v.panelText(2), "NONE");
    EXPECT_EQ(v.imageSet().currentPosition(), 2);
    EXPECT_TRUE(v.imageSet().imageSelected());

    // One image: stepping onto it leaves both buttons off.
    frmSliceViewer &one = sliceViewer();
    one.DeleteAll_Click();
    EXPECT_FALSE(next->isEnabled());
    one.OpenFiles({test::scoutFile()});
    one.tbarMain_ButtonClick("tbrNextImg");
    EXPECT_EQ(one.panelText(2), "1 of 1");
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_FALSE(next->isEnabled());
}

TEST_F(ScoutWindowTest, CloseSelectedSelectsNothingAfterwards) {
    frmSliceViewer &v = sliceViewer();
    v.OpenFiles({test::scoutFile(), test::ctFile(1), test::ctFile(2), test::ctFile(3)});
    v.SetGrid({1, 1});
    v.SelectImage(3);
    const auto third = v.Viewer->images().item(3);
    v.entry("DeleteSelected")->trigger();
    EXPECT_EQ(v.imageCount(), 3);
    for (int p = 1; p <= 3; ++p) {
        EXPECT_NE(v.Viewer->images().item(p), third);
    }
    EXPECT_FALSE(v.imageSet().imageSelected());
    EXPECT_EQ(v.Viewer->currentIndex(), 1);
    EXPECT_EQ(v.panelText(2), "NONE");

    v.DeleteAll_Click();
    prompts->records.clear();
    v.DeleteSelected_Click();
    EXPECT_EQ(prompts->messages(), QStringList{"No Images to manipulate!"});
}

TEST_F(ScoutWindowTest, HandlersThatDifferFromTheMainViewer) {
    frmSliceViewer &v = sliceViewer();
    v.OpenFiles({test::scoutFile(), test::ctFile(1)});
    v.resize(800, 600);
    v.show();

    v.entry("mnuLabel")->trigger();
    EXPECT_EQ(v.mouseFunction(), viewer::mouse::Text);

    // Orientation acts on the selected image alone, whatever "All Change" says.
    v.SelectImage(2);
    v.optAllChange->setChecked(true);
    v.entry("mnuFlipHorizontal")->trigger();
    EXPECT_EQ(v.Viewer->images().item(2)->flipState(), 1);
    EXPECT_EQ(v.Viewer->images().item(1)->flipState(), 0);
    v.entry("cmnuRotateClockwise")->trigger();
    EXPECT_EQ(v.Viewer->images().item(1)->rotation(), 0);
    EXPECT_NE(v.Viewer->images().item(2)->rotation(), 0);

    // The magnifier does nothing here; a pan (3) does; presses never fold the panel.
    v.SetGrid({1, 1});
    v.Mouse_Click(viewer::mouse::Magnify);
    v.Viewer_MouseDown(1, 0, 100, 100);
    v.Viewer_MouseMove(1, 0, 120, 110);
    v.Viewer_MouseUp(1, 0, 120, 110);
    EXPECT_EQ(v.imageCount(), 2) << "no magnifier copy was added";
    v.cmdToolB_Click();
    v.Mouse_Click(viewer::mouse::Hand);
    v.Viewer_MouseDown(1, 0, 100, 100);
    v.Viewer_MouseMove(1, 0, 130, 100);
    v.Viewer_MouseUp(1, 0, 130, 100);
    EXPECT_NE(v.Viewer->images().item(2)->scrollOffset(), QPointF());
    EXPECT_TRUE(v.panelShown());
}

TEST_F(ScoutWindowTest, AssociationsCalledByAnotherTitleAreRefused) {
    frmSliceViewer &v = sliceViewer();
    std::vector<toolkit::ProposedContext> contexts(1);
    contexts[0].abstractSyntax = "1.2.840.10008.5.1.4.1.1.2";
    toolkit::IncomingAssociation association;
    const QString before = information().associationsText();

    options().AEName = "RAVLEN";
    bool accept = true;
    v.Viewer_AssociationRequest("10.0.0.9", "OTHER", "CT01", 0, accept, contexts);
    v.Viewer_AssociationRequest2(association, accept);
    EXPECT_FALSE(accept);
    EXPECT_TRUE(information().associationsText().mid(before.size()).contains(" REJECTED"));

    accept = true;
    v.Viewer_AssociationRequest("10.0.0.9", "RAVLEN", "CT01", 0, accept, contexts);
    v.Viewer_AssociationRequest2(association, accept);
    EXPECT_TRUE(accept);

    // No local title: the flag stays as the toolkit passed it.
    options().AEName.clear();
    for (bool given : {true, false}) {
        accept = given;
        v.Viewer_AssociationRequest("10.0.0.9", "ANY", "CT01", 0, accept, contexts);
        v.Viewer_AssociationRequest2(association, accept);
        EXPECT_EQ(accept, given);
    }
    EXPECT_TRUE(v.tl->toPlainText().isEmpty()) << "the scout has no trace";
}

TEST_F(ScoutWindowTest, SortClosesTheShownScoutAndShowsItAgainEmpty) {
    frmSliceViewer &before = scoutWithSeries();
    const QPointer<frmSliceViewer> old(&before);
    dicomViewer().Sort_Images();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    ASSERT_TRUE(sliceViewerExists());
    EXPECT_TRUE(sliceViewer().isVisible());
    EXPECT_EQ(sliceViewer().imageCount(), 0);

    sliceViewer().hide();
    const QPointer<frmSliceViewer> hidden(&sliceViewer());
    dicomViewer().Sort_Images();
    EXPECT_FALSE(hidden.isNull()) << "a hidden scout is left alone";
    EXPECT_FALSE(sliceViewer().isVisible());
}

TEST_F(ScoutWindowTest, MainViewerEntriesOpenTheScoutViewer) {
    frmDicomViewer &main = dicomViewer();
    main.OpenFiles({test::scoutFile(), test::ctFile(2)});
    ASSERT_TRUE(main.entry("mnuOpenInSlice")->isEnabled());
    ASSERT_TRUE(main.entry("mnuDisplaySlice")->isEnabled());
    main.SelectImage(1);
    main.entry("mnuOpenInSlice")->trigger();
    ASSERT_TRUE(sliceViewerExists());
    frmSliceViewer &v = sliceViewer();
    EXPECT_TRUE(v.isVisible());
    ASSERT_EQ(v.imageCount(), 1);
    EXPECT_NE(v.Viewer->images().item(1), main.Viewer->images().item(1)) << "a copy";
    // Selecting the CT in the main viewer now draws its line on the copy.
    main.SelectImage(2);
    EXPECT_EQ(lines(*v.Viewer->images().item(1)).size(), 1u);
    EXPECT_TRUE(lines(*main.Viewer->images().item(1)).empty());
}

TEST_F(ScoutWindowTest, SliceButtonOfTheQueryDialogNeedsEntries) {
    RetrieveDialog &d = retrieveDialog();
    EXPECT_TRUE(d.cmdRetSlice->isEnabled());
    d.cmdRetSlice_Click();
    EXPECT_FALSE(sliceViewerExists()) << "an empty tree opens nothing";
    d.close();
}

} // namespace

namespace {

// Not a check: pictures of the scout viewer with its line, its toolbar and a printed page, for a
// person to look at (run under Xvfb with QT_QPA_PLATFORM=xcb to see the real window system).
TEST_F(ScoutWindowTest, PicturesForAPersonToLookAt) {
    const QString out = qEnvironmentVariable("RAVLEN_SCOUT_PICTURES");
    if (out.isEmpty()) {
        GTEST_SKIP() << "set RAVLEN_SCOUT_PICTURES to a folder to take the pictures";
    }
    QTemporaryDir study;
    tools::SampleStudyOptions o;
    o.outDir = study.path();
    o.slices = 20;
    o.size = 256;
    tools::writeSampleStudy(o);
    frmDicomViewer &main = dicomViewer();
    QStringList files;
    for (int k = 1; k <= 20; ++k) {
        files << QDir(study.path()).filePath(QString("CT%1.dcm").arg(k, 4, 10, QChar('0')));
    }
    main.OpenFiles(files);
    main.SetGrid({1, 1});
    frmSliceViewer &v = sliceViewer();
    v.resize(900, 760);
    v.show();
    v.OpenFiles({QDir(study.path()).filePath("SCOUT.dcm")});
    v.SelectImage(1);
    main.SelectImage(8);
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QDir().mkpath(out);
    v.grab().save(QDir(out).filePath("scout-window.png"));
    v.tbarMain->grab().save(QDir(out).filePath("scout-toolbar.png"));
    v.button(7)->menu()->grab().save(QDir(out).filePath("scout-tile-menu.png"));

    // Scout Slices: every slice of the series as a line, from the host's database.
    QTemporaryDir ris;
    test::ImageDatabase db("QSQLITE", "ImageTable",
                           [&](QSqlDatabase &d) { d.setDatabaseName(ris.filePath("ris.db")); });
    std::vector<test::ImageRow> rows;
    const QString series = main.Viewer->images().item(1)->attribute(0x0020, 0x000E).toString();
    for (int k = 1; k <= 20; ++k) {
        rows.push_back({series, k, QFileInfo(files[k - 1]).fileName()});
    }
    db.fill(rows);
    clsRavlenPACSViewer host;
    host.setRavlenUser(std::make_shared<test::TestUser>(db.connection()));
    options().ImageRoot = study.path();
    v.mnuDisplaySlice_Click();
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    v.grab().save(QDir(out).filePath("scout-slices.png"));
    host.setRavlenUser(nullptr);
    options().ImageRoot.clear();

    const QString pdf = QDir(out).filePath("scout-print.pdf");
    viewer::setPrintTargetProvider([pdf] { return viewer::PrintTarget{QString(), pdf}; });
    prompts->buttonAnswers = {Prompter::Yes};
    v.PrintWindows_Click();
    viewer::setPrintTargetProvider({});
}

} // namespace
