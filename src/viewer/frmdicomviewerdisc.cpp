// The viewer's images leaving as DICOM files: "Export to DICOM File" for the selected image,
// and "Write to CD", which stages every image for a patient disc and opens the burn window.
#include "viewer/frmdicomviewer.h"

#include "burn/zuvuziroduvcomform.h"
#include "component/clsexam.h"
#include "component/modstart.h"
#include "core/prompter.h"
#include "toolkit/dicomwriter.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/discstaging.h"
#include "viewer/networkwait.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <atomic>

namespace ravlen {

namespace {

const QString kNoImageToExport = QStringLiteral("No image to export!");
const QString kExportDicomTitle = QStringLiteral("Export to DICOM File");
const QString kExportDicomFilter = QStringLiteral("DICOM Image (*.dcm)|*.dcm");
const QString kNoImagesToBurn = QStringLiteral("No images to write to CD!");

// Exports and discs are written in JPEG Extended at the highest quality.
constexpr int kDicomQuality = 100;

QString discViewerFolder() {
    return QDir(modStart::libraryFolder()).filePath(QStringLiteral("viewer"));
}

} // namespace

void frmDicomViewer::FileWrite_Click() {
    guarded([this] {
        if (imageCount() == 0) {
            prompter().message(kNoImageToExport, Prompter::Icon::Warning, Prompter::Ok, QString(),
                               this);
            return;
        }
        const QString path =
            prompter().saveFile(kExportDicomTitle, kExportDicomFilter, QString(), this);
        if (path.isEmpty()) {
            return;
        }
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        // A large multi-frame image takes a while to encode; the window keeps painting.
        viewer::NetworkWait wait(this,
                                 QStringLiteral("Writing %1 ...").arg(QFileInfo(path).fileName()));
        wait.run([&] {
            toolkit::writeDicomFile(*image, path, true, toolkit::kJpegExtendedUid, kDicomQuality);
            return 0;
        });
    });
}

void frmDicomViewer::mWriteToCD_Click() {
    guarded([this] {
        const int n = imageCount();
        if (n == 0) {
            prompter().message(kNoImagesToBurn, Prompter::Icon::Warning, Prompter::Ok, QString(),
                               this);
            return;
        }
        std::vector<std::shared_ptr<toolkit::Image>> images;
        for (int p = 1; p <= n; ++p) {
            images.push_back(Viewer->images().item(p));
        }
        // The current image: the selected one, else the one in the top left tile.
        const int current = m_set->imageSelected() && m_set->currentPosition() > 0
                                ? m_set->currentPosition()
                                : std::max(1, Viewer->currentIndex());
        const QString viewerFolder = discViewerFolder();
        const viewer::DiscStaging staging(viewer::stagingRoot(), viewerFolder);
        const QString studyId = currentExam().StudyID();

        // The images are written on a worker thread; the progress window follows its count.
        std::atomic<int> done{0};
        std::atomic<bool> stop{false};
        viewer::NetworkWait wait(this, QStringLiteral("Preparing the disc ..."), n, true);
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            wait.setProgress(done, QStringLiteral("Writing image %1 of %2 ...").arg(done).arg(n));
            if (wait.cancelled()) {
                stop = true;
            }
        });
        poll.start(100);
        viewer::StagingReport report;
        wait.run([&] {
            report = staging.stage(images, studyId, current, [&](int written) {
                done = written;
                return !stop;
            });
            return 0;
        });
        poll.stop();
        if (report.cancelled) {
            return;
        }
        const QString problems = viewer::stagingMessage(report, viewerFolder);
        if (!problems.isEmpty()) {
            prompter().message(problems, Prompter::Icon::Warning, Prompter::Ok, QString(), this);
        }
        if (report.burnFolder.isEmpty()) {
            return;
        }
        zuvuZiroduvCOMForm burnWindow(this);
        burnWindow.valDirPath = report.burnFolder;
        burnWindow.valStudyID = report.discFolderName;
        burnWindow.exec();
    });
}

} // namespace ravlen
