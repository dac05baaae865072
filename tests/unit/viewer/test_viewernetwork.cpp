// The viewer's network commands and listener events, offscreen and without a peer: what they
// log, what they ask and show, and what reaches the image set.
#include "viewertestsupport.h"

#include "component/modstart.h"
#include "component/optionsvalues.h"
#include "core/prompter.h"
#include "core/settingsstore.h"
#include "dialogs/information.h"
#include "toolkit/globalsettings.h"
#include "toolkit/listener.h"
#include "toolkit/viewercontrol.h"
#include "viewer/frmdicomviewer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace ravlen;

namespace {

class MemoryStore : public SettingsStore {
public:
    QString get(const QString &app, const QString &section, const QString &key,
                const QString &defaultValue) const override {
        const auto it = values.find({app.toLower(), section.toLower(), key.toLower()});
        return it == values.end() ? defaultValue : it->second;
    }
    void save(const QString &app, const QString &section, const QString &key,
              const QString &value) override {
        values[{app.toLower(), section.toLower(), key.toLower()}] = value;
    }
    void deleteApplication(const QString &) override {}
    std::map<std::tuple<QString, QString, QString>, QString> values;
};

std::shared_ptr<toolkit::Image> multiFrame(int frames) {
    toolkit::DataSetBuilder b = testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.7.2"),
                                                      QStringLiteral("1.2.3.99"));
    b.set(0x0010, 0x0010, QStringLiteral("Cine^Cathy"));
    std::vector<int> values(std::size_t(4 * frames));
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = int(i);
    }
    b.setPixels(testdata::monochrome(2, 2, frames, 8, 8, false, values));
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle),
                                     QStringLiteral("cine"));
}

class ViewerNetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir iniFolder;
        modStart::StartUp(iniFolder.path());
        setSettings(std::make_unique<MemoryStore>());
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        saved = options();
    }
    void TearDown() override {
        options() = saved;
        if (dicomViewerExists()) {
            delete &dicomViewer();
        }
        for (QWidget *w : QApplication::topLevelWidgets()) {
            w->hide();
        }
    }

    ScriptedPrompter *prompts = nullptr;
    OptionsValues saved;
};

TEST_F(ViewerNetworkTest, AssociationIsAcceptedLoggedOnOneLineAndPrivateContextsRefused) {
    frmDicomViewer &v = dicomViewer();
    const QString before = information().associationsText();
    std::vector<toolkit::ProposedContext> contexts(3);
    contexts[0].abstractSyntax = QStringLiteral("1.2.840.10008.5.1.4.1.1.2");
    contexts[1].abstractSyntax = QStringLiteral("1.3.6.1.4.1.5962.1.2");
    contexts[2].abstractSyntax = QStringLiteral("1.2.840.10008.1.1");
    bool accept = false;
    v.Viewer_AssociationRequest(QStringLiteral("  127.0.0.1  "), QStringLiteral("RAVLEN"),
                                QStringLiteral("MODALITY"), 7, accept, contexts);
    EXPECT_TRUE(accept);
    EXPECT_EQ(contexts[0].result, 0);
    EXPECT_EQ(contexts[1].result, 3);
    EXPECT_EQ(contexts[2].result, 0);
    EXPECT_EQ(information().associationsText().mid(before.size()),
              QStringLiteral("Call from MODALITY (127.0.0.1) to RAVLEN ACCEPTED\r\n"));

    toolkit::IncomingAssociation association;
    accept = false;
    v.Viewer_AssociationRequest2(association, accept);
    EXPECT_TRUE(accept);
    EXPECT_EQ(v.tl->toPlainText(), QStringLiteral("ARAR2"));
    // The second form adds nothing to the log.
    EXPECT_EQ(information().associationsText().mid(before.size()).count(QStringLiteral("\r\n")), 1);
}

