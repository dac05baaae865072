#pragma once

// The scout viewer offscreen beside the main viewer, with scripted prompts, settings in memory
// and the sample study (a CT series and its coronal scout) on disk.

#include "component/clsexam.h"
#include "core/prompter.h"
#include "samplestudy.h"
#include "scout/frmsliceviewer.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "unit/component/componenttestsupport.h"
#include "viewer/frmdicomviewer.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ravlen::test {

// The sample study, written once per test binary: 6 axial CT slices of 64 x 64 and the scout.
inline const QString &sampleStudy() {
    static QTemporaryDir *dir = [] {
        auto *d = new QTemporaryDir;
        tools::SampleStudyOptions o;
        o.outDir = d->path();
        o.slices = 6;
        o.size = 64;
        tools::writeSampleStudy(o);
        return d;
    }();
    static const QString path = dir->path();
    return path;
}

inline QString ctFile(int k) {
    return QDir(sampleStudy()).filePath(QStringLiteral("CT%1.dcm").arg(k, 4, 10, QLatin1Char('0')));
}

inline QString scoutFile() {
    return QDir(sampleStudy()).filePath(QStringLiteral("SCOUT.dcm"));
}

class ScoutWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir iniFolder;
        modStart::StartUp(iniFolder.path());
        store = &installMemoryStore();
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        currentExam() = clsExam();
    }
    void TearDown() override {
        if (sliceViewerExists()) {
            delete &sliceViewer();
        }
        if (dicomViewerExists()) {
            delete &dicomViewer();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The scout viewer, shown, holding the scout; the main viewer holding the CT series with
    // image `selected` selected (0: none).
    frmSliceViewer &scoutWithSeries(int selected = 0) {
        frmDicomViewer &main = dicomViewer();
        QStringList files;
        for (int k = 1; k <= 6; ++k) {
            files << ctFile(k);
        }
        main.OpenFiles(files);
        frmSliceViewer &scout = sliceViewer();
        scout.OpenFiles({scoutFile()});
        scout.show();
        if (selected) {
            main.SelectImage(selected);
        }
        return scout;
    }

    // The lines drawn on an image (not its overlay texts or side markers).
    static std::vector<std::shared_ptr<toolkit::Label>> lines(const toolkit::Image &image) {
        std::vector<std::shared_ptr<toolkit::Label>> out;
        for (int i = 1; i <= image.labels().count(); ++i) {
            const auto label = image.labels().item(i);
            if (!label->cellRelative) {
                out.push_back(label);
            }
        }
        return out;
    }

    // The scout's row where CT slice k lies: 64 x 53 scout pixels over 360 x 300 mm, slices
    // 10 mm thick from z = 95 down.
    static double rowOf(int k) {
        const double z = 100.0 - (k - 0.5) * 10.0;
        const double rowSpacing = 300.0 / 53.0;
        return (150.0 - z) / rowSpacing;
    }

    MemoryStore *store = nullptr;
    ScriptedPrompter *prompts = nullptr;
};

} // namespace ravlen::test
