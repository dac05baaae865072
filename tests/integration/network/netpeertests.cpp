// The toolkit's network side against real peers on loopback: the Orthanc of the fixture
// (tests/integration/network/CMakeLists.txt), throwaway Orthancs for the destructive cases,
// DCMTK's storescp/storescu, and the listener in this process.
#include "core/errors.h"
#include "support/dicomtestdata.h"
#include "support/peersupport.h"
#include "toolkit/dicomquery.h"
#include "toolkit/listener.h"
#include "toolkit/netops.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <set>
#include <thread>

using namespace ravlen;
using namespace ravlen::toolkit;

using namespace ravlen::testsupport;

namespace {

QString script(const QString &name) {
    return QStringLiteral(RAVLEN_SOURCE_DIR "/scripts/") + name;
}

// An Orthanc of a test's own, for cases that kill or freeze the peer.
class OwnOrthanc {
public:
    explicit OwnOrthanc(const QString &studyDir) {
        m_env = m_dir.filePath(QStringLiteral("orthanc.env"));
        m_ok = QProcess::execute(script(QStringLiteral("orthanc-start")),
                                 {m_env, QStringLiteral("--load"), studyDir}) == 0;
        const auto env = readEnv(m_env);
        m_port = env.count("ORTHANC_DICOM_PORT") ? env.at("ORTHANC_DICOM_PORT").toInt() : 0;
        m_pid = env.count("ORTHANC_PID") ? env.at("ORTHANC_PID").toInt() : 0;
    }
    ~OwnOrthanc() { QProcess::execute(script(QStringLiteral("orthanc-stop")), {m_env}); }
    bool ok() const { return m_ok && m_port > 0 && m_pid > 0; }
    int port() const { return m_port; }
    void signal(int sig) const { ::kill(m_pid, sig); }

private:
    QTemporaryDir m_dir;
    QString m_env;
    bool m_ok = false;
    int m_port = 0;
    int m_pid = 0;
};

class NetPeer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_env = readEnv(QStringLiteral(RAVLEN_ORTHANC_ENV_FILE)); }

    void SetUp() override {
        ASSERT_TRUE(s_env.count("ORTHANC_DICOM_PORT")) << "the orthanc fixture did not run";
    }

    static int pacsPort() { return s_env.at("ORTHANC_DICOM_PORT").toInt(); }
    static int modalityPort(const char *aet) {
        return s_env.at(QStringLiteral("ORTHANC_MODALITY_%1_PORT").arg(QLatin1String(aet))).toInt();
    }

    static void aim(DicomQuery &q, int port) {
        q.setRemoteHost(QStringLiteral("127.0.0.1"));
        q.setRemotePort(port);
        q.setCallingAE(QStringLiteral("RAVLENPACS"));
        q.setCalledAE(QStringLiteral("ORTHANC"));
    }

    static QString studyUid() {
        DicomQuery q;
        aim(q, pacsPort());
        q.setRoot(QStringLiteral("STUDY"));
        q.setLevel(QStringLiteral("STUDY"));
        const auto results = q.find();
        return results.empty() ? QString() : results.front().studyInstanceUID();
    }

    static std::map<QString, QString> s_env;
};
std::map<QString, QString> NetPeer::s_env;

constexpr int StudyImages = 21; // 16 CT slices and five other images (make-sample-study)

TEST_F(NetPeer, FindInPatientAndStudyRootAndExpandToSeries) {
    DicomQuery q;
    aim(q, pacsPort());
    q.setRoot(QStringLiteral("PATIENT"));
    q.setLevel(QStringLiteral("PATIENT"));
    q.setKey(0x0010, 0x0020, QString()); // every patient
    const auto patients = q.find();
    ASSERT_EQ(patients.size(), 1u);
    const FindResult &patient = patients.front();
    EXPECT_FALSE(patient.patientID().isEmpty());
    EXPECT_FALSE(patient.patientName().isEmpty());
    EXPECT_TRUE(patient.has(0x0010, 0x0030)); // asked for although the caller did not set it
    EXPECT_FALSE(patient.has(0x0020, 0x000D)) << "no study keys at the patient level";

    // Expanding the patient: its studies, by patient ID.
    q.setLevel(QStringLiteral("STUDY"));
    q.setKey(0x0010, 0x0020, patient.patientID());
    q.setKey(0x0020, 0x000D, QString());
    const auto studies = q.find();
    ASSERT_EQ(studies.size(), 1u);
    EXPECT_FALSE(studies.front().studyInstanceUID().isEmpty());
    EXPECT_TRUE(studies.front().has(0x0020, 0x0010));

    // Expanding the study: its series, in study root as well.
    q.setRoot(QStringLiteral("STUDY"));
    q.setLevel(QStringLiteral("SERIES"));
    q.setKey(0x0020, 0x000D, studies.front().studyInstanceUID());
    q.setKey(0x0020, 0x000E, QString());
    const auto series = q.find();
    EXPECT_EQ(series.size(), 6u);
    std::set<QString> uids;
    for (const FindResult &s : series) {
        uids.insert(s.seriesInstanceUID());
    }
    EXPECT_EQ(uids.size(), series.size());

    // A key that matches nothing is an empty answer, not an error.
    q.setKey(0x0020, 0x000D, QStringLiteral("1.2.3.999"));
    EXPECT_TRUE(q.find().empty());
}

