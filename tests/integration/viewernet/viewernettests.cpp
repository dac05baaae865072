// The viewer's network commands and its listener against real peers on loopback: verify and
// send to an Orthanc, send all to a storage peer that takes only standard classes, and
// storescu calling into the listener that the options' port field starts.
#include "support/peersupport.h"
#include "viewertestsupport.h"

#include "component/modstart.h"
#include "component/optionsbox.h"
#include "component/optionsvalues.h"
#include "core/prompter.h"
#include "core/settingsstore.h"
#include "dialogs/information.h"
#include "toolkit/netops.h"
#include "toolkit/viewercontrol.h"
#include "viewer/frmdicomviewer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>

using namespace ravlen;

using namespace ravlen::testsupport;

namespace {

class MemoryStore : public SettingsStore {
public:
    QString get(const QString &, const QString &, const QString &,
                const QString &defaultValue) const override {
        return defaultValue;
    }
    void save(const QString &, const QString &, const QString &, const QString &) override {}
    void deleteApplication(const QString &) override {}
};

bool verifyEchoOk(int port) {
    return toolkit::verifyEcho(QStringLiteral("127.0.0.1"), port, QStringLiteral("RAVLENPACS"),
                               QStringLiteral("STORESCP")) == 0;
}

QString script(const QString &name) {
    return QStringLiteral(RAVLEN_SOURCE_DIR "/scripts/") + name;
}

// A CT image with its own instance UID; `sopClass` may be a private one.
std::shared_ptr<toolkit::Image>
ctImage(const QString &instance,
        const QString &sopClass = QStringLiteral("1.2.840.10008.5.1.4.1.1.2")) {
    test::TestImage desc;
    desc.name = instance;
    toolkit::DataSetBuilder b = test::imageBuilder(desc);
    b.set(0x0008, 0x0016, sopClass);
    b.set(0x0008, 0x0018, instance);
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), instance);
}

class ViewerNet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_orthancDir = new QTemporaryDir;
        s_env = readEnv(QString());
        const QString envFile = s_orthancDir->filePath(QStringLiteral("orthanc.env"));
        if (QProcess::execute(script(QStringLiteral("orthanc-start")), {envFile}) == 0) {
            s_env = readEnv(envFile);
        }
    }
    static void TearDownTestSuite() {
        QProcess::execute(script(QStringLiteral("orthanc-stop")),
                          {s_orthancDir->filePath(QStringLiteral("orthanc.env"))});
        delete s_orthancDir;
    }

    void SetUp() override {
        static QTemporaryDir iniFolder;
        modStart::StartUp(iniFolder.path());
        setSettings(std::make_unique<MemoryStore>());
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        saved = options();
        options().StorageNode = QStringLiteral("127.0.0.1");
        options().CallingAE = QStringLiteral("RAVLENPACS");
    }
    void TearDown() override {
        options() = saved;
        if (dicomViewerExists()) {
            dicomViewer().Viewer->stopListening();
            delete &dicomViewer();
        }
    }

    static bool orthancUp() { return s_env.count("ORTHANC_DICOM_PORT") > 0; }
    static void aimAtOrthanc() {
        options().StoragePort = s_env.at("ORTHANC_DICOM_PORT");
        options().StorageAE = s_env.at("ORTHANC_AET");
    }
    // Whether the Orthanc holds the instance, asked over its REST interface.
    static bool orthancHas(const QString &instance) {
        QProcess curl;
        curl.start(
            QStringLiteral("curl"),
            {QStringLiteral("-s"), QStringLiteral("-X"), QStringLiteral("POST"),
             QStringLiteral("http://127.0.0.1:%1/tools/lookup").arg(s_env.at("ORTHANC_HTTP_PORT")),
             QStringLiteral("-d"), instance});
        curl.waitForFinished(30000);
        return curl.readAllStandardOutput().contains("\"Instance\"");
    }

    ScriptedPrompter *prompts = nullptr;
    OptionsValues saved;
    static inline QTemporaryDir *s_orthancDir = nullptr;
    static inline std::map<QString, QString> s_env;
};

