#pragma once

#include "viewer/imageset.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace ravlen::toolkit {
class Image;
class ViewerControl;
} // namespace ravlen::toolkit

namespace ravlen {

// The main viewer window ("RAVLEN PACS Viewer v2.0"): a grid of tiles over the image set, the
// side panel that sets the grid and the first shown image, the menus of every viewer function
// and a status line. One per process (dicomViewer()); closing it discards its images. Handlers
// report failures through the prompter and never throw.
class frmDicomViewer : public QMainWindow {
    Q_OBJECT
public:
    explicit frmDicomViewer(QWidget *parent = nullptr);
    ~frmDicomViewer() override;

    // --- procedures other windows call
    // Gives every image its default window and redraws; run after images were added.
    void InitImage();
    // The image an operation acts on (see viewer::ImageSet::selectedImage).
    std::shared_ptr<toolkit::Image> GetSelectedImage();
    // Selects the image at `position` and shows its page.
    void SelectImage(int position);
    void ReselectCurrent();
    // Brings the side panel and the status line up to date with the viewer.
    void RefreshImageControls();
    // Enables or disables the entries that need an image.
    void SetImageControlsEnabled(bool enabled);
    // Reads DICOM files and appends them in the order given; an unreadable file is reported by
    // name and the others still load. Returns how many were added.
    int OpenFiles(const QStringList &paths);
    // Sets the grid and keeps the selected image in view.
    void SetGrid(viewer::GridSize grid);

    // --- handlers, named after their controls and events
    void mnuOpenDicom_Click();
    void Exit_Click();
    void DeleteSelected_Click();
    void DeleteAll_Click();
    void mnuCloseImg_Click();
    void SImage_Click();
    void mSortImages_Click();
    // "Sort &Images" and "&Sort Images": the images ordered by slice location, in memory.
    void Sort_Images();
    void cmnuTile_Click(viewer::GridSize grid);
    void Options_Click();
    void mOptions_Click();
    void mViewMenu_Click();
    void cmdToolB_Click();
    void cmdToolB_MouseMove();
    void fraMain_MouseMove();
    void Viewer_MouseDown(int Button, int Shift, int X, int Y);
    void Viewer_MouseMove(int Button, int Shift, int X, int Y);
    void Viewer_KeyDown(int KeyCode, int Shift);
    void Viewer_DblClick();
    void current_Change();
    void CurrentSpin_Change();
    void rows_Change();
    void Columns_Change();
    void RowSpin_Change();
    void ColSpin_Change();
    void rows_LostFocus();
    void Columns_LostFocus();
    // Enter and double click: 1 x 1 becomes 4 x 4, any other grid 1 x 1.
    void LayoutSwitch();
    void Form_Resize();

    // --- state
    viewer::ImageSet &imageSet() { return *m_set; }
    int imageCount() const;
    int mouseFunction() const { return m_mouseFunction; }
    int playInterval() const { return m_playInterval; } // the cine timer's interval, ms
    int displayMonitor() const { return m_displayMonitor; }
    int magMode() const { return m_magMode; }
    int minMode() const { return m_minMode; }
    bool panelShown() const;
    QString statusLine() const;
    // A menu entry by its object name; null when there is none.
    QAction *entry(const QString &objectName) const;

    // --- controls
    toolkit::ViewerControl *Viewer = nullptr;
    QFrame *fraMain = nullptr;
    QPushButton *cmdToolB = nullptr;
    QLineEdit *rows = nullptr;
    QScrollBar *RowSpin = nullptr;
    QLineEdit *Columns = nullptr;
    QScrollBar *ColSpin = nullptr;
    QLineEdit *current = nullptr;
    QScrollBar *CurrentSpin = nullptr;
    QLabel *lblPatient = nullptr;
    QLabel *lblPatientID = nullptr;
    QLineEdit *PatientName = nullptr;
    QPushButton *cmdPreImages = nullptr;
    QPlainTextEdit *tl = nullptr;
    QLabel *StatusLine = nullptr;
    QMenu *mnuContext = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();
    void buildPanel();
    void buildMenus();
    void showPanel(bool shown);
    void showExamLabels();
    void updateStatus(int hoveredPosition = 0, QPoint pointer = QPoint());
    // Runs a handler body; a failure reaches the user as a message instead of leaving the slot.
    void guarded(const std::function<void()> &body);

    class Grid;
    std::unique_ptr<Grid> m_grid;
    std::unique_ptr<viewer::ImageSet> m_set;
    QWidget *m_area = nullptr; // the client area the window lays out by hand
    int m_mouseFunction = 0;
    int m_playInterval = 0;
    int m_displayMonitor = 0;
    int m_magMode = 0;
    int m_minMode = 0;
    int m_lastDownX = 0;
    int m_lastDownY = 0;
};

// The viewer window of the process, created (empty) on first use and again after it was closed.
frmDicomViewer &dicomViewer();
// True while the window exists (used and not closed since).
bool dicomViewerExists();

// Lets clsRavlenPACSViewer::ShowViewer show this window. Runs by itself when the library is
// loaded; calling it again does no harm.
void registerViewerWindow();

} // namespace ravlen
