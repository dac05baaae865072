// Export, import and the clipboard from the viewer window: the dialogs and their filters,
// which path a file name takes, and what a bad file or an empty clipboard leaves behind.
#include "outputwindowtest.h"

#include "toolkit/movieio.h"
#include "toolkit/renderedpicture.h"
#include "viewer/exportrules.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>

using namespace ravlen;
using test::OutputWindowTest;

namespace {

std::shared_ptr<toolkit::Image> frames(int count) {
    return testdata::greyFrames(testdata::framesSpec(40, 30, count));
}

class ViewerExportTest : public OutputWindowTest {
protected:
    const ScriptedPrompter::Record &lastRecord() const { return prompts->records.back(); }
};

TEST_F(ViewerExportTest, ExportOnAnEmptyViewerSaysSoAndCopyStaysSilent) {
    frmDicomViewer &v = viewerWith({});
    QGuiApplication::clipboard()->setText("kept");
    v.entry("Copy")->trigger();
    EXPECT_TRUE(prompts->records.empty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");

    v.entry("Export")->trigger();
    ASSERT_EQ(prompts->records.size(), 1u);
    EXPECT_EQ(lastRecord().kind, ScriptedPrompter::Record::Message);
    EXPECT_EQ(lastRecord().text, "No image to export!");
    EXPECT_EQ(lastRecord().icon, Prompter::Icon::Warning);
    EXPECT_EQ(lastRecord().buttons, Prompter::Ok);
    EXPECT_TRUE(lastRecord().title.isEmpty());
}

TEST_F(ViewerExportTest, TheSaveDialogOffersAviOnlyForSeveralFramesAndTheNameChoosesThePath) {
    frmDicomViewer &v = viewerWith({frames(1), frames(3)});
    v.Export_Click(); // cancelled: nothing written, nothing said
    EXPECT_EQ(lastRecord().kind, ScriptedPrompter::Record::Save);
    EXPECT_EQ(lastRecord().title, "Export to non-DICOM File");
    EXPECT_EQ(lastRecord().filter, viewer::kPictureFilter);

    v.SelectImage(2);
    const QString movie = dir.filePath("loop.AVI");
    const QString still = dir.filePath("loop.avi.bmp");
    prompts->fileAnswers = {{movie}, {still}};
    v.Export_Click();
    EXPECT_EQ(lastRecord().filter, viewer::kMovieFilter);
    EXPECT_TRUE(testdata::probe(movie, "codec_name,nb_read_frames")
                    .contains("codec_name=mjpeg\nnb_read_frames=3"));
    v.Export_Click();
    EXPECT_EQ(QImageReader(still).format(), "bmp");
    EXPECT_EQ(prompts->messages(), QStringList());
    EXPECT_FALSE(v.outputBusy());
}

TEST_F(ViewerExportTest, ImportAddsTheFileAsANewImageAndABadFileAddsNothing) {
    const QString avi = dir.filePath("in.avi");
    toolkit::exportAvi(*frames(4), avi, 1, 4);
    QFile garbage(dir.filePath("broken.jpg"));
    garbage.open(QIODevice::WriteOnly);
    garbage.write(QByteArray(300, 'x'));
    garbage.close();

    frmDicomViewer &v = viewerWith({frames(1)});
    prompts->fileAnswers = {{avi}, {garbage.fileName()}};
    v.entry("Import")->trigger();
    EXPECT_EQ(lastRecord().kind, ScriptedPrompter::Record::Open);
    EXPECT_EQ(lastRecord().title, "Import non-DICOM File");
    EXPECT_EQ(lastRecord().filter,
              "Pictures & Cine (*.bmp,*.dib,*.jpg,*.avi)|*.bmp;*.dib;*.jpg;*.avi");
    ASSERT_EQ(v.imageCount(), 2);
    EXPECT_EQ(v.Viewer->images().item(2)->frameCount(), 4);
    EXPECT_TRUE(prompts->messages().isEmpty());

    v.Import_Click();
    EXPECT_EQ(v.imageCount(), 2);
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages().at(0).contains(garbage.fileName()));
    EXPECT_EQ(lastRecord().icon, Prompter::Icon::Critical);

    v.Import_Click(); // cancelled
    EXPECT_EQ(v.imageCount(), 2);
    EXPECT_EQ(prompts->messages().size(), 1);
    EXPECT_FALSE(v.outputBusy());
}

TEST_F(ViewerExportTest, CopyAndPasteMakeANewImageAndAnEmptyClipboardIsSaidSo) {
    frmDicomViewer &v = viewerWith({frames(2)});
    v.Viewer->images().item(1)->setRotation(1);
    v.entry("Copy")->trigger();
    v.entry("Paste")->trigger();
    ASSERT_EQ(v.imageCount(), 2);
    EXPECT_EQ(toolkit::renderedPicture(*v.Viewer->images().item(2)),
              toolkit::renderedPicture(*v.Viewer->images().item(1)));

    QGuiApplication::clipboard()->clear();
    v.Paste_Click();
    EXPECT_EQ(v.imageCount(), 2);
    EXPECT_EQ(prompts->messages(), QStringList{"The clipboard holds no picture to paste."});
}

} // namespace