TEST_F(ViewerNet, VerifyReportsTheStatusOfThePacsAndOfAClosedPort) {
    ASSERT_TRUE(orthancUp());
    aimAtOrthanc();
    frmDicomViewer &v = dicomViewer();
    v.Verify_Click();
    options().StoragePort = QString::number(freePort());
    v.Verify_Click();
    ASSERT_EQ(prompts->messages().size(), 2);
    EXPECT_EQ(prompts->messages()[0], QStringLiteral("Verify returned status: 0"));
    // A refusal's box says exactly its number; what it means and which peer it was are in
    // the box's detail.
    EXPECT_EQ(prompts->messages()[1], QStringLiteral("Verify returned status: 1401"));
    EXPECT_TRUE(prompts->records.back().detail.contains(options().StoragePort))
        << prompts->records.back().detail.toStdString();
    EXPECT_TRUE(prompts->records.front().detail.isEmpty());
    EXPECT_FALSE(v.networkBusy());
}

TEST_F(ViewerNet, SendAllAndSendSelectedStoreInThePacs) {
    ASSERT_TRUE(orthancUp());
    aimAtOrthanc();
    frmDicomViewer &v = dicomViewer();
    const QStringList uids = {QStringLiteral("1.2.826.0.1.3680043.9.7777.1.1"),
                              QStringLiteral("1.2.826.0.1.3680043.9.7777.1.2")};
    for (const QString &uid : uids) {
        v.Viewer->images().add(ctImage(uid));
    }
    v.SendAll_Click();
    EXPECT_TRUE(prompts->messages().isEmpty()) << prompts->messages().join('|').toStdString();
    for (const QString &uid : uids) {
        EXPECT_TRUE(orthancHas(uid)) << uid.toStdString();
    }

    v.SendSelected_Click();
    ASSERT_FALSE(prompts->messages().isEmpty());
    EXPECT_EQ(prompts->messages().last(), QStringLiteral("Result code = 0"));
}

TEST_F(ViewerNet, SendAllStopsAtTheFirstImageThePeerRefuses) {
    const QTemporaryDir received;
    const int port = freePort();
    QProcess peer;
    peer.start(QStringLiteral("storescp"),
               {QStringLiteral("-aet"), QStringLiteral("STORESCP"), QStringLiteral("-od"),
                received.path(), QString::number(port)});
    ASSERT_TRUE(peer.waitForStarted());
    options().StoragePort = QString::number(port);
    options().StorageAE = QStringLiteral("STORESCP");
    frmDicomViewer &v = dicomViewer();
    ASSERT_TRUE(waitFor([&] { return verifyEchoOk(port); }));

    // A storage peer takes the standard's storage classes only: the private one is refused.
    v.Viewer->images().add(ctImage(QStringLiteral("1.2.826.0.1.3680043.9.7777.2.1")));
    v.Viewer->images().add(ctImage(QStringLiteral("1.2.826.0.1.3680043.9.7777.2.2"),
                                   QStringLiteral("1.3.6.1.4.1.5962.301.9")));
    v.Viewer->images().add(ctImage(QStringLiteral("1.2.826.0.1.3680043.9.7777.2.3")));
    v.SendAll_Click();
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages()[0].startsWith(QStringLiteral("Send failed - code ")));
    EXPECT_FALSE(prompts->messages()[0].startsWith(QStringLiteral("Send failed - code 0")));
    EXPECT_FALSE(prompts->messages()[0].contains(QLatin1Char('\n')));
    EXPECT_FALSE(prompts->records.front().detail.isEmpty());

    const QStringList files = QDir(received.path()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
    EXPECT_TRUE(files[0].contains(QStringLiteral("1.2.826.0.1.3680043.9.7777.2.1")));
    peer.kill();
    peer.waitForFinished();
}

