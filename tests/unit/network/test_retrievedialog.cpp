// The query dialog offscreen, against the real viewer window and no peer: wiring, the ways out
// of a retrieval that never reach the network, and the tree's expansion rules.
#include "component/modstart.h"
#include "component/optionsvalues.h"
#include "core/prompter.h"
#include "network/retrievedialog.h"
#include "network/retrievetarget.h"
#include "toolkit/viewercontrol.h"
#include "viewer/frmdicomviewer.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ravlen;
using network::EntryTag;

namespace {

// A loopback port nobody listens on: bound once to learn a free number, then released.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

class RetrieveDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir *folder = [] {
            auto *dir = new QTemporaryDir;
            modStart::StartUp(dir->path());
            return dir;
        }();
        (void)folder;
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        options().RemoteNode = "127.0.0.1";
        options().RemotePort = QString::number(closedPort());
        options().Port = QString::number(closedPort());
        options().retrieveMethod = OptionsValues::RetrieveMethod::CGET;
        options().queryRoot = OptionsValues::QueryRoot::PatientRoot;
        dicomViewer().tl->clear();
    }
    void TearDown() override {
        if (retrieveDialogExists()) {
            retrieveDialog().close();
        }
        if (dicomViewerExists()) {
            dicomViewer().Viewer->stopListening();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A dialog whose query object exists (the first query failed on a closed port) and whose
    // tree holds entries made by hand.
    RetrieveDialog &dialogWithQuery() {
        RetrieveDialog &d = retrieveDialog();
        d.LoadPatients({}, {}, {}, {}, {}, {}, {}, {});
        prompts->records.clear();
        return d;
    }
    QTreeWidgetItem *addEntry(RetrieveDialog &d, const EntryTag &tag, const QString &text = "x") {
        auto *item = new QTreeWidgetItem(d.Tree);
        item->setText(0, text);
        item->setData(0, RetrieveDialog::kTagRole,
                      QVariantList{tag.level, tag.patientId, tag.studyUid, tag.seriesUid, {}});
        return item;
    }
    QString trace() const { return dicomViewer().tl->toPlainText(); }

    ScriptedPrompter *prompts = nullptr;
};

// This program has no scout viewer, so "Slice" has nowhere to retrieve to.
TEST_F(RetrieveDialogTest, SliceNeedsTheScoutViewerAndCloseUnloads) {
    RetrieveDialog &d = retrieveDialog();
    EXPECT_FALSE(d.cmdRetSlice->isEnabled());
    d.show();
    d.cmdClose->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(retrieveDialogExists());
}

TEST_F(RetrieveDialogTest, FailingFirstQueryShowsOneMessageNamingThePeerAndLeavesTreeEmpty) {
    const QString port = options().RemotePort;
    RetrieveDialog &d = retrieveDialog();
    d.LoadPatients("P", {}, {}, {}, {}, {}, {}, {});
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages().first().contains("127.0.0.1:" + port))
        << prompts->messages().first().toStdString();
    EXPECT_EQ(d.Tree->topLevelItemCount(), 0);
    EXPECT_FALSE(d.isBusy());
    EXPECT_FALSE(d.cmdCancel->isVisible());

    prompts->records.clear();
    options().RemotePort = "10 4";
    d.LoadPatients({}, {}, {}, {}, {}, {}, {}, {});
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages().first().contains("\"10 4\""));
}

TEST_F(RetrieveDialogTest, RetrieveWithoutSelectionRestoresPointersAndAsksNothing) {
    RetrieveDialog &d = dialogWithQuery();
    d.Retrieve_Click(); // empty tree: only the first marker
    EXPECT_EQ(trace(), "start retre 0");

    addEntry(d, EntryTag{network::kPatientLevel, "P1", {}, {}});
    d.Tree->clearSelection();
    d.Retrieve_Click();
    EXPECT_EQ(trace(), "start retre 0start retre 0start retre");
    EXPECT_TRUE(dicomViewer().isVisible());
    EXPECT_NE(d.cursor().shape(), Qt::WaitCursor);
    EXPECT_NE(dicomViewer().cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(prompts->messages().isEmpty());
    EXPECT_FALSE(dicomViewer().Viewer->listening());
}

TEST_F(RetrieveDialogTest, BadLevelAndBadPortEndWithAMessageAndNormalPointers) {
    RetrieveDialog &d = dialogWithQuery();
    QTreeWidgetItem *odd = addEntry(d, EntryTag{7, "P1", {}, {}});
    odd->setSelected(true);
    d.Retrieve_Click();
    EXPECT_EQ(prompts->messages(), QStringList{"Invalid Level"});
    EXPECT_NE(d.cursor().shape(), Qt::WaitCursor);

    prompts->records.clear();
    odd->setSelected(false);
    QTreeWidgetItem *series = addEntry(d, EntryTag{network::kSeriesLevel, "P1", "1.2", "1.2.3"});
    series->setSelected(true);
    options().Port = "eleven";
    d.Retrieve_Click();
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages().first().contains("\"eleven\""));
    EXPECT_TRUE(trace().endsWith("tree node is selectedlisten"));
    EXPECT_NE(dicomViewer().cursor().shape(), Qt::WaitCursor);
    EXPECT_FALSE(dicomViewer().Viewer->listening());
}

