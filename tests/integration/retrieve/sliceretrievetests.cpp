// "Slice" against a real PACS: the scout series retrieved by each method lands in the scout
// viewer (an asynchronous move through the scout's own listener), not in the main viewer, and
// the main viewer takes the port back with its next retrieval.
#include "component/modstart.h"
#include "component/optionsvalues.h"
#include "core/prompter.h"
#include "network/retrievedialog.h"
#include "scout/frmsliceviewer.h"
#include "support/peersupport.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/frmdicomviewer.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace ravlen;
using namespace ravlen::testsupport;
using Method = OptionsValues::RetrieveMethod;

namespace {

class SliceRetrieve : public ::testing::TestWithParam<Method> {
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
        o.AEName.clear();
        o.Port = env.at("ORTHANC_MODALITY_RAVLENPACS_PORT");
        o.queryRoot = OptionsValues::QueryRoot::PatientRoot;
        o.chkAsync = false;
    }
    void TearDown() override {
        if (retrieveDialogExists()) {
            retrieveDialog().close();
        }
        for (frmDicomViewer *w :
             {sliceViewerExists() ? static_cast<frmDicomViewer *>(&sliceViewer()) : nullptr,
              dicomViewerExists() ? &dicomViewer() : nullptr}) {
            if (w) {
                w->Viewer->stopListening();
                delete w;
            }
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::map<QString, QString> env;
    ScriptedPrompter *prompts = nullptr;
};

TEST_P(SliceRetrieve, TheScoutSeriesLandsInTheScoutViewer) {
    options().retrieveMethod = GetParam();
    RetrieveDialog &d = retrieveDialog();
    d.LoadPatients({}, {}, {}, {}, {}, {}, {}, {});
    ASSERT_GE(d.Tree->topLevelItemCount(), 1);
    // The scout series of the sample study: patient, study, then the series named SCOUT.
    QTreeWidgetItem *scoutSeries = nullptr;
    for (int p = 0; p < d.Tree->topLevelItemCount() && !scoutSeries; ++p) {
        QTreeWidgetItem *patient = d.Tree->topLevelItem(p);
        patient->setExpanded(true);
        for (int s = 0; s < patient->childCount() && !scoutSeries; ++s) {
            QTreeWidgetItem *study = patient->child(s);
            study->setExpanded(true);
            for (int i = 0; i < study->childCount(); ++i) {
                if (study->child(i)->text(0) == "SCOUT") {
                    scoutSeries = study->child(i);
                    break;
                }
            }
        }
    }
    ASSERT_NE(scoutSeries, nullptr);
    d.Tree->clearSelection();
    scoutSeries->setSelected(true);
    dicomViewer().tl->clear();

    d.cmdRetSlice->click();
    if (GetParam() == Method::A_CMOVE) {
        waitFor([] { return sliceViewerExists() && sliceViewer().imageCount() >= 1; });
    }
    EXPECT_TRUE(prompts->messages().isEmpty()) << prompts->messages().join('|').toStdString();
    ASSERT_TRUE(sliceViewerExists());
    frmSliceViewer &scout = sliceViewer();
    EXPECT_TRUE(scout.isVisible());
    ASSERT_EQ(scout.imageCount(), 1);
    EXPECT_EQ(scout.Viewer->images().item(1)->attribute(0x0008, 0x0008).toStringList().last(),
              "LOCALIZER");
    EXPECT_EQ(dicomViewer().imageCount(), 0) << "nothing went to the main viewer";
    EXPECT_TRUE(scout.Viewer->listening()) << "the port is the scout's after its retrieval";
    EXPECT_FALSE(dicomViewer().Viewer->listening());
    EXPECT_TRUE(dicomViewer().tl->toPlainText().startsWith("start retre 0start retre"));
    EXPECT_FALSE(dicomViewer().tl->toPlainText().contains("not slice sync"));

    // The main viewer's next retrieval takes the port back.
    d.Retrieve->click();
    if (GetParam() == Method::A_CMOVE) {
        waitFor([] { return dicomViewer().imageCount() >= 1; });
    }
    EXPECT_EQ(dicomViewer().imageCount(), 1);
    EXPECT_TRUE(dicomViewer().Viewer->listening());
    EXPECT_FALSE(scout.Viewer->listening());
    EXPECT_EQ(scout.imageCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Methods, SliceRetrieve,
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

} // namespace
