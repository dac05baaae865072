#pragma once

#include "viewer/imageset.h"
#include "viewer/mousetools.h"
#include "viewer/overlays.h"
#include "viewer/printlayout.h"

#include <QMainWindow>
#include <QPointF>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRect;
class QRadioButton;
class QScrollBar;
class QSlider;
class QTimer;

namespace ravlen::toolkit {
class Image;
class ViewerControl;
struct IncomingAssociation;
struct ProposedContext;
struct ReceivedImage;
} // namespace ravlen::toolkit

namespace ravlen {

class clsMonitors;

// The main viewer window ("RAVLEN PACS Viewer v2.0"): a grid of tiles over the image set, the
// side panel that sets the grid and the first shown image, the menus of every viewer function
// and a status line. One per process (dicomViewer()); closing it discards its images. Handlers
// report failures through the prompter and never throw.
class frmDicomViewer : public QMainWindow, private viewer::MouseWindow {
    Q_OBJECT
public:
    explicit frmDicomViewer(QWidget *parent = nullptr);
    ~frmDicomViewer() override;

    // --- procedures other windows call
    // Gives the images added since they were last shown their default window and redraws; run
    // after images were added. Windows the user may have set on images already shown stay.
    void InitImage();
    // The image an operation acts on (see viewer::ImageSet::selectedImage).
    std::shared_ptr<toolkit::Image> GetSelectedImage() override;
    // Selects the image at `position` and shows its page.
    virtual void SelectImage(int position);
    void ReselectCurrent();
    // Brings the side panel and the status line up to date with the viewer.
    void RefreshImageControls();
    // Enables or disables the entries that need an image.
    virtual void SetImageControlsEnabled(bool enabled);
    // Reads DICOM files and appends them in the order given; an unreadable file is reported by
    // name and the others still load. Returns how many were added.
    int OpenFiles(const QStringList &paths);
    // Sets the grid and keeps the selected image in view.
    void SetGrid(viewer::GridSize grid);

    // --- handlers, named after their controls and events
    void mnuOpenDicom_Click();
    void Exit_Click();
    virtual void DeleteSelected_Click();
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
    // --- mouse functions, label tools and measurements (mousetools.cpp does the work)
    void Mouse_Click(int Index);
    virtual void Viewer_MouseDown(int Button, int Shift, int X, int Y);
    virtual void Viewer_MouseMove(int Button, int Shift, int X, int Y);
    void Viewer_MouseUp(int Button, int Shift, int X, int Y);
    void Viewer_KeyDown(int KeyCode, int Shift);
    void Viewer_DblClick();
    void SetMagnifier(int X, int Y);
    void RestoreMinification();
    double CalculateCobb();
    void cmnuLabelClear_Click();
    void cmnuLabelDelete_Click();
    // Shows "Label Details", where new labels take their appearance from.
    void cmnuLabelDetails_Click();
    // --- text overlays, side markers and prior exams
    // Rebuilds the text overlays of every image.
    void RefreshOverlays() override;
    // Removes and, when "Show Anatomic Side Markers" is ticked, adds again every image's side
    // markers.
    void DrawSideMarkers();
    void AnatomicMarkers_Click();
    virtual void mnuLabel_Click();
    void mnuDisplayTextMode_Click();
    // "Scout Slices": the scout viewer shown, with the series of the selected image drawn on its
    // scout. "Open in Slice Window": a copy of the selected image in the scout viewer.
    virtual void mnuDisplaySlice_Click();
    void mnuOpenInSlice_Click();
    // "Previous Images": the query dialog for the patient on screen, every study of theirs.
    void cmdPreImages_Click();
    // The caption of an emptied viewer.
    void Exam_CaptionClear();
    const viewer::TextModes &textModes() const { return m_textModes; }
    viewer::MouseTools &mouseTools() { return *m_mouse; }
    void current_Change();
    void CurrentSpin_Change();
    void rows_Change();
    void Columns_Change();
    void RowSpin_Change();
    void ColSpin_Change();
    void rows_LostFocus();
    void Columns_LostFocus();
    // Enter and double click: 1 x 1 becomes 4 x 4, any other grid 1 x 1.
    void LayoutSwitch() override;
    void Form_Resize();
    // Refills the query dialog with an unfiltered query and shows it (viewerretrieve.cpp).
    void Retrieve_Click();