TEST_F(NetPeer, CGetReturnsEveryImageAndReportsProgress) {
    DicomQuery q;
    aim(q, pacsPort());
    q.setRoot(QStringLiteral("STUDY"));
    q.setLevel(QStringLiteral("STUDY"));
    q.setKey(0x0020, 0x000D, studyUid());
    int arrived = 0;
    int lastReceived = 0;
    int lastExpected = 0;
    q.setImageCallback([&](const std::shared_ptr<Image> &) { ++arrived; });
    q.setProgressCallback([&](int received, int expected) {
        lastReceived = received;
        lastExpected = expected;
    });
    const auto images = q.get();
    ASSERT_EQ(int(images.size()), StudyImages);
    EXPECT_EQ(arrived, StudyImages);
    EXPECT_EQ(lastReceived, StudyImages);
    EXPECT_EQ(lastExpected, StudyImages);
    std::set<QString> instances;
    for (const auto &image : images) {
        instances.insert(image->instanceUID());
        EXPECT_FALSE(image->render(QSize(32, 32)).isNull()) << image->sourceName().toStdString();
    }
    EXPECT_EQ(int(instances.size()), StudyImages);
    EXPECT_FALSE(q.wasCancelled());
}

TEST_F(NetPeer, SynchronousMoveReceivesOnItsOwnPort) {
    DicomQuery q;
    aim(q, pacsPort());
    q.setRoot(QStringLiteral("STUDY"));
    q.setLevel(QStringLiteral("STUDY"));
    q.setKey(0x0020, 0x000D, studyUid());
    q.setMoveDestination(QStringLiteral("RAVLENMOVE"));
    q.setReceivePort(modalityPort("RAVLENMOVE"));
    const auto images = q.moveSync();
    EXPECT_EQ(int(images.size()), StudyImages);

    // The port is free again: a second move can open it.
    q.setLevel(QStringLiteral("SERIES"));
    const QString series = images.front()->attribute(0x0020, 0x000E).toString();
    q.setKey(0x0020, 0x000E, series);
    EXPECT_GE(q.moveSync().size(), 1u);
}

TEST_F(NetPeer, AsynchronousMoveArrivesAtTheListenerEachImageOnce) {
    Listener listener;
    ASSERT_TRUE(listener.start(modalityPort("RAVLENPACS")));
    listener.setAsyncReceive(true);
    std::multiset<QString> received;
    QString originator;
    QObject::connect(&listener, &Listener::imageReceivedAsync, [&](ReceivedImage *r) {
        received.insert(r->image->instanceUID());
        originator = r->moveOriginatorAE;
    });
    int plain = 0;
    QObject::connect(&listener, &Listener::imageReceived, [&](ReceivedImage *) { ++plain; });

    DicomQuery q;
    aim(q, pacsPort());
    q.setRoot(QStringLiteral("STUDY"));
    q.setLevel(QStringLiteral("STUDY"));
    q.setKey(0x0020, 0x000D, studyUid());
    q.setMoveDestination(QStringLiteral("RAVLENPACS"));
    MoveOutcome outcome;
    std::string failure;
    std::thread worker([&] {
        try {
            outcome = q.moveAsync();
        } catch (const ToolkitError &error) {
            failure = error.what();
        }
    });
    // The handlers run on this thread, so it keeps processing events while the move runs.
    waitFor([&] { return int(received.size()) >= StudyImages || !failure.empty(); });
    worker.join();
    ASSERT_EQ(failure, std::string());
    waitFor([] { return false; }, 300); // nothing further may arrive
    EXPECT_EQ(outcome.completed, StudyImages);
    EXPECT_EQ(int(received.size()), StudyImages);
    EXPECT_EQ(int(std::set<QString>(received.begin(), received.end()).size()), StudyImages);
    EXPECT_EQ(plain, 0);
    EXPECT_EQ(originator, QStringLiteral("RAVLENPACS"));
    EXPECT_EQ(listener.imagesDelivered(), StudyImages);
}

