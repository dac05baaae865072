// The query dialog against a real PACS: OpenImage fills the tree, entries expand to studies and
// series, and each retrieval method brings the study into the viewer, each image once.
#include "component/clsravlenpacsviewer.h"
#include "component/modstart.h"
#include "component/optionsvalues.h"
#include "core/prompter.h"
#include "network/retrievedialog.h"
#include "support/dicomtestdata.h"
#include "support/peersupport.h"
#include "toolkit/dicomquery.h"
#include "toolkit/image.h"
#include "toolkit/netops.h"
#include "toolkit/viewercontrol.h"
#include "viewer/frmdicomviewer.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <set>

using namespace ravlen;
using Method = OptionsValues::RetrieveMethod;

using namespace ravlen::testsupport;

namespace {

constexpr int StudyImages = 21; // what the fixture's study holds (make-sample-study)
constexpr int StudySeries = 6;

class RetrievePeer : public ::testing::Test {
protected:
    void SetUp() override {
        env = readEnv(QStringLiteral(RAVLEN_ORTHANC_ENV_FILE));
        ASSERT_TRUE(env.count("ORTHANC_DICOM_PORT")) << "the orthanc fixture did not run";
        static QTemporaryDir *folder = [] {
            auto *dir = new QTemporaryDir;
            modStart::StartUp(dir->path());
            return dir;
        }();
        (void)folder;
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        OptionsValues &o = options();
        o.RemoteNode = "127.0.0.1";
        o.RemotePort = env.at("ORTHANC_DICOM_PORT");
        o.RemoteAE = env.at("ORTHANC_AET");
        o.CallingAE = "RAVLENPACS";
        o.MoveDestination = "RAVLENPACS";
        o.Port = env.at("ORTHANC_MODALITY_RAVLENPACS_PORT");
        o.retrieveMethod = Method::CGET;
        o.queryRoot = OptionsValues::QueryRoot::PatientRoot;
        o.chkAsync = false;
        o.CopyAllFrames = false;
        dicomViewer().DeleteAll_Click();
        dicomViewer().tl->clear();
    }
    void TearDown() override {
        if (retrieveDialogExists()) {
            retrieveDialog().close();
        }
        if (dicomViewerExists()) {
            dicomViewer().Viewer->stopListening();
            dicomViewer().DeleteAll_Click();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString studyUid() const {
        toolkit::DicomQuery q;
        q.setRemoteHost("127.0.0.1");
        q.setRemotePort(env.at("ORTHANC_DICOM_PORT").toInt());
        q.setCalledAE(env.at("ORTHANC_AET"));
        q.setRoot("STUDY");
        q.setLevel("STUDY");
        const auto results = q.find();
        return results.empty() ? QString() : results.front().studyInstanceUID();
    }

    // Each image of the viewer is a different instance.
    static std::set<QString> instances() {
        std::set<QString> uids;
        toolkit::ImageCollection &images = dicomViewer().Viewer->images();
        for (int p = 1; p <= images.count(); ++p) {
            uids.insert(images.item(p)->instanceUID());
        }
        return uids;
    }

    std::map<QString, QString> env;
    ScriptedPrompter *prompts = nullptr;
};

TEST_F(RetrievePeer, OpenImageWithAStudyUidFillsTheTreeAndExpandsToSeries) {
    const QString uid = studyUid();
    ASSERT_FALSE(uid.isEmpty());
    clsRavlenPACSViewer host;
    host.setStudyUID(uid);
    host.OpenImage();
    RetrieveDialog &d = retrieveDialog();
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(prompts->messages().isEmpty()) << prompts->messages().join('|').toStdString();

    ASSERT_EQ(d.Tree->topLevelItemCount(), 1);
    QTreeWidgetItem *patient = d.Tree->topLevelItem(0);
    EXPECT_TRUE(
        QRegularExpression(R"(^.+ PATID:\S+ DOB:\d* \(.*\) $)").match(patient->text(0)).hasMatch())
        << patient->text(0).toStdString();
    // Expanded at once, and marked as listed.
    EXPECT_TRUE(patient->isExpanded());
    EXPECT_EQ(d.tagOf(patient).level, -network::kPatientLevel);
    ASSERT_EQ(patient->childCount(), 1);
    QTreeWidgetItem *study = patient->child(0);
    EXPECT_TRUE(study->text(0).contains(" --- (")) << study->text(0).toStdString();
    EXPECT_TRUE(study->text(0).endsWith(") "));
    const network::EntryTag studyTag = d.tagOf(study);
    EXPECT_EQ(studyTag.level, network::kStudyLevel);
    EXPECT_EQ(studyTag.studyUid, uid);
    EXPECT_EQ(studyTag.patientId, d.tagOf(patient).patientId);
    ASSERT_EQ(study->childCount(), 1);
    EXPECT_EQ(study->child(0)->text(0), network::kSeriesPlaceholder);

    study->setExpanded(true);
    ASSERT_EQ(study->childCount(), StudySeries);
    std::set<QString> series;
    for (int i = 0; i < study->childCount(); ++i) {
        const network::EntryTag tag = d.tagOf(study->child(i));
        EXPECT_EQ(tag.level, network::kSeriesLevel);
        EXPECT_EQ(tag.studyUid, uid);
        series.insert(tag.seriesUid);
        EXPECT_FALSE(study->child(i)->text(0).isEmpty());
        EXPECT_EQ(study->child(i)->childCount(), 0);
    }
    EXPECT_EQ(int(series.size()), StudySeries);
    // Listed entries are not asked again: folding and opening keeps the same children.
    study->setExpanded(false);
    study->setExpanded(true);
    EXPECT_EQ(study->childCount(), StudySeries);
    EXPECT_TRUE(prompts->messages().isEmpty());
}

TEST_F(RetrievePeer, StudyRootListsStudiesWithTheirSeriesAndRetrieveRefillsUnfiltered) {
    options().queryRoot = OptionsValues::QueryRoot::StudyRoot;
    RetrieveDialog &d = retrieveDialog();
    dicomViewer().entry("Retrieve")->trigger(); // every key empty
    // Other tests may have stored further studies in the shared PACS: every one is listed.
    ASSERT_GE(d.Tree->topLevelItemCount(), 1);
    for (int i = 0; i < d.Tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *study = d.Tree->topLevelItem(i);
        EXPECT_TRUE(study->text(0).contains(")  / ")) << study->text(0).toStdString();
        EXPECT_EQ(d.tagOf(study).baseLevel(), network::kStudyLevel);
        EXPECT_EQ(study->isExpanded(), i == 0); // only the first is opened at once
    }
    QTreeWidgetItem *first = d.Tree->topLevelItem(0);
    ASSERT_GE(first->childCount(), 1);
    EXPECT_EQ(d.tagOf(first->child(0)).level, network::kSeriesLevel);
    EXPECT_TRUE(prompts->messages().isEmpty());
}

class RetrieveByMethod : public RetrievePeer, public ::testing::WithParamInterface<Method> {};

TEST_P(RetrieveByMethod, TheStudyArrivesInTheViewerOnceAndTheListenerIsBack) {
    options().retrieveMethod = GetParam();
    const QString uid = studyUid();
    RetrieveDialog &d = retrieveDialog();
    d.LoadPatients({}, {}, {}, {}, {}, {}, {}, uid);
    ASSERT_GE(d.Tree->topLevelItemCount(), 1);
    ASSERT_GE(d.Tree->topLevelItem(0)->childCount(), 1);
    d.Tree->topLevelItem(0)->child(0)->setSelected(true); // the study
    int finished = -1;
    QObject::connect(&d, &RetrieveDialog::retrievalFinished, [&](int added) { finished = added; });

    d.Retrieve->click();
    if (GetParam() == Method::A_CMOVE) {
        // The images come through the viewer's listener after the peer reported the move done.
        EXPECT_EQ(finished, 0);
        waitFor([] { return dicomViewer().imageCount() >= StudyImages; });
    } else {
        EXPECT_EQ(finished, StudyImages);
        EXPECT_TRUE(dicomViewer().tl->toPlainText().contains(" adding images "));
    }
    EXPECT_TRUE(prompts->messages().isEmpty()) << prompts->messages().join('|').toStdString();
    EXPECT_EQ(dicomViewer().imageCount(), StudyImages);
    EXPECT_EQ(int(instances().size()), StudyImages);
    EXPECT_TRUE(dicomViewer().isVisible());
    EXPECT_TRUE(dicomViewer().Viewer->listening());
    EXPECT_NE(dicomViewer().cursor().shape(), Qt::WaitCursor);
    EXPECT_NE(d.cursor().shape(), Qt::WaitCursor);
    EXPECT_FALSE(d.isBusy());
    const QString trace = dicomViewer().tl->toPlainText();
    EXPECT_TRUE(trace.startsWith("start retre 0start retretree node is selectedlisten"))
        << trace.toStdString();
    if (GetParam() == Method::S_CMOVE) {
        EXPECT_TRUE(trace.contains("not slice sync listening again"));
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, RetrieveByMethod,
                         ::testing::Values(Method::CGET, Method::S_CMOVE, Method::A_CMOVE),
                         [](const auto &info) {
                             switch (info.param) {
                             case Method::CGET:
                                 return std::string("CGet");
                             case Method::S_CMOVE:
                                 return std::string("SyncMove");
                             default:
                                 return std::string("AsyncMove");
                             }
                         });

TEST_F(RetrievePeer, CancelKeepsWhatArrivedWithoutAFailureMessage) {
    RetrieveDialog &d = retrieveDialog();
    d.LoadPatients({}, {}, {}, {}, {}, {}, {}, studyUid());
    ASSERT_GE(d.Tree->topLevelItemCount(), 1);
    d.Tree->topLevelItem(0)->setSelected(true); // the patient
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (d.isBusy() && dicomViewer().imageCount() > 0) {
            d.cmdCancel->click();
            watch.stop();
        }
    });
    watch.start(1);
    int finished = -1;
    QObject::connect(&d, &RetrieveDialog::retrievalFinished, [&](int added) { finished = added; });
    d.Retrieve_Click();
    EXPECT_TRUE(prompts->messages().isEmpty()) << prompts->messages().join('|').toStdString();
    const int shown = dicomViewer().imageCount();
    EXPECT_GE(shown, 1);
    EXPECT_LE(shown, StudyImages);
    EXPECT_EQ(finished, shown);
    EXPECT_EQ(int(instances().size()), shown);
    EXPECT_FALSE(d.cmdCancel->isVisible());
}

TEST_F(RetrievePeer, StorageOnlyPeerRefusesGetWithTheExplanationAndAddsNothing) {
    const QString storescp = testdata::tool(QStringLiteral("storescp"));
    ASSERT_FALSE(storescp.isEmpty());
    const QTemporaryDir dir;
    const int port = freePort();
    QProcess peer;
    peer.start(storescp, {QStringLiteral("-od"), dir.path(), QString::number(port)});
    ASSERT_TRUE(peer.waitForStarted());
    ASSERT_TRUE(waitFor(
        [&] { return toolkit::verifyEcho("127.0.0.1", port, "RAVLENPACS", "STORESCP") == 0; }));
    options().RemotePort = QString::number(port);
    options().RemoteAE = "STORESCP";
    RetrieveDialog &d = retrieveDialog();
    d.LoadPatients({}, {}, {}, {}, {}, {}, {}, {}); // a storage peer answers no C-FIND
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages().first().contains(QStringLiteral("127.0.0.1:%1").arg(port)))
        << prompts->messages().first().toStdString();
    EXPECT_EQ(d.Tree->topLevelItemCount(), 0);