    // --- network, logging and the Information window (frmdicomviewernetwork.cpp)
    // Each command reads its destination from the options at the moment it runs, and waits for
    // the network on a worker thread while the windows stay alive.
    void Verify_Click();
    void SendSelected_Click();
    // Sends every image in order and stops at the first one the destination does not take.
    void SendAll_Click();
    void LoggingEnabled_Click();
    void LogLevel_Click();
    void LogLocation_Click();
    // Shows the Information window with fresh data elements, or hides it.
    void Infoview_Click();
    void mnuDisplayElements_Click();
    void cmnuImgInfo_Click();
    void mnuDataElements_Click();
    // Events of the viewer's listener. Every association is accepted; contexts outside the
    // standard's root are refused. Each event is logged in the Information window.
    virtual void Viewer_AssociationRequest(const QString &Address, const QString &CalledAE,
                                           const QString &CallingAE, int Reserved, bool &Accept,
                                           std::vector<toolkit::ProposedContext> &Contexts);
    virtual void Viewer_AssociationRequest2(toolkit::IncomingAssociation &Association,
                                            bool &Accept);
    // With "Copy all Frames as separate images" each frame joins the viewer as its own entry.
    void Viewer_ImageReceived(const std::shared_ptr<toolkit::Image> &Image, bool &AddToViewer,
                              int Reserved1, int Reserved2);
    void Viewer_ImageReceivedAsync(const toolkit::ReceivedImage &Received,
                                   const std::shared_ptr<toolkit::Image> &Image, int Reserved);
    void Viewer_ToolkitMessage(qint16 Level, const QString &Text);
    // Whether a network command is waiting for its peer.
    bool networkBusy() const { return m_networkBusy; }

    // --- DICOM export and patient discs (frmdicomviewerdisc.cpp)
    // Writes the selected image to a chosen file in JPEG Extended, quality 100.
    void FileWrite_Click();
    // Stages every image for a patient disc, then opens the burn window on the current image's
    // folder; tells the user when there is nothing to stage or burn.
    void mWriteToCD_Click();

    // --- windowing, sharpening and smoothing (frmdicomviewerwindowing.cpp)
    // "Default Level": the selected image's own window, and slider ranges of three times its
    // width either way. Also the first step of InitImage.
    void cmdDefLevel_Click();
    // Saves the selected image's rendering switch and minification method and draws it the
    // fast way, for a mouse windowing drag; RestoreWindowingValues puts them back at its end.
    void GetWindowingValues() override;
    // Switches the selected image to the fast path and rebuilds the overlay texts.
    void RefreshWindowingText();
    // Applies the "Enhance Images" state to the selected image and every image of the set.
    void Image_Enhance(bool enhance);
    void LevelSlider_Change();
    void WidthSlider_Change();
    void WLSlider_Change();
    void level1_LostFocus();
    void width1_LostFocus();
    // Windows key codes: 13 Enter moves to the viewer, 38/40 arrows to the box's slider.
    bool level1_KeyDown(int KeyCode);
    bool width1_KeyDown(int KeyCode);
    void btnHead_Click();
    void btnAbdomen_Click();
    void btnMediastinum_Click();
    void btnLung_Click();
    void btnSpine_Click();
    void btnVertebrae_Click();
    void chkSharp_Click();
    void sldSharp_Change();
    void sldSharpLength_Change();
    void cmdSmooth_Click();
    void Replicate_Click();
    void BSpline_Click();
    void CubicSpline_Click();
    void PixelValues_Click();
    void MovingAverage_Click();
    void mnuDisplayEnhance_Click();
    // True only while a preset button applies its values (the overlays then read the sliders).
    bool presetInProgress() const { return m_presetInProgress; }
    bool windowingSaved() const { return m_savedRendering; }

    // --- zoom, stretch and orientation (frmdicomviewerzoom.cpp)
    void ZoomSlider_MouseDown();
    void ZoomSlider_Change();
    void Zoom_LostFocus();
    bool Zoom_KeyDown(int KeyCode);
    void StretchToFit_Click();
    void mnuNormal_Click();
    void mnuFlipHorizontal_Click();
    void mnuFlipVertical_Click();
    void mnuRotateClockwise_Click();
    void mnuRotateAnticlockwise_Click();
    void cmnuNormal_Click();
    void cmnuFlipHorizontal_Click();
    void cmnuFlipVertical_Click();
    void cmnuRotateClockwise_Click();
    void cmnuRotateCounterClockwise_Click();
    // Whether a mouse function's palette button may be chosen now ("Stretch to fit" blocks
    // function 3).
    bool mouseFunctionEnabled(int function) const;

