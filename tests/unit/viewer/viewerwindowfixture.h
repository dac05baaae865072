#pragma once

#include "core/prompter.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "unit/component/componenttestsupport.h"
#include "viewer/frmdicomviewer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace ravlen::test {

// The viewer window's tests: start-up configuration in a private folder, settings in memory,
// scripted prompts, and the window gone again after each test.
class ViewerWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir iniFolder;
        modStart::StartUp(iniFolder.path());
        store = &installMemoryStore();
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
    }
    void TearDown() override {
        if (dicomViewerExists()) {
            delete &dicomViewer();
        }
    }

    // The viewer holding `images` on `grid`, the first selected, initialised as a retrieval
    // leaves it.
    frmDicomViewer &viewerWith(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                               viewer::GridSize grid = {1, 1}) {
        frmDicomViewer &v = dicomViewer();
        for (const auto &image : images) {
            v.Viewer->images().add(image);
        }
        v.SetGrid(grid);
        v.SelectImage(1);
        v.InitImage();
        return v;
    }
    static std::shared_ptr<toolkit::Image> at(frmDicomViewer &v, int position) {
        return v.Viewer->images().item(position);
    }

    MemoryStore *store = nullptr;
    ScriptedPrompter *prompts = nullptr;
};

} // namespace ravlen::test
