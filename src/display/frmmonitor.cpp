#include "display/frmmonitor.h"

#include "component/componentconstants.h"
#include "core/prompter.h"
#include "core/settingsstore.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

#include <functional>

namespace ravlen {

namespace display {

QRect WidgetWindow::frame() const {
    return m_widget ? m_widget->frameGeometry() : QRect();
}

void WidgetWindow::moveFrame(const QPoint &topLeft) {
    if (m_widget) {
        m_widget->move(topLeft); // a top-level widget's position is its frame's
    }
}

void WidgetWindow::setFrame(const QRect &frame) {
    if (!m_widget) {
        return;
    }
    const QSize decoration = m_widget->frameGeometry().size() - m_widget->size();
    m_widget->resize(frame.size() - decoration);
    m_widget->move(frame.topLeft());
}

namespace {

int runMonitorDialog(clsMonitors &source, const QString &prompt, const QString &caption,
                     MonitorWindow *owner) {
    const auto *ownerWindow = dynamic_cast<WidgetWindow *>(owner);
    QWidget *ownerWidget = ownerWindow ? ownerWindow->widget() : nullptr;
    // On the heap and watched: whatever the modal loop runs may close the owner, and the
    // dialog with it.
    QPointer<frmMonitor> dialog = new frmMonitor(ownerWidget);
    dialog->setMonitorSource(&source);
    dialog->setOwner(ownerWidget);
    dialog->setDialogCaption(caption);
    dialog->setPrompt(prompt);
    dialog->ShowDialog();
    const int result = dialog ? dialog->DialogResult() : 0;
    delete dialog;
    return result;
}

} // namespace

void registerMonitorDialog() {
    setMonitorDialogRunner(&runMonitorDialog);
}

} // namespace display

namespace {

const QString kMonitorCaption = QStringLiteral("Monitor ");

// The desktop's background on the map, behind the monitor buttons.
const QColor kDesktopColour(0x3a, 0x6e, 0xa5);

// The map: paints the desktop and passes presses on the desktop itself to the dialog.
class DesktopPicture : public QWidget {
public:
    DesktopPicture(QWidget *parent, std::function<void(const QPoint &)> pressed)
        : QWidget(parent), m_pressed(std::move(pressed)) {}

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.fillRect(rect(), kDesktopColour);
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    void mousePressEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton) {
            m_pressed(event->position().toPoint());
        }
    }

private:
    std::function<void(const QPoint &)> m_pressed;
};

QSize actionButtonSize(const QPushButton *button) {
    const QSize hint = button->sizeHint();
    return QSize(std::max(75, hint.width()), hint.height());
}

QRect fullRect(const clsMonitor &m) {
    return QRect(m.Left(), m.Top(), m.Width(), m.Height());
}

} // namespace