    // An entry as an earlier query against another peer would have left it.
    prompts->records.clear();
    auto *item = new QTreeWidgetItem(d.Tree);
    item->setData(0, RetrieveDialog::kTagRole,
                  QVariantList{network::kStudyLevel, "P", "1.2.3", "", {}});
    item->setSelected(true);
    d.Retrieve_Click();
    EXPECT_EQ(prompts->messages(), QStringList{network::cgetRefusedText()});
    EXPECT_EQ(dicomViewer().imageCount(), 0);
    EXPECT_NE(dicomViewer().cursor().shape(), Qt::WaitCursor);
    peer.kill();
    peer.waitForFinished();
}

} // namespace

TEST_F(RetrievePeer, PreviousImagesListsEveryStudyOfThePatientOnScreen) {
    // A second study of the fixture's patient, stored here: an earlier exam.
    toolkit::DicomQuery q;
    q.setRemoteHost("127.0.0.1");
    q.setRemotePort(env.at("ORTHANC_DICOM_PORT").toInt());
    q.setCalledAE(env.at("ORTHANC_AET"));
    q.setRoot("STUDY");
    q.setLevel("STUDY");
    const auto studies = q.find();
    ASSERT_FALSE(studies.empty());
    const QString patientId = studies.front().patientID();
    const QString prior = QStringLiteral("1.2.826.0.1.3680043.9.7777.88.1");
    toolkit::DataSetBuilder b =
        testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.7"),
                              QStringLiteral("1.2.826.0.1.3680043.9.7777.88.2"));
    b.set(0x0010, 0x0010, studies.front().patientName());
    b.set(0x0010, 0x0020, patientId);
    b.set(0x0020, 0x000D, prior);
    b.set(0x0020, 0x000E, QStringLiteral("1.2.826.0.1.3680043.9.7777.88.3"));
    b.set(0x0008, 0x0020, QStringLiteral("20190305"));
    b.setPixels(testdata::monochrome(2, 2, 1, 16, 12, false, {0, 1, 2, 3}));
    const auto earlier =
        toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), "prior");
    ASSERT_EQ(toolkit::sendImage(*earlier, "127.0.0.1", env.at("ORTHANC_DICOM_PORT").toInt(),
                                 "RAVLENPACS", env.at("ORTHANC_AET")),
              toolkit::StatusSuccess);

    // The viewer shows the patient; Close All leaves the patient's ID for Previous Images.
    frmDicomViewer &v = dicomViewer();
    v.Viewer->images().add(earlier);
    v.InitImage();
    ASSERT_EQ(v.lblPatientID->text(), patientId);
    v.DeleteAll_Click();
    v.cmdPreImages->click();

    RetrieveDialog &d = retrieveDialog();
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(prompts->messages().isEmpty()) << prompts->messages().join('|').toStdString();
    ASSERT_EQ(d.Tree->topLevelItemCount(), 1);
    QTreeWidgetItem *patient = d.Tree->topLevelItem(0);
    EXPECT_EQ(d.tagOf(patient).patientId, patientId);
    std::set<QString> listed;
    for (int i = 0; i < patient->childCount(); ++i) {
        listed.insert(d.tagOf(patient->child(i)).studyUid);
    }
    EXPECT_TRUE(listed.count(prior));
    EXPECT_TRUE(listed.count(studies.front().studyInstanceUID()));
    EXPECT_GE(listed.size(), 2u);

    // The other tests retrieve "the first study": the shared PACS gets its one study back.
    QProcess curl;
    const QString base = QStringLiteral("http://127.0.0.1:") + env.at("ORTHANC_HTTP_PORT");
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-X"), QStringLiteral("POST"),
                QStringLiteral("--data"), prior, base + QStringLiteral("/tools/lookup")});
    ASSERT_TRUE(curl.waitForFinished(10000));
    const QRegularExpressionMatch id =
        QRegularExpression(QStringLiteral("\"ID\"\\s*:\\s*\"([^\"]+)\""))
            .match(QString::fromUtf8(curl.readAllStandardOutput()));
    ASSERT_TRUE(id.hasMatch());
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-X"), QStringLiteral("DELETE"),
                base + QStringLiteral("/studies/") + id.captured(1)});
    ASSERT_TRUE(curl.waitForFinished(10000));
}