TEST_F(NetPeer, EchoAndSendReturnStatuses) {
    QString detail;
    EXPECT_EQ(verifyEcho(QStringLiteral("127.0.0.1"), pacsPort(), QStringLiteral("RAVLENPACS"),
                         QStringLiteral("ORTHANC"), {}, &detail),
              0)
        << detail.toStdString();

    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sent.dcm"));
    testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.7"),
                          QStringLiteral("1.2.826.0.1.3680043.2.1143.77.1"))
        .setPixels(
            testdata::monochrome(8, 8, 1, 16, 12, false, testdata::rampValues(8, 8, 1, 12, false)))
        .save(path, TransferSyntax::ExplicitLittle);
    const auto image = Image::fromFile(path);
    EXPECT_EQ(sendImage(*image, QStringLiteral("127.0.0.1"), pacsPort(),
                        QStringLiteral("RAVLENPACS"), QStringLiteral("ORTHANC"), {}, &detail),
              0)
        << detail.toStdString();

    // Nothing to send is a status, not an exception.
    EXPECT_EQ(sendImage(*Image::placeholder(), QStringLiteral("127.0.0.1"), pacsPort(),
                        QStringLiteral("RAVLENPACS"), QStringLiteral("ORTHANC")),
              errc::NothingToSend);
    EXPECT_EQ(verifyEcho(QStringLiteral("no-such-host.invalid"), 104, QStringLiteral("A"),
                         QStringLiteral("B")),
              errc::UnknownHost);
    EXPECT_EQ(verifyEcho(QStringLiteral("127.0.0.1"), 0, QStringLiteral("A"), QStringLiteral("B")),
              errc::BadArgument);
}

TEST_F(NetPeer, ClosedPortNamesThePeer) {
    const int port = freePort();
    EXPECT_EQ(verifyEcho(QStringLiteral("127.0.0.1"), port, QStringLiteral("RAVLENPACS"),
                         QStringLiteral("ORTHANC")),
              errc::NetworkRefused);
    DicomQuery q;
    aim(q, port);
    try {
        q.find();
        FAIL() << "a query to a closed port succeeded";
    } catch (const ToolkitError &error) {
        EXPECT_EQ(error.number(), errc::NetworkRefused);
        EXPECT_NE(
            std::string(error.what()).find(QStringLiteral("127.0.0.1:%1").arg(port).toStdString()),
            std::string::npos)
            << error.what();
    }
}

TEST_F(NetPeer, StorageOnlyPeerRefusesCGetWith1409) {
    const QString storescp = testdata::tool(QStringLiteral("storescp"));
    ASSERT_FALSE(storescp.isEmpty());
    const QTemporaryDir dir;
    const int port = freePort();
    QProcess peer;
    peer.start(storescp, {QStringLiteral("-od"), dir.path(), QString::number(port)});
    ASSERT_TRUE(peer.waitForStarted());
    ASSERT_TRUE(waitFor([&] {
        return verifyEcho(QStringLiteral("127.0.0.1"), port, QStringLiteral("A"),
                          QStringLiteral("STORESCP")) == 0;
    }));
    DicomQuery q;
    aim(q, port);
    q.setLevel(QStringLiteral("STUDY"));
    q.setKey(0x0020, 0x000D, QStringLiteral("1.2.3"));
    try {
        q.get();
        FAIL() << "a storage-only peer took a C-GET";
    } catch (const ToolkitError &error) {
        EXPECT_EQ(error.number(), errc::NoGetContext) << error.what();
    }
    peer.kill();
    peer.waitForFinished();
}

