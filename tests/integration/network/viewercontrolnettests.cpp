// The viewer control as a network node: its listener's events come back as the control's own
// signals on its thread, and a received image joins the control's images only while the
// handlers leave the add-to-viewer flag set.
#include "core/errors.h"
#include "support/dicomtestdata.h"
#include "support/peersupport.h"
#include "toolkit/netops.h"
#include "toolkit/viewercontrol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>

using namespace ravlen;
using namespace ravlen::toolkit;

using namespace ravlen::testsupport;

namespace {

// Sends on a worker thread while this thread runs the events the listener posts.
int sendWhileProcessingEvents(const Image &image, int port) {
    auto status = std::async(std::launch::async, [&] {
        return sendImage(image, QStringLiteral("127.0.0.1"), port, QStringLiteral("SENDER"),
                         QStringLiteral("VIEWER"));
    });
    while (status.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    // The image event was posted before the C-STORE response went out.
    QCoreApplication::processEvents();
    return status.get();
}

std::shared_ptr<Image> testImage(const QTemporaryDir &dir, const QString &instance) {
    const QString path = dir.filePath(instance + QStringLiteral(".dcm"));
    testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.7"), instance)
        .setPixels(
            testdata::monochrome(8, 8, 1, 16, 12, false, testdata::rampValues(8, 8, 1, 12, false)))
        .save(path, TransferSyntax::ExplicitLittle);
    return Image::fromFile(path);
}

} // namespace

TEST(ViewerControlNet, EventsReachTheControlAndTheFlagDecidesTheAdding) {
    const QTemporaryDir dir;
    ViewerControl viewer;
    const int port = freePort();
    ASSERT_TRUE(viewer.startListening(port));
    EXPECT_TRUE(viewer.listening());

    QStringList order;
    QString address, calledAE, callingAE;
    int contexts = 0;
    QObject::connect(&viewer, &ViewerControl::AssociationRequest,
                     [&](const QString &a, const QString &called, const QString &calling, int,
                         bool &accept, ProposedContexts &proposed) {
                         EXPECT_EQ(QThread::currentThread(), viewer.thread());
                         order << QStringLiteral("AR");
                         address = a;
                         calledAE = called;
                         callingAE = calling;
                         contexts = int(proposed.size());
                         accept = true;
                     });
    QObject::connect(&viewer, &ViewerControl::AssociationRequest2,
                     [&](IncomingAssociation &, bool &) { order << QStringLiteral("AR2"); });
    bool keep = true;
    QObject::connect(&viewer, &ViewerControl::ImageReceived,
                     [&](const std::shared_ptr<Image> &, bool &addToViewer, int, int) {
                         order << QStringLiteral("img");
                         addToViewer = keep;
                     });

    EXPECT_EQ(sendWhileProcessingEvents(*testImage(dir, QStringLiteral("1.2.3.1")), port), 0);
    EXPECT_EQ(order,
              (QStringList{QStringLiteral("AR"), QStringLiteral("AR2"), QStringLiteral("img")}));
    EXPECT_EQ(address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(calledAE, QStringLiteral("VIEWER"));
    EXPECT_EQ(callingAE, QStringLiteral("SENDER"));
    EXPECT_GE(contexts, 1);
    ASSERT_EQ(viewer.images().count(), 1);
    EXPECT_EQ(viewer.images().item(1)->instanceUID(), QStringLiteral("1.2.3.1"));

    // A handler that adds the image itself clears the flag: the control adds nothing.
    keep = false;
    EXPECT_EQ(sendWhileProcessingEvents(*testImage(dir, QStringLiteral("1.2.3.2")), port), 0);
    EXPECT_EQ(viewer.images().count(), 1);

    // Asynchronous mode: only the asynchronous event, and the handler decides.
    viewer.setAsyncReceive(true);
    std::vector<QString> async;
    QObject::connect(&viewer, &ViewerControl::ImageReceivedAsync,
                     [&](const ReceivedImage &received, const std::shared_ptr<Image> &image, int) {
                         EXPECT_EQ(received.callingAE, QStringLiteral("SENDER"));
                         async.push_back(image->instanceUID());
                     });
    order.clear();
    EXPECT_EQ(sendWhileProcessingEvents(*testImage(dir, QStringLiteral("1.2.3.3")), port), 0);
    EXPECT_EQ(async, std::vector<QString>{QStringLiteral("1.2.3.3")});
    EXPECT_FALSE(order.contains(QStringLiteral("img")));
    EXPECT_EQ(viewer.images().count(), 1);

    viewer.stopListening();
    EXPECT_FALSE(viewer.listening());
    EXPECT_EQ(sendImage(*testImage(dir, QStringLiteral("1.2.3.4")), QStringLiteral("127.0.0.1"),
                        port, QStringLiteral("SENDER"), QStringLiteral("VIEWER")),
              errc::NetworkRefused);
}