TEST_F(ViewerNet, ThePortFieldMovesTheListenerAndCallsAreLoggedAndReceived) {
    const QTemporaryDir files;
    QStringList paths;
    for (int i = 1; i <= 2; ++i) {
        test::TestImage desc;
        desc.name = QStringLiteral("in%1").arg(i);
        const QString path = files.filePath(desc.name + QStringLiteral(".dcm"));
        test::imageBuilder(desc).save(path, toolkit::TransferSyntax::ExplicitLittle);
        paths << path;
    }
    const QString privatePath = files.filePath(QStringLiteral("private.dcm"));
    {
        test::TestImage desc;
        desc.name = QStringLiteral("private");
        toolkit::DataSetBuilder b = test::imageBuilder(desc);
        b.set(0x0008, 0x0016, QStringLiteral("1.3.6.1.4.1.5962.301.9"));
        b.save(privatePath, toolkit::TransferSyntax::ExplicitLittle);
    }

    // Entering the field stops the listener, leaving it starts it on the port typed there.
    OptionsBox &box = optionsBox();
    const int port = freePort();
    box.Port->setText(QString::number(port));
    frmDicomViewer &v = dicomViewer();
    box.Port_GotFocus();
    EXPECT_FALSE(v.Viewer->listening());
    box.Port_LostFocus();
    ASSERT_TRUE(v.Viewer->listening());

    const QString associationsBefore = information().associationsText();
    const QString receivedBefore = information().imagesReceivedText();
    QProcess caller;
    caller.start(QStringLiteral("storescu"),
                 QStringList{QStringLiteral("-aet"), QStringLiteral("MODALITY"),
                             QStringLiteral("-aec"), QStringLiteral("RAVLEN"),
                             QStringLiteral("127.0.0.1"), QString::number(port)} +
                     paths);
    ASSERT_TRUE(
        waitFor([&] { return caller.state() == QProcess::NotRunning && v.imageCount() == 2; }));
    EXPECT_EQ(caller.exitCode(), 0) << caller.readAllStandardError().toStdString();
    EXPECT_EQ(information().associationsText().mid(associationsBefore.size()),
              QStringLiteral("Call from MODALITY (127.0.0.1) to RAVLEN ACCEPTED\r\n"));
    const QString received = information().imagesReceivedText().mid(receivedBefore.size());
    EXPECT_EQ(received.count(QStringLiteral("Name = Doe, John Quincy\r\n  instance = ")), 2);
    EXPECT_EQ(v.tl->toPlainText(), QStringLiteral("ARAR2img rec img rec "));

    // A private class is refused as a context, yet the association is accepted and logged.
    QProcess privateCaller;
    privateCaller.start(QStringLiteral("storescu"),
                        {QStringLiteral("-aet"), QStringLiteral("VENDOR"), QStringLiteral("-aec"),
                         QStringLiteral("RAVLEN"), QStringLiteral("127.0.0.1"),
                         QString::number(port), privatePath});
    ASSERT_TRUE(waitFor([&] { return privateCaller.state() == QProcess::NotRunning; }));
    EXPECT_TRUE(information().associationsText().endsWith(
        QStringLiteral("Call from VENDOR (127.0.0.1) to RAVLEN ACCEPTED\r\n")));
    QApplication::processEvents();
    EXPECT_EQ(v.imageCount(), 2);

    box.Port_GotFocus();
    EXPECT_FALSE(v.Viewer->listening());
    // A port that is not a number: the listener stays off and the user is told.
    box.Port->setText(QStringLiteral("11x"));
    box.Port_LostFocus();
    EXPECT_FALSE(v.Viewer->listening());
    ASSERT_FALSE(prompts->messages().isEmpty());
    EXPECT_TRUE(prompts->messages().last().contains(QStringLiteral("\"11x\"")));
    box.Port->setText(saved.Port);
}

} // namespace