frmMonitor::frmMonitor(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMonitor"));
    picDesktop = new DesktopPicture(this, [this](const QPoint &p) { picDesktop_MouseDown(p); });
    picDesktop->setObjectName(QStringLiteral("picDesktop"));

    auto *first = new QPushButton(QStringLiteral("Monitor"), picDesktop);
    first->setObjectName(QStringLiteral("cmdMonitor"));
    first->setProperty("Index", 0);
    first->hide();
    connect(first, &QPushButton::clicked, this, [this] { cmdMonitor_Click(0); });
    cmdMonitor.push_back(first);

    const QString actions[] = {QStringLiteral("OK"), QStringLiteral("Cancel")};
    for (int i = 0; i < 2; ++i) {
        cmdAction[i] = new QPushButton(actions[i], this);
        cmdAction[i]->setObjectName(QStringLiteral("cmdAction"));
        cmdAction[i]->setProperty("Index", i);
        cmdAction[i]->setAutoDefault(false);
        connect(cmdAction[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
    }
    cmdAction[0]->setDefault(true);

    lblPrompt = new QLabel(QStringLiteral("Prompt"), this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    lblPrompt->setWordWrap(true);
    lblPrompt->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void frmMonitor::setDialogCaption(const QString &caption) {
    setWindowTitle(caption);
}

void frmMonitor::setPrompt(const QString &prompt) {
    lblPrompt->setText(prompt);
}

std::vector<QRect> frmMonitor::monitorRects() const {
    std::vector<QRect> rects;
    if (m_source) {
        for (const clsMonitor &m : m_source->Monitors()) {
            rects.push_back(fullRect(m));
        }
    }
    return rects;
}

void frmMonitor::BuildMap() {
    if (!m_source) {
        return;
    }
    const display::DesktopGeometry desktop{m_source->DesktopLeft(), m_source->DesktopTop(),
                                           m_source->DesktopWidth(), m_source->DesktopHeight()};
    // The map is scaled to the monitor the dialog is on, so it is as large on a small monitor
    // as on a large one relative to the screen.
    display::WidgetWindow self(this);
    const display::Handle here = m_source->GetMonitorFromWindow(&self, display::kDefaultToPrimary);
    const clsMonitor *reference = m_source->Monitors().Find(QString::number(here));
    m_map.emplace(desktop, reference ? reference->Width() : desktop.width,
                  m_source->TwipsPerPixelX());

    const display::ChooserLayout layout = display::chooserLayout(
        *m_map, actionButtonSize(cmdAction[0]), actionButtonSize(cmdAction[1]));
    picDesktop->setGeometry(layout.map);
    lblPrompt->setGeometry(layout.prompt);
    cmdAction[0]->setGeometry(layout.ok);
    cmdAction[1]->setGeometry(layout.cancel);
    resize(layout.client);

    if (m_owner) {
        const display::WidgetWindow owner(m_owner);
        m_source->CenterFormOnMonitor(self, &owner);
    } else {
        m_source->CenterFormOnMonitor(self);
    }

    int i = 0;
    for (const clsMonitor &monitor : m_source->Monitors()) {
        if (i >= int(cmdMonitor.size())) {
            auto *button = new QPushButton(picDesktop);
            button->setObjectName(QStringLiteral("cmdMonitor"));
            button->setProperty("Index", i);
            connect(button, &QPushButton::clicked, this, [this, i] { cmdMonitor_Click(i); });
            cmdMonitor.push_back(button);
        }
        QPushButton *button = cmdMonitor[std::size_t(i)];
        button->setGeometry(m_map->toMap(fullRect(monitor)));
        button->setText(kMonitorCaption + QString::number(i + 1));
        button->show();
        ++i;
    }
}

void frmMonitor::ShowDialog() {
    BuildMap();
    exec();
}

void frmMonitor::cmdMonitor_Click(int Index) {
    cmdAction[0]->setEnabled(true);
    for (std::size_t i = 0; i < cmdMonitor.size(); ++i) {
        QFont font = cmdMonitor[i]->font();
        font.setBold(int(i) == Index);
        cmdMonitor[i]->setFont(font);
    }
    m_selection = Index + 1;
    cmdAction[0]->setFocus();
}

void frmMonitor::cmdAction_Click(int Index) {
    if (Index != 0) {
        m_result = 0;
        reject();
        return;
    }
    m_result = m_selection;
    try {
        using namespace component::settingskey;
        settings().save(MonitorApp, ViewerSection, DisplayResult, QString::number(m_selection));
    } catch (const std::exception &e) {
        // The pick still counts for this session; only keeping it failed.
        prompter().message(QString::fromStdString(e.what()), Prompter::Icon::Critical, Prompter::Ok,
                           QString(), this);
    }
    accept();
}

void frmMonitor::picDesktop_MouseDown(const QPoint &point) {
    if (!m_map) {
        return;
    }
    const int index = m_map->hitTest(point, monitorRects());
    if (index >= 0 && index < int(cmdMonitor.size())) {
        cmdMonitor_Click(index);
    }
}

void frmMonitor::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmMonitor::Form_Resize() {
    lblPrompt->resize(std::max(0, cmdAction[0]->x() - lblPrompt->x()), lblPrompt->height());
}

} // namespace ravlen
