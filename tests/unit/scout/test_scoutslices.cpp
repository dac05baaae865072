// "Scout Slices" offscreen with the host's SQLite database: the series of the image selected in
// the main viewer read from the image store and drawn on the scout; paths leading out of the
// store refused and reported once; an empty list; nothing to start from.
#include "scouttestsupport.h"

#include "component/clsravlenpacsviewer.h"
#include "component/optionsvalues.h"
#include "imagelistcases.h"

#include <QAction>
#include <QFile>

using namespace ravlen;

namespace {

class ScoutSlicesTest : public test::ScoutWindowTest {
protected:
    void SetUp() override {
        ScoutWindowTest::SetUp();
        options().ImageRoot = test::sampleStudy();
        host.setRavlenUser(std::make_shared<test::TestUser>(db.connection()));
    }
    void TearDown() override {
        host.setRavlenUser(nullptr); // the process keeps the last user: let go of the database
        options().ImageRoot.clear();
        ScoutWindowTest::TearDown();
    }
    // The CT series' UID, as its files carry it.
    static QString seriesUid() {
        return toolkit::Image::fromFile(test::ctFile(1))->attribute(0x0020, 0x000E).toString();
    }
    QTemporaryDir dir;
    test::ImageDatabase db{"QSQLITE", "ImageTable",
                           [this](QSqlDatabase &d) { d.setDatabaseName(dir.filePath("ris.db")); }};
    clsRavlenPACSViewer host;
};

TEST_F(ScoutSlicesTest, EverySliceOfTheSeriesIsDrawnOnTheScout) {
    std::vector<test::ImageRow> rows;
    for (int k = 1; k <= 6; ++k) {
        rows.push_back({seriesUid(), k, QStringLiteral("CT%1.dcm").arg(k, 4, 10, QChar('0'))});
    }
    rows.push_back({seriesUid(), 7, "../../etc/passwd"});
    rows.push_back({seriesUid(), 8, "/etc/passwd"});
    rows.push_back({seriesUid(), 9, "CT0099.dcm"}); // listed, not there
    rows.push_back({seriesUid(), 10, "US.dcm"});    // no plane: no line
    db.fill(rows);

    frmSliceViewer &v = scoutWithSeries(1);
    v.SelectImage(1);
    v.entry("mnuDisplaySlice")->trigger();

    const auto scout = v.Viewer->images().item(1);
    const auto drawn = lines(*scout);
    ASSERT_EQ(drawn.size(), 6u + 1u) << "the six slices and the main viewer's selection";
    for (int k = 1; k <= 6; ++k) {
        EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(),
                                [&](const auto &l) {
                                    return l->foreColour == 255u &&
                                           std::abs(l->top - rowOf(k)) < 1e-3;
                                }))
            << "slice " << k;
    }
    EXPECT_EQ(v.imageCount(), 1 + 7) << "the scout, then the slices read";
    EXPECT_EQ(v.panelText(2), "1 of 8") << "the position panel counts the slices read";
    // One message for the refused paths, one for what could not be read.
    ASSERT_EQ(prompts->messages().size(), 2) << prompts->messages().join("|").toStdString();
    EXPECT_TRUE(prompts->messages()[0].startsWith("2 image paths of the series lead outside"));
    EXPECT_TRUE(prompts->messages()[0].contains("/etc/passwd"));
    EXPECT_TRUE(prompts->messages()[1].contains("CT0099.dcm"));
    EXPECT_TRUE(v.panelText(1).startsWith("Scout Slices: 6 of 10 slices drawn. 1 slice has no "
                                          "line: The slice has no"))
        << v.panelText(1).toStdString();
}

TEST_F(ScoutSlicesTest, AnEmptyListIsReportedAndNothingIsRead) {
    db.fill({{"9.9.9", 1, "CT0001.dcm"}});
    frmSliceViewer &v = scoutWithSeries(2);
    v.mnuDisplaySlice_Click();
    ASSERT_EQ(prompts->records.size(), 1u);
    EXPECT_EQ(prompts->records[0].text, "Series does not contain any image!");
    EXPECT_EQ(prompts->records[0].icon, Prompter::Icon::Warning);
    EXPECT_EQ(prompts->records[0].buttons, Prompter::Ok);
    EXPECT_EQ(v.imageCount(), 1);
}

TEST_F(ScoutSlicesTest, TheMainViewersEntryRunsItAndAClosedConnectionIsReported) {
    frmSliceViewer &v = scoutWithSeries(1);
    v.hide();
    QSqlDatabase closed = db.connection();
    closed.close();
    prompts->records.clear();
    dicomViewer().entry("mnuDisplaySlice")->trigger();
    EXPECT_TRUE(v.isVisible());
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages()[0].contains("not open")) << "a closed connection is reported";
    EXPECT_EQ(v.imageCount(), 1);
}

} // namespace
