// The burn window offscreen, with the real xorriso: a burn to a disc image from the button to
// the finish lines of the log, and the ways it refuses to burn.
#include "burntestsupport.h"

#include "burn/burnconstants.h"
#include "burn/xorrisoburner.h"
#include "burn/zuvuziroduvcomform.h"
#include "core/prompter.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace ravlen;
using namespace ravlen::burn;

namespace {

class BurnWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::xorrisoProgram().isEmpty()) {
            GTEST_SKIP() << "xorriso is not installed";
        }
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        folder = dir.filePath(QStringLiteral("123/SERIES2"));
        test::writeFiles(folder, {QStringLiteral("IM000001"), QStringLiteral("IM000002"),
                                  QStringLiteral("IM000003")});
    }

    std::unique_ptr<zuvuZiroduvCOMForm> openWindow(const QString &program = QString()) {
        auto window =
            std::make_unique<zuvuZiroduvCOMForm>(nullptr, std::make_unique<XorrisoBurner>(program));
        window->valDirPath = folder + QLatin1Char('/');
        window->valStudyID = QStringLiteral("123");
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->recordersListed(); }, 60000));
        return window;
    }

    static void selectImageTarget(zuvuZiroduvCOMForm &window) {
        window.AvailableDevices->setCurrentRow(window.AvailableDevices->count() - 1);
        ASSERT_EQ(window.AvailableDevices->currentItem()->text(), kImageTargetName);
    }

    static bool waitForEnd(zuvuZiroduvCOMForm &window) {
        return QTest::qWaitFor([&] { return !window.service().busy(); }, 60000);
    }

    QTemporaryDir dir;
    QString folder;
    ScriptedPrompter *prompts = nullptr;
};

TEST_F(BurnWindowTest, BurnToADiscImageEndsWithTheFinishLines) {
    auto window = openWindow();
    EXPECT_EQ(window->AvailableDevices->currentRow(), 0); // the first entry is selected
    selectImageTarget(*window);
    const QString iso = dir.filePath(QStringLiteral("patient.iso"));
    prompts->fileAnswers.push_back({iso});

    window->Burn->click();
    EXPECT_FALSE(window->Burn->isEnabled());
    EXPECT_TRUE(window->btnAbort->isEnabled());
    ASSERT_EQ(prompts->records.size(), 1u);
    EXPECT_EQ(prompts->records[0].kind, ScriptedPrompter::Record::Save);
    EXPECT_EQ(prompts->records[0].title, kImageDialogTitle);
    ASSERT_TRUE(waitForEnd(*window));

    const QString expectedEnd =
        QStringLiteral("\r\nThe disc image was written to %1.\r\n").arg(iso) +
        window->service().trackText() + QStringLiteral("\r\nBurn finished successfully!\r\n");
    EXPECT_TRUE(window->messageLog().endsWith(expectedEnd)) << window->messageLog().toStdString();
    EXPECT_TRUE(window->Burn->isEnabled());
    EXPECT_FALSE(window->btnAbort->isEnabled());
    EXPECT_EQ(window->ProgressBar->value(), 0);
    // The box shows the whole log, line for line.
    EXPECT_EQ(window->edtMessages->toPlainText(),
              QString(window->messageLog()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(test::isoFiles(iso),
              (QStringList{QStringLiteral("/123/IM000001"), QStringLiteral("/123/IM000002"),
                           QStringLiteral("/123/IM000003")}));

    if (const QByteArray shot = qgetenv("RAVLEN_BURN_SCREENSHOT"); !shot.isEmpty()) {
        window->show();
        QTest::qWait(300);
        window->grab().save(QString::fromLocal8Bit(shot));
    }

    // Burn can be pressed again; a cancelled file choice burns nothing and says nothing.
    const QString before = window->messageLog();
    window->Burn->click();
    EXPECT_EQ(window->messageLog(), before);
    EXPECT_TRUE(window->Burn->isEnabled());
}

TEST_F(BurnWindowTest, WithoutXorrisoTheListIsEmptyAndBurnOnlyLogs) {
    auto window = openWindow(dir.filePath(QStringLiteral("no-xorriso")));
    EXPECT_EQ(window->AvailableDevices->count(), 0);
    EXPECT_TRUE(window->messageLog().contains(QStringLiteral("xorriso was not found")));
    window->Burn->click();
    EXPECT_TRUE(window->messageLog().endsWith(kNoRecorder + QStringLiteral("\r\n")));
    EXPECT_TRUE(window->Burn->isEnabled());
    EXPECT_FALSE(window->btnAbort->isEnabled());
    EXPECT_TRUE(prompts->records.empty());
}

TEST_F(BurnWindowTest, EmptyFolderIsNotBurned) {
    auto window = openWindow();
    window->valDirPath = dir.filePath(QStringLiteral("empty/"));
    QDir().mkpath(window->valDirPath);
    selectImageTarget(*window);
    window->Burn->click();
    EXPECT_TRUE(window->messageLog().contains(QStringLiteral("holds no files to burn")));
    EXPECT_TRUE(prompts->records.empty());
    EXPECT_FALSE(window->service().busy());
}

TEST_F(BurnWindowTest, ClosingWaitsForAbortAndAbortFinishesTheBurn) {
    test::writeSparseFile(folder + QStringLiteral("/BIG"), qint64(2) << 30);
    auto window = openWindow();
    selectImageTarget(*window);
    prompts->fileAnswers.push_back({dir.filePath(QStringLiteral("big.iso"))});
    window->show();
    window->Burn->click();
    ASSERT_TRUE(window->service().busy());

    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->messageLog().contains(kStillBurning));

    window->btnAbort->click();
    ASSERT_TRUE(waitForEnd(*window));
    EXPECT_TRUE(window->messageLog().endsWith(
        QStringLiteral("The burn was aborted.\r\n") + window->service().trackText() +
        QStringLiteral("\r\nBurn finished NOT (257)successfully!\r\n")));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("big.iso"))));
    window->close();
    EXPECT_FALSE(window->isVisible());
}

} // namespace