// The peer dies in the middle of a C-GET: a clear error, and the images before the fault are
// whole and kept.
TEST_F(NetPeer, PeerKilledDuringCGetKeepsTheImagesBefore) {
    OwnOrthanc pacs(QStringLiteral(RAVLEN_NET_STUDY_DIR));
    ASSERT_TRUE(pacs.ok());
    DicomQuery q;
    aim(q, pacs.port());
    q.setLevel(QStringLiteral("STUDY"));
    q.setKey(0x0020, 0x000D, studyUid());
    int arrived = 0;
    q.setImageCallback([&](const std::shared_ptr<Image> &) {
        if (++arrived == 3) {
            pacs.signal(SIGKILL);
        }
    });
    try {
        q.get();
        FAIL() << "the C-GET survived its peer";
    } catch (const ToolkitError &error) {
        EXPECT_TRUE(error.number() == errc::NetworkDropped ||
                    error.number() == errc::NetworkTimeout)
            << error.number() << " " << error.what();
        EXPECT_NE(std::string(error.what()).find("ORTHANC at 127.0.0.1"), std::string::npos)
            << error.what();
    }
    EXPECT_GE(q.lastImages().size(), 3u);
    EXPECT_LT(int(q.lastImages().size()), StudyImages);
    for (const auto &image : q.lastImages()) {
        EXPECT_FALSE(image->render(QSize(16, 16)).isNull());
    }
}

// A frozen peer (SIGSTOP) is reported after the DIMSE time-out, and cancel() gets control back
// at once even from a frozen peer.
TEST_F(NetPeer, FrozenPeerTimesOutAndCancelReturnsPromptly) {
    OwnOrthanc pacs(QStringLiteral(RAVLEN_NET_STUDY_DIR));
    ASSERT_TRUE(pacs.ok());
    const QString study = studyUid();
    DicomQuery q;
    aim(q, pacs.port());
    q.setLevel(QStringLiteral("STUDY"));
    q.setKey(0x0020, 0x000D, study);
    NetworkTimeouts shortWait;
    shortWait.dimseSeconds = 2;
    q.setTimeouts(shortWait);
    QElapsedTimer frozenFor;
    int arrived = 0;
    q.setImageCallback([&](const std::shared_ptr<Image> &) {
        if (++arrived == 2) {
            pacs.signal(SIGSTOP);
            frozenFor.start();
        }
    });
    try {
        q.get();
        FAIL() << "the C-GET finished against a frozen peer";
    } catch (const ToolkitError &error) {
        EXPECT_EQ(error.number(), errc::NetworkTimeout) << error.what();
    }
    EXPECT_LT(frozenFor.elapsed(), (shortWait.dimseSeconds + 2) * 1000);
    EXPECT_GE(q.lastImages().size(), 2u);

    // Cancel while frozen, with the long default time-out: back within 2 s, images kept.
    pacs.signal(SIGCONT);
    q.setTimeouts(NetworkTimeouts{});
    arrived = 0;
    QElapsedTimer sinceCancel;
    std::thread canceller;
    q.setImageCallback([&](const std::shared_ptr<Image> &) {
        if (++arrived == 2) {
            pacs.signal(SIGSTOP);
            canceller = std::thread([&] {
                QThread::msleep(300);
                sinceCancel.start();
                q.cancel();
            });
        }
    });
    const auto images = q.get();
    const qint64 afterCancel = sinceCancel.elapsed();
    canceller.join();
    pacs.signal(SIGCONT);
    EXPECT_TRUE(q.wasCancelled());
    EXPECT_LT(afterCancel, 2000);
    EXPECT_EQ(images.size(), 2u);
}

TEST_F(NetPeer, CancelOnALivePeerSendsCCancelAndKeepsWhatArrived) {
    DicomQuery q;
    aim(q, pacsPort());
    q.setLevel(QStringLiteral("STUDY"));
    q.setKey(0x0020, 0x000D, studyUid());
    int arrived = 0;
    q.setImageCallback([&](const std::shared_ptr<Image> &) {
        if (++arrived == 4) {
            q.cancel(); // from the operation's thread as well as any other
        }
    });
    const auto images = q.get();
    EXPECT_TRUE(q.wasCancelled());
    EXPECT_GE(images.size(), 4u);
    EXPECT_LT(int(images.size()), StudyImages);
    // The peer is fine afterwards.
    EXPECT_EQ(q.find().size(), 1u);
}

