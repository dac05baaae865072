#include "componenttestsupport.h"
#include "getpacscases.h"

#include "component/modstartwindows.h"

#include <QCoreApplication>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace ravlen;

namespace {

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override { test::startComponentForTests(); }
};

TEST_F(ViewerTest, OpenImagePassesTheEightValuesInOrderAndShowsTheDialog) {
    clsRavlenPACSViewer viewer;
    const QStringList values = {"ID", "NAME", "F", "19700101", "20240102", "CT", "ACC", "1.2.3"};
    viewer.setPatientID(values[0]);
    viewer.setPatientLastName(values[1]);
    viewer.setPatientGender(values[2]);
    viewer.setPatientDOB(values[3]);
    viewer.setStudyDate(values[4]);
    viewer.setModality(values[5]);
    viewer.setAccessionNumber(values[6]);
    viewer.setStudyUID(values[7]);
    viewer.OpenImage();
    EXPECT_EQ(retrieveDialog().queryKeys().toList(), values);
    EXPECT_TRUE(retrieveDialog().isVisible());
    EXPECT_FALSE(retrieveDialog().isModal());

    const auto onlyUid = createObject("RavlenPACSViewer.clsRavlenPACSViewer");
    onlyUid->setStudyUID("1.2.840.99");
    onlyUid->OpenImage();
    EXPECT_EQ(retrieveDialog().queryKeys().toList(),
              QStringList({"", "", "", "", "", "", "", "1.2.840.99"}));
}

TEST_F(ViewerTest, ObjectsShareOneDialogUntilTheUserClosesIt) {
    clsRavlenPACSViewer first;
    clsRavlenPACSViewer second;
    first.setPatientID("FIRST");
    second.setPatientID("SECOND");
    first.OpenImage();
    RetrieveDialog *dialog = &retrieveDialog();
    const int loads = dialog->loadCount();
    second.OpenImage();
    EXPECT_EQ(&retrieveDialog(), dialog);
    EXPECT_EQ(dialog->loadCount(), loads + 1);
    EXPECT_EQ(dialog->queryKeys().PatientID, "SECOND");

    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(retrieveDialogExists());
    EXPECT_EQ(retrieveDialog().loadCount(), 0);
}

TEST_F(ViewerTest, ShowViewerShowsTheViewerFirstAndKeepsTheDialogContent) {
    clsRavlenPACSViewer viewer;
    viewer.setPatientID("KEEP");
    viewer.OpenImage();
    retrieveDialog().hide();
    static bool dialogVisibleWhenViewerShown = true;
    setViewerWindowShower([] { dialogVisibleWhenViewerShown = retrieveDialog().isVisible(); });
    clsRavlenPACSViewer().ShowViewer();
    setViewerWindowShower(nullptr);
    EXPECT_FALSE(dialogVisibleWhenViewerShown);
    EXPECT_TRUE(retrieveDialog().isVisible());
    EXPECT_EQ(retrieveDialog().queryKeys().PatientID, "KEEP");
}

TEST_F(ViewerTest, CreationByNameIgnoresCaseAndRejectsOtherNames) {
    EXPECT_NE(createObject("ravlenpacsviewer.CLSRAVLENPACSVIEWER"), nullptr);
    test::expectErrorNumber([] { createObject("RavlenPACSViewer.clsOther"); }, errc::BadArgument);
}

TEST_F(ViewerTest, TheLastAssignedUserIsTheProcessUser) {
    auto a = std::make_shared<test::TestUser>(QSqlDatabase());
    auto b = std::make_shared<test::TestUser>(QSqlDatabase());
    clsRavlenPACSViewer first;
    clsRavlenPACSViewer second;
    first.setRavlenUser(a);
    second.setRavlenUser(b);
    first.setRavlenUser(a);
    EXPECT_EQ(currentRavlenUser(), a);
    EXPECT_EQ(second.ravlenUser(), b);
}

TEST(WindowPlacement, SavedPlacementComesBackAndValuesAtOrBelowZeroAreSkipped) {
    test::MemoryStore &store = test::installMemoryStore();
    QWidget saved;
    saved.setWindowTitle("Placement");
    saved.resize(420, 310);
    saved.move(130, 90);
    modStart::SaveWindowPlacement(&saved);
    EXPECT_EQ(store.get("PACS", "Placement", "Width"), "6300");
    EXPECT_EQ(store.get("PACS", "Placement", "WinState"), "0");

    QWidget restored;
    restored.setWindowTitle("Placement");
    modStart::RestoreWindowPlacement(&restored);
    EXPECT_EQ(restored.geometry().size(), QSize(420, 310));
    EXPECT_EQ(restored.pos(), QPoint(130, 90));

    store.save("PACS", "Placement", "Left", "0");
    store.save("PACS", "Placement", "Top", "-300");
    store.save("PACS", "Placement", "WinState", "2");
    QWidget edge;
    edge.setWindowTitle("Placement");
    edge.move(40, 50);
    modStart::RestoreWindowPlacement(&edge);
    EXPECT_EQ(edge.pos(), QPoint(40, 50));
    EXPECT_TRUE(edge.windowState() & Qt::WindowMaximized);
    EXPECT_NO_THROW(modStart::RestoreWindowPlacement(nullptr));
}

} // namespace