    // --- cine (frmdicomviewercine.cpp): multi-frame images play in the viewer by themselves
    // once their cine mode is set; the image timer steps through the set
    void CineForward_Click();
    void CineReverse_Click();
    void CineOscillate_Click();
    void CineStop_Click();
    // The image in the viewer's top left tile starts oscillating, or stops when it plays.
    void mPlayCine_Click();
    // Starts or stops the image timer. With an interval of 0 it is on but never ticks.
    void mPlay_Click();
    // Shows the next image of the set; after the last, the next tick shows the first.
    void Timer1_Timer();
    // Enables or disables the four "&Multi-frame (Cine)" entries.
    void EnableCineMenu(bool Enabled);
    bool imageTimerOn() const { return m_imageTimerOn; }
    QTimer *Timer1 = nullptr;

    // --- monitors (frmdicomviewermonitor.cpp)
    // "View Result": brings the window onto the monitor chosen for results.
    void mnuDisplayResult_Click();
    // "Settings": the user picks the monitor for results on a map of the desktop.
    void mnuDisplayMonitor_Click();
    clsMonitors &monitors() { return *m_monitors; }
    // --- printing, export, import and clipboard (frmdicomviewerprint.cpp,
    // frmdicomviewerexport.cpp)
    // Every image, six to a page, after the user confirms; or the selected image on its page.
    void PrintWindows_Click();
    void mnuPrintSel_Click();
    void cmnuPrintSelImage_Click();
    // The selected image as a picture, or its frames as an AVI movie; a picture or movie file
    // as a new image; the selected image's picture to and from the clipboard.
    void Export_Click();
    void Import_Click();
    void Copy_Click();
    void Paste_Click();
    // Whether a print, export or import is running (a second one is turned away meanwhile).
    bool outputBusy() const { return m_outputBusy; }

    // --- state
    viewer::ImageSet &imageSet() { return *m_set; }
    int imageCount() const;
    int mouseFunction() const { return m_mouse->MouseFunction; }
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
    QCheckBox *AnatomicMarkers = nullptr;
    QPlainTextEdit *tl = nullptr;
    QLabel *StatusLine = nullptr;
    QMenu *mnuContext = nullptr;
    // windowing
    QSlider *LevelSlider = nullptr;
    QLabel *LevelLabel = nullptr;
    QLineEdit *level1 = nullptr;
    QSlider *WidthSlider = nullptr;
    QLabel *WidthLabel = nullptr;
    QLineEdit *width1 = nullptr;
    QSlider *WLSlider = nullptr;
    QLabel *WLLabel = nullptr;
    QCheckBox *optAllChange = nullptr;
    QPushButton *cmdDefLevel = nullptr;
    QPushButton *btnHead = nullptr;
    QPushButton *btnAbdomen = nullptr;
    QPushButton *btnMediastinum = nullptr;
    QPushButton *btnLung = nullptr;
    QPushButton *btnSpine = nullptr;
    QPushButton *btnVertebrae = nullptr;
    QCheckBox *chkSharp = nullptr;
    QGroupBox *fraSharp = nullptr;
    QSlider *sldSharp = nullptr;
    QSlider *sldSharpLength = nullptr;
    QGroupBox *fraSmoothing = nullptr;
    QRadioButton *Replicate = nullptr;
    QRadioButton *BSpline = nullptr;
    QRadioButton *CubicSpline = nullptr;
    QRadioButton *PixelValues = nullptr;
    QRadioButton *MovingAverage = nullptr;
    // zoom
    QSlider *ZoomSlider = nullptr;
    QLineEdit *Zoom = nullptr;
    QLabel *ZoomLabel = nullptr;
    QCheckBox *StretchToFit = nullptr;
    // mouse functions
    QGroupBox *fraMouse = nullptr;

protected:
    // The scout viewer is a window of this kind: it builds its own menus and loads without the
    // main viewer's settings, placement and result monitor.
    enum class Role { Main, Scout };
    frmDicomViewer(Role role, QWidget *parent);

    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // --- what the mouse functions ask of the window
    int currentPosition() const override;
    void setCurrentPosition(int position) override;
    void selectByMouse(int hit) override;
    bool stretchToFitTicked() const override;
    bool allChangeTicked() const override;
    int savedMinification() const override { return m_savedMinification; }
    void foldToolPanel() override;
    void popupContextMenu(QPoint viewerPoint) override;
    QWidget *promptParent() override { return this; }