// Twenty peers at once, five images each: every image arrives, each exactly once, in order of
// arrival on this thread.
TEST_F(NetPeer, TwentyConcurrentSendersLoseNothing) {
    const QString storescu = testdata::tool(QStringLiteral("storescu"));
    ASSERT_FALSE(storescu.isEmpty());
    const QTemporaryDir dir;
    std::vector<QStringList> batches(20);
    for (int i = 0; i < 100; ++i) {
        const QString path = dir.filePath(QStringLiteral("img%1.dcm").arg(i));
        testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.7"),
                              QStringLiteral("1.2.826.0.1.3680043.2.1143.88.%1").arg(i + 1))
            .setPixels(testdata::monochrome(16, 16, 1, 16, 12, false,
                                            testdata::rampValues(16, 16, 1, 12, false)))
            .save(path, TransferSyntax::ExplicitLittle);
        batches[std::size_t(i / 5)] << path;
    }
    Listener listener;
    const int port = freePort();
    ASSERT_TRUE(listener.start(port));
    std::multiset<QString> received;
    QObject::connect(&listener, &Listener::imageReceived,
                     [&](ReceivedImage *r) { received.insert(r->image->instanceUID()); });
    std::vector<std::unique_ptr<QProcess>> senders;
    for (const QStringList &files : batches) {
        auto p = std::make_unique<QProcess>();
        p->start(storescu, QStringList{QStringLiteral("-aec"), QStringLiteral("VIEWER"),
                                       QStringLiteral("127.0.0.1"), QString::number(port)} +
                               files);
        senders.push_back(std::move(p));
    }
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto &p : senders) {
                if (p->state() != QProcess::NotRunning) {
                    return false;
                }
            }
            return true;
        },
        60000));
    for (const auto &p : senders) {
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    ASSERT_TRUE(waitFor([&] { return received.size() >= 100; }));
    waitFor([] { return false; }, 200);
    EXPECT_EQ(received.size(), 100u);
    EXPECT_EQ(std::set<QString>(received.begin(), received.end()).size(), 100u);
    EXPECT_EQ(listener.imagesDelivered(), 100);
}

// The owner's per-context answer is honoured: a context under a private root (and one the
// handler rejects on purpose) gets result 3 while the association goes ahead.
TEST_F(NetPeer, RejectedContextsLeaveTheAssociationAccepted) {
    const QTemporaryDir dir;
    const QString ct = dir.filePath(QStringLiteral("ct.dcm"));
    const QString nm = dir.filePath(QStringLiteral("nm.dcm"));
    const QString priv = dir.filePath(QStringLiteral("private.dcm"));
    testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.2"), QStringLiteral("1.2.3.101"))
        .setPixels(
            testdata::monochrome(8, 8, 1, 16, 12, false, testdata::rampValues(8, 8, 1, 12, false)))
        .save(ct, TransferSyntax::ExplicitLittle);
    testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.20"), QStringLiteral("1.2.3.102"))
        .setPixels(
            testdata::monochrome(8, 8, 1, 16, 12, false, testdata::rampValues(8, 8, 1, 12, false)))
        .save(nm, TransferSyntax::ExplicitLittle);
    testdata::baseDataSet(QStringLiteral("1.3.6.1.4.1.99999.1.1"), QStringLiteral("1.2.3.103"))
        .setPixels(
            testdata::monochrome(8, 8, 1, 16, 12, false, testdata::rampValues(8, 8, 1, 12, false)))
        .save(priv, TransferSyntax::ExplicitLittle);

    Listener listener;
    const int port = freePort();
    ASSERT_TRUE(listener.start(port));
    int requests = 0;
    QString caller;
    QObject::connect(&listener, &Listener::associationRequested, [&](IncomingAssociation *a) {
        ++requests;
        caller = a->callingAE;
        for (ProposedContext &c : a->contexts) {
            if (!c.abstractSyntax.startsWith(QLatin1String("1.2.840.10008.")) ||
                c.abstractSyntax == QLatin1String("1.2.840.10008.5.1.4.1.1.20")) {
                c.result = 3;
            }
        }
    });
    std::vector<QString> received;
    QObject::connect(&listener, &Listener::imageReceived,
                     [&](ReceivedImage *r) { received.push_back(r->image->instanceUID()); });
    QProcess sender;
    sender.start(testdata::tool(QStringLiteral("storescu")),
                 {QStringLiteral("-d"), QStringLiteral("-aet"), QStringLiteral("SENDER"),
                  QStringLiteral("127.0.0.1"), QString::number(port), ct, nm, priv});
    ASSERT_TRUE(waitFor([&] { return sender.state() == QProcess::NotRunning; }, 30000));
    const QString log =
        QString::fromLocal8Bit(sender.readAllStandardOutput() + sender.readAllStandardError());
    ASSERT_TRUE(waitFor([&] { return !received.empty(); }));
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(caller, QStringLiteral("SENDER"));
    EXPECT_EQ(received, std::vector<QString>{QStringLiteral("1.2.3.101")});
    EXPECT_EQ(log.count(QStringLiteral("Abstract Syntax Not Supported")), 2) << log.toStdString();

    // The owner may also refuse the whole association.
    QObject::disconnect(&listener, &Listener::associationRequested, nullptr, nullptr);
    QObject::connect(&listener, &Listener::associationRequested,
                     [&](IncomingAssociation *a) { a->accept = false; });
    int status = -1;
    std::thread echo([&] {
        status =
            verifyEcho(QStringLiteral("127.0.0.1"), port, QStringLiteral("A"), QStringLiteral("B"));
    });
    waitFor([&] { return status != -1; });
    echo.join();
    EXPECT_EQ(status, errc::NetworkRefused);
}