TEST_F(ViewerNetworkTest, ReceivedImageIsLoggedAndLeftToTheToolkitUnlessFramesAreCopied) {
    frmDicomViewer &v = dicomViewer();
    const QString before = information().imagesReceivedText();

    options().CopyAllFrames = false;
    const auto single = test::makeImage(QStringLiteral("one"));
    bool add = true;
    v.Viewer_ImageReceived(single, add, 0, 0);
    EXPECT_TRUE(add);
    EXPECT_EQ(v.Viewer->images().count(), 0); // the toolkit adds it after the handler
    EXPECT_EQ(information().imagesReceivedText().mid(before.size()),
              QStringLiteral("Name = Doe, John Quincy\r\n  instance = ") + single->instanceUID() +
                  QStringLiteral("\r\n"));

    // A single frame is added once, by the handler, and the toolkit is told not to add it.
    options().CopyAllFrames = true;
    add = true;
    v.Viewer_ImageReceived(single, add, 0, 0);
    EXPECT_FALSE(add);
    EXPECT_EQ(v.Viewer->images().count(), 1);

    // Each frame becomes an entry of its own that shows that frame.
    add = true;
    const auto cine = multiFrame(3);
    v.Viewer_ImageReceived(cine, add, 0, 0);
    EXPECT_FALSE(add);
    ASSERT_EQ(v.Viewer->images().count(), 4);
    for (int f = 1; f <= 3; ++f) {
        const auto entry = v.Viewer->images().item(1 + f);
        EXPECT_EQ(entry->currentFrame(), f);
        EXPECT_EQ(entry->instanceUID(), cine->instanceUID());
        EXPECT_EQ(entry->frame(f).data, cine->frame(f).data) << "frame " << f;
    }
    EXPECT_NE(v.Viewer->images().item(2), v.Viewer->images().item(3));
    EXPECT_EQ(v.tl->toPlainText(), QStringLiteral("img rec img rec img rec "));

    // The window catches up with the arrivals once the event loop runs.
    QApplication::processEvents();
    EXPECT_EQ(v.imageCount(), 4);
    EXPECT_EQ(v.current->text(), QStringLiteral("1"));
}

TEST_F(ViewerNetworkTest, AsynchronousImageIsAddedByTheHandlerWithoutAnEntry) {
    frmDicomViewer &v = dicomViewer();
    const QString before = information().imagesReceivedText();
    toolkit::ReceivedImage received;
    v.Viewer_ImageReceivedAsync(received, test::makeImage(QStringLiteral("a")), 0);
    EXPECT_EQ(v.Viewer->images().count(), 1);
    EXPECT_EQ(v.tl->toPlainText(), QStringLiteral("img rec async "));
    EXPECT_EQ(information().imagesReceivedText(), before);
}

TEST_F(ViewerNetworkTest, ToolkitMessagesBelowLevelTwoInterruptTheUser) {
    frmDicomViewer &v = dicomViewer();
    const QString before = information().messagesText();
    v.Viewer_ToolkitMessage(1, QStringLiteral("cannot listen on port 104"));
    v.Viewer_ToolkitMessage(2, QStringLiteral("peer sent an odd length"));
    EXPECT_EQ(information().messagesText().mid(before.size()),
              QStringLiteral("1 : cannot listen on port 104\r\n2 : peer sent an odd length\r\n"));
    EXPECT_EQ(prompts->messages(), QStringList{QStringLiteral("cannot listen on port 104")});
}

TEST_F(ViewerNetworkTest, LoggingCommandsWriteTheToolkitSettings) {
    frmDicomViewer &v = dicomViewer();
    QAction *enabled = v.entry(QStringLiteral("LoggingEnabled"));
    QTemporaryDir logs;
    toolkit::GlobalSettings::setText(QStringLiteral("LogLocation"), logs.path());

    enabled->trigger();
    EXPECT_TRUE(enabled->isChecked());
    EXPECT_EQ(toolkit::GlobalSettings::getInt(QStringLiteral("Log")), -1);
    enabled->trigger();
    EXPECT_FALSE(enabled->isChecked());
    EXPECT_EQ(toolkit::GlobalSettings::getInt(QStringLiteral("Log")), 0);

    // The default answer is taken: 63, and logging is switched on with the value 1.
    v.entry(QStringLiteral("LogLevel"))->trigger();
    ASSERT_EQ(prompts->records.size(), 1u);
    EXPECT_EQ(prompts->records[0].title, QStringLiteral("Logging Level"));
    EXPECT_EQ(prompts->records[0].text,
              QStringLiteral("Enter logging level\r\n7 = minimal logging\r\n63 (3F) = normal\r\n"
                             "1023 (3FF) = full byte level (slow!)"));
    EXPECT_EQ(toolkit::GlobalSettings::getInt(QStringLiteral("LogLevel")), 63);
    EXPECT_EQ(toolkit::GlobalSettings::getInt(QStringLiteral("Log")), 1);
    EXPECT_TRUE(enabled->isChecked());

    // A typed hexadecimal level counts; a text or Cancel changes nothing.
    prompts->inputAnswers = {QStringLiteral("&H3FF"), QStringLiteral("lots"), QString()};
    v.LogLevel_Click();
    EXPECT_EQ(toolkit::GlobalSettings::getInt(QStringLiteral("LogLevel")), 1023);
    v.LogLevel_Click();
    v.LogLevel_Click();
    EXPECT_EQ(toolkit::GlobalSettings::getInt(QStringLiteral("LogLevel")), 1023);
    EXPECT_EQ(prompts->messages().size(), 1); // only the text is reported

    prompts->inputAnswers = {logs.path(), QString()};
    v.LogLocation_Click();
    EXPECT_EQ(prompts->records.back().title, QStringLiteral("Log Location"));
    EXPECT_EQ(prompts->records.back().text,
              QStringLiteral("Enter Directory for Log files (must exist)"));
    EXPECT_EQ(toolkit::GlobalSettings::getText(QStringLiteral("LogLocation")), logs.path());
    v.LogLocation_Click(); // Cancel writes the empty text
    EXPECT_EQ(toolkit::GlobalSettings::getText(QStringLiteral("LogLocation")), QString());
    enabled->trigger();
    EXPECT_EQ(toolkit::GlobalSettings::getInt(QStringLiteral("Log")), 0);
}

