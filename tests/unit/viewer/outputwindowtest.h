#pragma once

// The viewer window offscreen with scripted prompts and pages printed to a PDF of the test's.

#include "core/prompter.h"
#include "support/outputtestdata.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "unit/component/componenttestsupport.h"
#include "viewer/frmdicomviewer.h"
#include "viewer/pageprinter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ravlen::test {

class OutputWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir iniFolder;
        modStart::StartUp(iniFolder.path());
        installMemoryStore();
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        pdf = dir.filePath("pages.pdf");
        viewer::setPrintTargetProvider([this] { return viewer::PrintTarget{QString(), pdf}; });
    }
    void TearDown() override {
        viewer::setPrintTargetProvider({});
        if (dicomViewerExists()) {
            delete &dicomViewer();
        }
    }

    frmDicomViewer &viewerWith(const std::vector<std::shared_ptr<toolkit::Image>> &images) {
        frmDicomViewer &v = dicomViewer();
        for (const auto &image : images) {
            v.Viewer->images().add(image);
        }
        v.SetGrid({2, 2});
        if (!images.empty()) {
            v.SelectImage(1);
        }
        v.InitImage();
        return v;
    }

    QTemporaryDir dir;
    QString pdf;
    ScriptedPrompter *prompts = nullptr;
};

} // namespace ravlen::test
