#pragma once

#include "display/clsmonitors.h"
#include "display/monitormap.h"

#include <QDialog>

#include <array>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;

namespace ravlen {

namespace display {

// A widget as the monitor services see it: its outer frame on the virtual desktop.
class WidgetWindow : public MonitorWindow {
public:
    explicit WidgetWindow(QWidget *widget) : m_widget(widget) {}
    QRect frame() const override;
    void moveFrame(const QPoint &topLeft) override;
    // Gives the frame this position and outer size.
    void setFrame(const QRect &frame);
    QWidget *widget() const { return m_widget; }

private:
    QWidget *m_widget;
};

// Makes frmMonitor the chooser that clsMonitors::ShowMonitorDialog runs; calling it again does
// no harm.
void registerMonitorDialog();

} // namespace display

// The monitor chooser: a small map of the desktop with one button per monitor, placed as the
// monitors are arranged. Pressing a button picks that monitor; OK stores the pick as the
// monitor for results, Cancel leaves the stored one alone.
class frmMonitor : public QDialog {
    Q_OBJECT
public:
    explicit frmMonitor(QWidget *parent = nullptr);

    // The monitors to show; set before anything else and outliving the dialog.
    void setMonitorSource(clsMonitors *source) { m_source = source; }
    // The window to centre on; none: the primary monitor.
    void setOwner(QWidget *owner) { m_owner = owner; }
    void setDialogCaption(const QString &caption);
    void setPrompt(const QString &prompt);
    // Builds the map and shows the dialog modally; returns when it hides.
    void ShowDialog();
    // The picked monitor's number after OK, 0 after Cancel.
    int DialogResult() const { return m_result; }

    // The first part of ShowDialog: sizes the map to the desktop, centres the dialog and puts
    // one button per monitor on the map.
    void BuildMap();
    // The number of the pressed monitor button (from 1); 0 until one is pressed.
    int selection() const { return m_selection; }

    // --- handlers
    void cmdMonitor_Click(int Index);
    // 0: OK, 1: Cancel.
    void cmdAction_Click(int Index);
    // A click on the map itself picks the monitor under it.
    void picDesktop_MouseDown(const QPoint &point);

    // --- controls
    QWidget *picDesktop = nullptr;
    std::vector<QPushButton *> cmdMonitor; // element 0 exists before the map is built
    std::array<QPushButton *, 2> cmdAction{};
    QLabel *lblPrompt = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void Form_Resize();
    std::vector<QRect> monitorRects() const;

    clsMonitors *m_source = nullptr;
    QWidget *m_owner = nullptr;
    std::optional<display::DesktopMap> m_map;
    int m_selection = 0;
    int m_result = 0;
};

} // namespace ravlen