// A data set nested 20,000 sequences deep (which overflows a recursive parser) gets a failure
// status, and the listener serves the next association.
TEST_F(NetPeer, DeeplyNestedDataSetIsRefusedAndTheListenerGoesOn) {
    QByteArray raw;
    auto element = [&raw](quint16 group, quint16 elem, quint32 length) {
        const char bytes[8] = {char(group & 0xFF),          char(group >> 8),
                               char(elem & 0xFF),           char(elem >> 8),
                               char(length & 0xFF),         char((length >> 8) & 0xFF),
                               char((length >> 16) & 0xFF), char(length >> 24)};
        raw.append(bytes, 8);
    };
    auto text = [&](quint16 group, quint16 elem, QByteArray value) {
        if (value.size() % 2) {
            value.append('\0');
        }
        element(group, elem, quint32(value.size()));
        raw.append(value);
    };
    text(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7");
    text(0x0008, 0x0018, "1.2.3.4.20000");
    constexpr int Depth = 20000;
    for (int i = 0; i < Depth; ++i) {
        element(0x0040, 0xA730, 0xFFFFFFFF); // a sequence of undefined length
        element(0xFFFE, 0xE000, 0xFFFFFFFF); // its item
    }
    for (int i = 0; i < Depth; ++i) {
        element(0xFFFE, 0xE00D, 0);
        element(0xFFFE, 0xE0DD, 0);
    }
    const QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("deep.raw")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(raw);
    file.close();

    Listener listener;
    const int port = freePort();
    ASSERT_TRUE(listener.start(port));
    QStringList messages;
    QObject::connect(&listener, &Listener::toolkitMessage,
                     [&](qint16, const QString &t) { messages << t; });
    int images = 0;
    QObject::connect(&listener, &Listener::imageReceived, [&](ReceivedImage *) { ++images; });
    QProcess sender;
    sender.start(QStringLiteral(RAVLEN_SEND_RAW),
                 {QStringLiteral("127.0.0.1"), QString::number(port), QStringLiteral("VIEWER"),
                  QStringLiteral("1.2.840.10008.5.1.4.1.1.7"), QStringLiteral("1.2.3.4.20000"),
                  file.fileName()});
    ASSERT_TRUE(waitFor([&] { return sender.state() == QProcess::NotRunning; }, 30000));
    const QString status = QString::fromLatin1(sender.readAllStandardOutput()).trimmed();
    EXPECT_TRUE(status.startsWith(QLatin1String("0xA")) || status.startsWith(QLatin1String("0xC")))
        << status.toStdString() << sender.readAllStandardError().toStdString();
    waitFor([&] { return !messages.isEmpty(); });
    EXPECT_EQ(images, 0);
    ASSERT_FALSE(messages.isEmpty());

    int echo = -1;
    std::thread next([&] {
        echo =
            verifyEcho(QStringLiteral("127.0.0.1"), port, QStringLiteral("A"), QStringLiteral("B"));
    });
    waitFor([&] { return echo != -1; });
    next.join();
    EXPECT_EQ(echo, 0);
}

TEST_F(NetPeer, ListenerPortInUseIsReportedAndStopFreesIt) {
    Listener first;
    const int port = freePort();
    ASSERT_TRUE(first.start(port));
    EXPECT_TRUE(first.start(port)); // already listening there
    Listener second;
    QString message;
    QObject::connect(&second, &Listener::toolkitMessage,
                     [&](qint16, const QString &t) { message = t; });
    EXPECT_FALSE(second.start(port));
    EXPECT_FALSE(message.isEmpty());
    first.stop();
    EXPECT_FALSE(first.isListening());
    EXPECT_TRUE(second.start(port));
}

} // namespace
