#pragma once

#include "viewer/frmdicomviewer.h"

#include <QString>

#include <memory>

class QAction;
class QLabel;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace ravlen {

// The scout viewer ("View Scout Images"): a viewer window of the main viewer's kind that holds
// scout images and shows, as a red line on the scout, where an image of the main viewer lies.
// It adds a toolbar and a status bar, keeps to its own menus, and differs from the main viewer
// where its handlers below say so. One per process (sliceViewer()); closing it discards its
// images. Handlers report failures through the prompter and never throw.
class frmSliceViewer : public frmDicomViewer {
    Q_OBJECT
public:
    explicit frmSliceViewer(QWidget *parent = nullptr);
    ~frmSliceViewer() override;

    // --- procedures other windows call
    // Draws on the scout (the image operations act on here) where the main viewer's image at
    // `position` lies, as the one red line on it; the labels drawn on the scout before go.
    // When there is no line the status bar says why.
    void Slice_Show(qint16 position);
    void Slice_Load(qint16 position);
    // Shows the page of `position` and highlights its image; outside the set the status bar
    // says "NONE" and the selection stays.
    void SelectImage(int position) override;

    // --- handlers
    // A toolbar button by key ("tbrPrint", "tbrPrevImg", ...), and an entry of the "Tile"
    // drop-down ("tbr1x1" .. "tbr6x6").
    void tbarMain_ButtonClick(const QString &Key);
    void tbarMain_ButtonMenuClick(const QString &Key);
    // "Scout Slices": the series of the image selected in the main viewer, read from the image
    // store as the database lists it, each slice's line drawn on the scout (image 1).
    void mnuDisplaySlice_Click() override;
    // "Label" chooses the text label tool.
    void mnuLabel_Click() override;
    // Removes the image operations act on, without selecting another.
    void DeleteSelected_Click() override;
    // Presses and drags act for the select, window, pan and label functions only.
    void Viewer_MouseDown(int Button, int Shift, int X, int Y) override;
    void Viewer_MouseMove(int Button, int Shift, int X, int Y) override;
    // Associations called by another AE title than the local one (when one is set) are refused.
    void Viewer_AssociationRequest(const QString &Address, const QString &CalledAE,
                                   const QString &CallingAE, int Reserved, bool &Accept,
                                   std::vector<toolkit::ProposedContext> &Contexts) override;
    // The flag stays as the first form of the request left it.
    void Viewer_AssociationRequest2(toolkit::IncomingAssociation &Association,
                                    bool &Accept) override;
    // Also the toolbar's Print, Tile, View Result, Previous and Next buttons.
    void SetImageControlsEnabled(bool enabled) override;

    // --- controls
    QToolBar *tbarMain = nullptr;
    QStatusBar *statBar = nullptr;
    // The toolbar's button at a 1-based position (separators count); null past the end.
    QAction *button(int position) const;
    // The toolbar's button by key.
    QAction *button(const QString &key) const;
    // The status bar's panels: 1 what the last command has to say, 2 the selected position.
    QString panelText(int panel) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void applyPreset(const QString &button) override;
    void orient(const std::function<void(toolkit::Image &)> &change) override;
    void selectByMouse(int hit) override;
    void foldToolPanel() override {} // the panel stays while the mouse works on the images
    // "Print" heads every page with the patient of the exam.
    std::vector<viewer::PageText> pageHeader() const override;

private:
    void Form_Load();
    void buildToolbar();
    void buildMenus();
    void buildStatusBar();
    // Panel 2 and the Previous/Next buttons for the position now asked for.
    void showPosition(int position);
    void setNote(const QString &text);

    QLabel *m_note = nullptr;
    QLabel *m_position = nullptr;
    QToolButton *m_tile = nullptr;
};

// The scout viewer of the process, created (empty) on first use and again after it was closed.
frmSliceViewer &sliceViewer();
// True while the window exists (used and not closed since).
bool sliceViewerExists();

// Makes the scout viewer the destination of "Slice" retrievals and the main viewer's partner.
// Runs by itself when the library is loaded; calling it again does no harm.
void registerSliceViewer();

} // namespace ravlen