TEST_F(RetrieveDialogTest, RefusedGetKeepsViewerIntactAndLeavesItListening) {
    dicomViewer().OpenFiles({}); // an empty viewer; nothing to lose but the listener state
    RetrieveDialog &d = dialogWithQuery();
    QTreeWidgetItem *study = addEntry(d, EntryTag{network::kStudyLevel, "P1", "1.2", {}});
    study->setSelected(true);
    int finished = -1;
    QObject::connect(&d, &RetrieveDialog::retrievalFinished, [&](int added) { finished = added; });
    d.Tree_DblClick(); // same as Retrieve
    // The peer's port is closed: one message, with the number and the text of the failure.
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages().first().startsWith("C-GET failed - error number "))
        << prompts->messages().first().toStdString();
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(dicomViewer().imageCount(), 0);
    EXPECT_TRUE(dicomViewer().Viewer->listening());
    EXPECT_NE(d.cursor().shape(), Qt::WaitCursor);
    EXPECT_NE(dicomViewer().cursor().shape(), Qt::WaitCursor);
}

TEST_F(RetrieveDialogTest, ExpansionRulesPerLevelCode) {
    RetrieveDialog &d = dialogWithQuery();
    QTreeWidgetItem *series = addEntry(d, EntryTag{network::kSeriesLevel, "P", "S", "E"});
    new QTreeWidgetItem(series);
    series->setExpanded(true); // a series has nothing below it
    QTreeWidgetItem *loaded =
        addEntry(d, EntryTag{network::kPatientLevel, "P", {}, {}}.markedLoaded());
    new QTreeWidgetItem(loaded);
    loaded->setExpanded(true); // already listed: no second query
    EXPECT_TRUE(prompts->messages().isEmpty());

    QTreeWidgetItem *odd = addEntry(d, EntryTag{9, "P", {}, {}});
    new QTreeWidgetItem(odd);
    odd->setExpanded(true);
    EXPECT_EQ(prompts->messages(), QStringList{"Invalid Level"});

    // A failed study list keeps the placeholder and folds the entry, so it can be tried again.
    prompts->records.clear();
    QTreeWidgetItem *patient = addEntry(d, EntryTag{network::kPatientLevel, "P", {}, {}});
    (new QTreeWidgetItem(patient))->setText(0, network::kStudyPlaceholder);
    patient->setExpanded(true);
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages().first().startsWith("The study list could not be retrieved"));
    EXPECT_FALSE(patient->isExpanded());
    ASSERT_EQ(patient->childCount(), 1);
    EXPECT_EQ(patient->child(0)->text(0), network::kStudyPlaceholder);
    EXPECT_EQ(d.tagOf(patient).level, network::kPatientLevel);
}

TEST_F(RetrieveDialogTest, ViewerRetrieveCommandRefillsAndShowsTheDialog) {
    frmDicomViewer &v = dicomViewer();
    QAction *retrieve = v.entry("Retrieve");
    ASSERT_NE(retrieve, nullptr);
    EXPECT_TRUE(retrieve->isEnabled());
    const int loads = retrieveDialog().loadCount();
    retrieveDialog().LoadPatients("ID", "NAME", {}, {}, {}, {}, {}, "1.2");
    retrieve->trigger();
    EXPECT_EQ(retrieveDialog().loadCount(), loads + 2);
    EXPECT_EQ(retrieveDialog().queryKeys(), PatientKeys{});
    EXPECT_TRUE(retrieveDialog().isVisible());
}

} // namespace
