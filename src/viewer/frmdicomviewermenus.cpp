// The menus of the main viewer window: every entry with its caption and object name, wired to
// its handler where the feature exists. Entries of features still to come are listed in
// viewer::kPendingEntries and stay disabled.
#include "viewer/frmdicomviewer.h"

#include "viewer/menulines.h"
#include "viewer/viewerconstants.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <vector>

namespace ravlen {

namespace {

using Line = viewer::MenuLine<frmDicomViewer>;
using TopMenu = viewer::TopMenu<frmDicomViewer>;
using Handler = Line::Handler;

Line item(const char *name, const char *caption, Handler handler = nullptr) {
    return Line::item(name, caption, handler);
}
Line toggle(const char *name, const char *caption, Handler handler = nullptr) {
    return Line::toggle(name, caption, handler);
}
Line separator() {
    return Line::separator();
}
Line submenu(const char *name, const char *caption, std::vector<Line> lines) {
    return Line::sub(name, caption, std::move(lines));
}

const std::vector<TopMenu> &menuBarLayout() {
    using F = frmDicomViewer;
    static const std::vector<TopMenu> layout = {
        {"mnuFile",
         "&File",
         {item("mnuOpenDicom", "Open Dicom File", &F::mnuOpenDicom_Click), separator(),
          item("PrintWindows", "Print", &F::PrintWindows_Click),
          item("mnuPrintSel", "Print Selected Image", &F::mnuPrintSel_Click), separator(),
          item("Import", "&Import non-DICOM file", &F::Import_Click),
          item("Export", "&Export to non-DICOM file", &F::Export_Click),
          item("FileWrite", "&Export to DICOM File", &F::FileWrite_Click),
          item("mWriteToCD", "&Write to CD", &F::mWriteToCD_Click), separator(),
          item("Exit", "E&xit", &F::Exit_Click)}},
        {"mnuEdit",
         "&Edit",
         {item("Copy", "&Copy", &F::Copy_Click), item("Paste", "&Paste", &F::Paste_Click),
          separator(), item("DeleteSelected", "Close Selected", &F::DeleteSelected_Click),
          item("DeleteAll", "Close &All", &F::DeleteAll_Click),
          item("SImage", "Sort &Images", &F::SImage_Click)}},
        {"mnuRemote",
         "&Remote",
         {item("Verify", "&Verify", &F::Verify_Click),
          item("SendSelected", "&Send Selected", &F::SendSelected_Click),
          item("SendAll", "Send &All", &F::SendAll_Click), separator(),
          item("Retrieve", "&Retrieve", &F::Retrieve_Click)}},
        {"mnuDisplay",
         "&Display",
         {item("mnuDisplayResult", "View Result", &F::mnuDisplayResult_Click),
          item("mnuDisplayMonitor", "Settings", &F::mnuDisplayMonitor_Click), separator(),
          item("mnuLabel", "Label", &F::mnuLabel_Click),
          item("mnuDisplayElements", "&Data Elements", &F::mnuDisplayElements_Click),
          item("mnuDisplaySlice", "Scout Slices", &F::mnuDisplaySlice_Click),
          item("mnuDisplayTextMode", "Text Modes", &F::mnuDisplayTextMode_Click),
          item("cmdSmooth", "S&moothing", &F::cmdSmooth_Click),
          toggle("mnuDisplayEnhance", "Enhance Images", &F::mnuDisplayEnhance_Click),
          item("mSortImages", "&Sort Images", &F::mSortImages_Click), separator(),
          item("mnuNormal", "&Normal", &F::mnuNormal_Click),
          item("mnuFlipHorizontal", "Flip &Horizontal", &F::mnuFlipHorizontal_Click),
          item("mnuFlipVertical", "Flip &Vertical", &F::mnuFlipVertical_Click),
          item("mnuRotateClockwise", "Rotate &Clockwise", &F::mnuRotateClockwise_Click),
          item("mnuRotateAnticlockwise", "Rotate &Anticlockwise", &F::mnuRotateAnticlockwise_Click),
          separator(),
          submenu("Cine", "&Multi-frame (Cine)",
                  {item("CineForward", "&Forward (continuous)", &F::CineForward_Click),
                   item("CineReverse", "&Reverse", &F::CineReverse_Click),
                   item("CineOscillate", "&Oscilate", &F::CineOscillate_Click),
                   item("CineStop", "&Stop", &F::CineStop_Click)})}},
        {"mnuView",
         "&View",
         {item("mnuDataElements", "&Data Elements", &F::mnuDataElements_Click),
          toggle("Infoview", "Image &Information", &F::Infoview_Click), separator(),
          item("Options", "&Options", &F::Options_Click),
          submenu("mnuLogging", "&Logging",
                  {toggle("LoggingEnabled", "Logging Enabled", &F::LoggingEnabled_Click),
                   item("LogLevel", "Log Level", &F::LogLevel_Click),
                   item("LogLocation", "Log Location", &F::LogLocation_Click)}),
          separator(), toggle("mViewMenu", "&Tools Panel", &F::mViewMenu_Click)}},
        {"mnuSeries",
         "Series",
         {item("mnuOpenInSlice", "Open in Slice Window", &F::mnuOpenInSlice_Click)}},
        {"mPlayDiv2",
         "&Play",
         {item("mPlayCine", "&Cine", &F::mPlayCine_Click),
          item("mPlay", "&Images", &F::mPlay_Click),
          item("mOptions", "&Options", &F::mOptions_Click)}},
    };
    return layout;
}

const std::vector<Line> &contextLayout() {
    using F = frmDicomViewer;
    static const std::vector<Line> layout = {
        item("cmnuImgInfo", "&Data Elements", &F::cmnuImgInfo_Click),
        separator(),
        item("cmnuLabelClear", "Clear Labels", &F::cmnuLabelClear_Click),
        item("cmnuLabelDelete", "Delete Selected Label", &F::cmnuLabelDelete_Click),
        item("cmnuLabelDetails", "Label Details...", &F::cmnuLabelDetails_Click),
        separator(),
        item("cmnuPrintSelImage", "Print Selected Image", &F::cmnuPrintSelImage_Click),
        submenu("cmnuTile", "Tile", {}), // the eleven layouts are added from the grid table
        separator(),
        item("cmnuNormal", "Normal", &F::cmnuNormal_Click),
        item("cmnuFlipHorizontal", "Flip &Horizontal", &F::cmnuFlipHorizontal_Click),
        item("cmnuFlipVertical", "Flip &Vertical", &F::cmnuFlipVertical_Click),
        item("cmnuRotateClockwise", "Rotate Clockwise", &F::cmnuRotateClockwise_Click),
        item("cmnuRotateCounterClockwise", "Rotate Counter-Clockwise",
             &F::cmnuRotateCounterClockwise_Click),
        separator(),
        item("mnuCloseImg", "Close Image", &F::mnuCloseImg_Click),
    };
    return layout;
}

} // namespace

void frmDicomViewer::buildMenus() {
    viewer::addMenuBar(this, menuBar(), menuBarLayout(), viewer::kPendingEntries);
    mnuContext = new QMenu(this);
    mnuContext->setObjectName(QStringLiteral("mnuContext"));
    viewer::addMenuLines(this, mnuContext, contextLayout(), viewer::kPendingEntries);
    auto *tile = mnuContext->findChild<QMenu *>(QStringLiteral("cmnuTile"));
    for (const viewer::GridSize &grid : viewer::tileLayouts()) {
        QAction *action = tile->addAction(viewer::tileCaption(grid));
        action->setObjectName(viewer::tileEntryName(grid));
        connect(action, &QAction::triggered, this, [this, grid] { cmnuTile_Click(grid); });
    }
}

} // namespace ravlen