    // Runs a handler body; a failure reaches the user as a message instead of leaving the slot.
    void guarded(const std::function<void()> &body);
    // Logs an incoming association in the Information window as accepted or refused, and
    // refuses its contexts outside the standard's root.
    void logAssociation(const QString &Address, const QString &CalledAE, const QString &CallingAE,
                        bool accepted, std::vector<toolkit::ProposedContext> &Contexts);
    // A preset button's window on the image (or every image with "All Change").
    virtual void applyPreset(const QString &button);
    // A flip, turn or "&Normal" on the image (or every image with "All Change").
    virtual void orient(const std::function<void(toolkit::Image &)> &change);
    // The texts "Print" puts at the head of every page: none here.
    virtual std::vector<viewer::PageText> pageHeader() const { return {}; }

private:
    void Form_Load();
    void Form_Unload();
    void buildPanel();
    void buildMenus();
    void showPanel(bool shown);
    void showExamLabels();
    void updateStatus(int hoveredPosition = 0, QPoint pointer = QPoint());
    void connectNetwork();
    // Appends a marker to the trace box and lets pending window events run; the scout viewer
    // has no trace box and leaves the events waiting.
    void trace(const QString &marker);
    void setInformationChecked(bool checked);
    // Brings the panel and the exam labels up to date once the received images are in.
    void imagesArrived();
    // Remembers every image now in the set as shown: InitImage leaves their windows alone.
    void markShown();
    bool wasShown(const toolkit::Image *image) const;

    // windowing and zoom parts
    void buildWindowingControls(QGridLayout *grid, int &row);
    void buildZoomControls(QGridLayout *grid, int &row);
    void refreshWindowingControls();
    // The level and width sliders' ranges and values for the image's window.
    void setWindowingRanges(const toolkit::Image &image);
    void refreshZoomControls();
    void setSmoothingMethod(int magnification, int minification);
    void redrawOverlays(bool all);
    std::optional<viewer::PresetWindow> presetWindow() const;
    void drawAtFullQuality();

    // cine part
    void buildImageTimer();
    bool m_imageTimerOn = false;

    // monitors part
    // Opens the window on the result monitor (after its stored placement was restored).
    void placeOnResultMonitor();
    void moveFrameTo(const QRect &frame);
    std::unique_ptr<clsMonitors> m_monitors;
    // printing, export and import parts
    // Prints the images on the laid-out pages, each page headed by `header` (may be empty).
    void printImages(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                     const std::vector<viewer::PrintPage> &pages,
                     const std::vector<viewer::PageText> &header = {});
    void addImportedImage(std::shared_ptr<toolkit::Image> image);
    bool m_outputBusy = false;

    const Role m_role;
    bool m_presetInProgress = false;
    bool m_savedRendering = false;
    int m_savedMinification = 0;
    struct ZoomPress {
        double zoom = 0.0;
        QPointF scroll;
        double scale = 0.0;      // screen pixels per image pixel in the tile
        QPointF pointFromCentre; // the recorded point, from the tile's centre
        bool valid = false;
    } m_zoomPress;

    class Grid;
    std::unique_ptr<Grid> m_grid;
    std::unique_ptr<viewer::ImageSet> m_set;
    QWidget *m_area = nullptr; // the client area the window lays out by hand
    std::unique_ptr<viewer::MouseTools> m_mouse;
    std::vector<std::weak_ptr<toolkit::Image>> m_shown; // see markShown
    viewer::TextModes m_textModes = viewer::allTextModes();
    int m_playInterval = 0;
    int m_displayMonitor = 0;
    int m_magMode = 0;
    int m_minMode = 0;
    bool m_networkBusy = false;
    bool m_loggingEnabled = false;
    bool m_infoChecked = false;
    bool m_arrivalPending = false;
};

// The viewer window of the process, created (empty) on first use and again after it was closed.
frmDicomViewer &dicomViewer();
// True while the window exists (used and not closed since).
bool dicomViewerExists();

// Lets clsRavlenPACSViewer::ShowViewer show this window. Runs by itself when the library is
// loaded; calling it again does no harm.
void registerViewerWindow();

} // namespace ravlen