TEST_F(ViewerNetworkTest, InformationWindowTogglesWithItsMenuItems) {
    frmDicomViewer &v = dicomViewer();
    QAction *infoview = v.entry(QStringLiteral("Infoview"));
    infoview->trigger();
    EXPECT_TRUE(infoview->isChecked());
    EXPECT_TRUE(information().isVisible());
    EXPECT_EQ(information().attributesText(), QStringLiteral("No Image available"));
    EXPECT_TRUE(prompts->messages().isEmpty()); // an empty viewer is not asked for a selection

    infoview->trigger();
    EXPECT_FALSE(infoview->isChecked());
    EXPECT_FALSE(information().isVisible());

    // Data Elements does the same, with the dump of the viewer's image.
    v.Viewer->images().add(test::makeImage(QStringLiteral("shown")));
    QApplication::processEvents();
    v.mnuDisplayElements_Click();
    EXPECT_TRUE(infoview->isChecked());
    EXPECT_TRUE(information().attributesText().startsWith(QStringLiteral("(8,22) : ")));
    EXPECT_EQ(information().ImageList->count(), 1);

    // Leaving the window hides it and clears the mark.
    information().Form_Deactivate();
    EXPECT_FALSE(information().isVisible());
    EXPECT_FALSE(infoview->isChecked());
}

TEST_F(ViewerNetworkTest, CommandsWithoutAUsablePortOrImagesStayQuiet) {
    frmDicomViewer &v = dicomViewer();
    v.SendAll_Click(); // empty viewer: nothing at all
    EXPECT_TRUE(prompts->records.empty());

    options().StoragePort = QStringLiteral("10 4");
    v.Verify_Click();
    v.SendSelected_Click();
    v.Viewer->images().add(test::makeImage(QStringLiteral("x")));
    v.SendAll_Click();
    ASSERT_EQ(prompts->messages().size(), 3);
    for (const QString &text : prompts->messages()) {
        EXPECT_TRUE(text.contains(QStringLiteral("\"10 4\""))) << text.toStdString();
    }
    // Send Selected stopped before asking for the image, so "No Images" was never said.
    EXPECT_FALSE(prompts->messages().join(' ').contains(QStringLiteral("No Images")));
}

TEST_F(ViewerNetworkTest, SendSelectedOnAnEmptyViewerSaysSoAndReportsTheToolkitsStatus) {
    frmDicomViewer &v = dicomViewer();
    options().StorageNode = QStringLiteral("127.0.0.1");
    options().StoragePort = QStringLiteral("1"); // nothing listens there
    v.SendSelected_Click();
    ASSERT_EQ(prompts->messages().size(), 2);
    EXPECT_EQ(prompts->messages()[0], QStringLiteral("No Images to manipulate!"));
    EXPECT_TRUE(prompts->messages()[1].startsWith(QStringLiteral("Result code = ")));
    EXPECT_FALSE(prompts->messages()[1].startsWith(QStringLiteral("Result code = 0")));
    // The status alone in the text; its explanation in the detail.
    EXPECT_FALSE(prompts->messages()[1].contains(QLatin1Char('\n')));
    EXPECT_FALSE(prompts->records.back().detail.isEmpty());
    EXPECT_FALSE(v.networkBusy());
}

} // namespace
