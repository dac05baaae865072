// The Information window, offscreen: its pages, NewData, the log lists and hiding.
#include "dialogs/elementdump.h"
#include "dialogs/information.h"
#include "dialogs/informationtexts.h"
#include "support/dicomtestdata.h"
#include "toolkit/globalsettings.h"
#include "toolkit/image.h"
#include "toolkit/netlog.h"

#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace ravlen;

namespace {

std::shared_ptr<toolkit::Image> image(const QString &patient, const QString &instance) {
    toolkit::DataSetBuilder b =
        testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.7"), instance);
    b.set(0x0010, 0x0010, patient);
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), instance);
}

QStringList listed(const QListWidget *list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) {
        out << list->item(i)->text();
    }
    return out;
}

} // namespace

TEST(InformationWindow, NewDataListsEveryImageAndDumpsTheSelectedOne) {
    Information window;
    const auto first = image(QStringLiteral("Doe^Jane"), QStringLiteral("1.2.3.1"));
    const auto second = image(QStringLiteral("Roe^Richard"), QStringLiteral("1.2.3.2"));
    int asked = 0;
    window.NewData({first, second}, [&] {
        ++asked;
        return second;
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(listed(window.ImageList), (QStringList{"Doe, Jane", "Roe, Richard"}));
    const QString dump = dialogs::dumpElements(second->elements(), QString());
    EXPECT_EQ(window.attributesText(), dump);
    EXPECT_TRUE(dump.contains(QStringLiteral("1.2.3.2")));
    // The field shows the same lines, with plain line breaks.
    EXPECT_EQ(window.AttributeList->toPlainText(), dialogs::displayedText(dump));

    // An empty viewer is not asked for its selection: asking it would tell the user so.
    window.NewData({}, [&] {
        ++asked;
        return first;
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(window.attributesText(), QStringLiteral("No Image available"));
    EXPECT_EQ(window.ImageList->count(), 0);
}

TEST(InformationWindow, LogListsOnlyGrowAndKeepTheirLineBreaks) {
    Information window;
    window.appendAssociations(QStringLiteral("Call from A (1.2.3.4) to B"));
    window.appendAssociations(QStringLiteral(" ACCEPTED"));
    window.appendAssociations(QStringLiteral("\r\n"));
    window.appendAssociations(QStringLiteral("Call from C (5.6.7.8) to B ACCEPTED\r\n"));
    EXPECT_EQ(window.associationsText(), QStringLiteral("Call from A (1.2.3.4) to B ACCEPTED\r\n"
                                                        "Call from C (5.6.7.8) to B ACCEPTED\r\n"));
    EXPECT_EQ(window.AssociationList->document()->blockCount(), 3); // two lines and the empty end
    EXPECT_EQ(window.AssociationList->document()->findBlockByNumber(1).text(),
              QStringLiteral("Call from C (5.6.7.8) to B ACCEPTED"));

    window.appendMessages(QStringLiteral("1 : one\r\n"));
    window.appendImagesReceived(QStringLiteral("Name = X\r\n"));
    EXPECT_EQ(window.messagesText(), QStringLiteral("1 : one\r\n"));
    EXPECT_EQ(window.imagesReceivedText(), QStringLiteral("Name = X\r\n"));

    // NewData leaves the logs alone, and so does hiding.
    window.show();
    window.NewData({}, [] { return std::shared_ptr<toolkit::Image>(); });
    window.Hide_Click();
    EXPECT_EQ(window.messagesText(), QStringLiteral("1 : one\r\n"));
    EXPECT_EQ(window.AssociationList->document()->blockCount(), 3);
}

TEST(InformationWindow, CloseAndLosingActivationHideAndSaySo) {
    Information window;
    QSignalSpy hidden(&window, &Information::hidden);
    window.show();
    window.Hide->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(hidden.count(), 1);

    window.show();
    window.Form_Deactivate();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(hidden.count(), 2);
}

TEST(InformationWindow, LogPageShowsTheToolkitsLogFileWhenOpened) {
    QTemporaryDir folder;
    toolkit::GlobalSettings::setText(QStringLiteral("LogLocation"), folder.path());
    QFile file(toolkit::logFilePath(folder.path()));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("I: Association Received 127.0.0.1: \"MODALITY\" -> \"RAVLEN\"\n");
    file.close();
    Information window;
    window.SSTab1->setCurrentIndex(window.SSTab1->count() - 1);
    EXPECT_TRUE(window.DicomLog1->toPlainText().contains(QStringLiteral("Association Received")));
    toolkit::GlobalSettings::setText(QStringLiteral("LogLocation"), QString());
}
