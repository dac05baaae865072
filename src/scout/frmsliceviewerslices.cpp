// The scout's reference lines: the main viewer's image on the scout (Slice_Show), and a whole
// series from the image store drawn on it ("Scout Slices").
#include "scout/frmsliceviewer.h"

#include "component/clsexam.h"
#include "component/clsravlenpacsviewer.h"
#include "component/optionsvalues.h"
#include "core/prompter.h"
#include "scout/imagelist.h"
#include "scout/scoutconstants.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/referenceline.h"
#include "toolkit/viewercontrol.h"
#include "viewer/overlays.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressDialog>

#include <map>

namespace ravlen {

namespace {

// Removes the labels the user or an earlier line put on the image; its overlay texts and side
// markers (tied to the tile) stay.
void clearDrawnLabels(toolkit::Image &image) {
    toolkit::LabelCollection &labels = image.labels();
    for (int i = labels.count(); i >= 1; --i) {
        if (!labels.item(i)->cellRelative) {
            labels.remove(i);
        }
    }
}

// "3 slices have no line: The slice is parallel to the scout." for each reason met.
QString noLineNote(const std::map<QString, int> &reasons) {
    QStringList parts;
    for (const auto &[reason, count] : reasons) {
        parts << (count == 1 ? QStringLiteral("1 slice has no line: %1").arg(reason)
                             : QStringLiteral("%1 slices have no line: %2").arg(count).arg(reason));
    }
    return parts.join(QLatin1Char(' '));
}

QString listed(const QStringList &items) {
    constexpr int kShown = 5; // a long list would push the box off the screen
    QStringList shown = items.mid(0, kShown);
    if (items.size() > kShown) {
        shown << QStringLiteral("... and %1 more").arg(items.size() - kShown);
    }
    return shown.join(QLatin1Char('\n'));
}

} // namespace

void frmSliceViewer::Slice_Show(qint16 position) {
    guarded([&] {
        if (imageCount() == 0 || !dicomViewerExists()) {
            return;
        }
        toolkit::ImageCollection &main = dicomViewer().Viewer->images();
        if (position < 1 || position > main.count()) {
            setNote(
                QStringLiteral("The viewer has no image %1 to show on the scout.").arg(position));
            return;
        }
        const std::shared_ptr<toolkit::Image> scoutImage = GetSelectedImage();
        toolkit::ReferenceLine why;
        const std::shared_ptr<toolkit::Label> line =
            toolkit::referenceLineLabel(*scoutImage, *main.item(position), &why);
        // The scout shows one line, the last one asked for: without a line it shows none
        // rather than one for an image no longer selected.
        clearDrawnLabels(*scoutImage);
        if (line) {
            line->foreColour = scout::kLineColour;
            scoutImage->labels().add(line);
        }
        setNote(why.text);
        DrawSideMarkers();
        Viewer->refresh();
    });
}

void frmSliceViewer::Slice_Load(qint16 position) {
    Q_UNUSED(position);
}

void frmSliceViewer::mnuDisplaySlice_Click() {
    guarded([this] {
        const auto tell = [this](const QString &text, Prompter::Icon icon) {
            prompter().message(text, icon, Prompter::Ok, QString(), this);
        };
        if (imageCount() == 0) {
            tell(scout::kNoScoutImage, Prompter::Icon::Information);
            return;
        }
        if (!dicomViewerExists() || dicomViewer().imageCount() == 0) {
            tell(scout::kNoSeriesImage, Prompter::Icon::Information);
            return;
        }
        const QString root = options().ImageRoot;
        if (root.isEmpty()) {
            tell(scout::kNoImageStore, Prompter::Icon::Warning);
            return;
        }
        const std::shared_ptr<IRavlenUser> user = currentRavlenUser();
        if (!user) {
            tell(scout::kNoDatabase, Prompter::Icon::Warning);
            return;
        }
        const QString seriesUid =
            dicomViewer().GetSelectedImage()->attribute(0x0020, 0x000E).toString().trimmed();
        const QStringList files = scout::seriesImageFiles(user->SQLConnection(), seriesUid);
        if (files.isEmpty()) {
            tell(scout::kNoSeriesImages, Prompter::Icon::Warning);
            return;
        }

        const std::shared_ptr<toolkit::Image> scoutImage = Viewer->images().item(1);
        const QPointer<frmSliceViewer> alive(this);
        // On the heap: the window deletes its children should it be closed meanwhile.
        const QPointer<QProgressDialog> progress =
            new QProgressDialog(QStringLiteral("Reading the series..."), QStringLiteral("Cancel"),
                                0, int(files.size()), this);
        progress->setObjectName(QStringLiteral("SlicesProgress"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(400);
        QStringList refused;
        QStringList unreadable;
        std::map<QString, int> noLine;
        int lines = 0;
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (!alive || !progress || progress->wasCanceled()) {
                break;
            }
            progress->setValue(int(i));
            QCoreApplication::processEvents();
            if (!alive) {
                return;
            }
            const scout::StoreFile file = scout::resolveInStore(root, files[i]);
            if (file.status == scout::StoreFile::Status::Outside) {
                refused << files[i];
                continue;
            }
            if (file.status == scout::StoreFile::Status::Missing) {
                unreadable << QStringLiteral("%1: no such file").arg(files[i]);
                continue;
            }
            std::shared_ptr<toolkit::Image> slice;
            try {
                slice = toolkit::Image::fromFile(file.path);
            } catch (const std::exception &e) {
                unreadable << QString::fromStdString(e.what());
                continue;
            }
            Viewer->images().add(slice);
            toolkit::ReferenceLine why;
            if (const auto line = toolkit::referenceLineLabel(*scoutImage, *slice, &why)) {
                line->foreColour = scout::kLineColour;
                scoutImage->labels().add(line);
                ++lines;
            } else {
                ++noLine[why.text];
            }
        }
        delete progress.data();
        if (!alive) {
            return;
        }
        imageSet().imagesChanged(currentExam());
        viewer::BuildMissingOverlays(Viewer->images(), textModes());
        Viewer->refresh();
        RefreshImageControls();

        QString note =
            QStringLiteral("Scout Slices: %1 of %2 slices drawn.").arg(lines).arg(files.size());
        if (!noLine.empty()) {
            note += QLatin1Char(' ') + noLineNote(noLine);
        }
        setNote(note);
        if (!refused.isEmpty()) {
            tell(QStringLiteral("%1 image paths of the series lead outside the image store %2 "
                                "and were not read:\n%3")
                     .arg(refused.size())
                     .arg(root, listed(refused)),
                 Prompter::Icon::Warning);
        }
        if (!unreadable.isEmpty()) {
            tell(QStringLiteral("%1 images of the series could not be read:\n%2")
                     .arg(unreadable.size())
                     .arg(listed(unreadable)),
                 Prompter::Icon::Warning);
        }
    });
}

} // namespace ravlen
