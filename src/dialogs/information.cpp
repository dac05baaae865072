#include "dialogs/information.h"

#include "dialogs/informationtexts.h"
#include "toolkit/globalsettings.h"
#include "toolkit/netlog.h"

#include <QEvent>
#include <QFile>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

namespace ravlen {

namespace {

// A full-byte log grows fast; the page shows its newest part only.
constexpr qint64 kToolkitLogTailBytes = 512 * 1024;

QPlainTextEdit *textField(const QString &name, QWidget *parent) {
    auto *field = new QPlainTextEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setLineWrapMode(QPlainTextEdit::NoWrap);
    return field;
}

QWidget *pageWith(QWidget *content) {
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(content);
    return page;
}

} // namespace

Information::Information(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Information"));
    setWindowTitle(dialogs::kInformationCaption);
    resize(720, 560);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));

    fraAttributes = new QGroupBox(QStringLiteral(" Data Elements "));
    fraAttributes->setObjectName(QStringLiteral("fraAttributes"));
    AttributeList = textField(QStringLiteral("AttributeList"), fraAttributes);
    // A fixed-width font lines the values up behind the 30-character description column.
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::TypeWriter);
    AttributeList->setFont(courier);
    auto *frameLayout = new QVBoxLayout(fraAttributes);
    frameLayout->addWidget(AttributeList);

    ImageList = new QListWidget;
    ImageList->setObjectName(QStringLiteral("ImageList"));
    AssociationList = textField(QStringLiteral("AssociationList"), nullptr);
    MessageList = textField(QStringLiteral("MessageList"), nullptr);
    ImagesReceived = textField(QStringLiteral("ImagesReceived"), nullptr);
    DicomLog1 = textField(QStringLiteral("DicomLog1"), nullptr);

    SSTab1->addTab(pageWith(fraAttributes), QStringLiteral("Image Attributes"));
    SSTab1->addTab(pageWith(ImageList), QStringLiteral("Image List"));
    SSTab1->addTab(pageWith(AssociationList), QStringLiteral("Associations"));
    SSTab1->addTab(pageWith(MessageList), QStringLiteral("Messages"));
    SSTab1->addTab(pageWith(ImagesReceived), QStringLiteral("Images Received"));
    SSTab1->addTab(pageWith(DicomLog1), QStringLiteral("Log"));

    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int index) {
        if (SSTab1->widget(index)->isAncestorOf(DicomLog1)) {
            refreshToolkitLog();
        }
    });

    Hide = new QPushButton(QStringLiteral("&Close"), this);
    Hide->setObjectName(QStringLiteral("Hide"));
    connect(Hide, &QPushButton::clicked, this, &Information::Hide_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Hide);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(buttons);
}

void Information::NewData(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                          const std::function<std::shared_ptr<toolkit::Image>()> &selected) {
    m_attributes.clear();
    AttributeList->clear();
    ImageList->clear();
    const dialogs::InformationContent content = dialogs::informationContent(images, selected);
    ImageList->addItems(content.imageList);
    m_attributes = content.attributes;
    AttributeList->setPlainText(dialogs::displayedText(m_attributes));
}

void Information::refreshToolkitLog() {
    QFile file(
        toolkit::logFilePath(toolkit::GlobalSettings::getText(QStringLiteral("LogLocation"))));
    if (!file.open(QIODevice::ReadOnly)) {
        DicomLog1->clear();
        return;
    }
    if (file.size() > kToolkitLogTailBytes) {
        file.seek(file.size() - kToolkitLogTailBytes);
        file.readLine(); // start at a whole line
    }
    DicomLog1->setPlainText(QString::fromUtf8(file.readAll()));
    DicomLog1->moveCursor(QTextCursor::End);
}

void Information::Hide_Click() {
    hide();
}

void Information::Form_Deactivate() {
    hide();
}

void Information::changeEvent(QEvent *event) {
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) {
        Form_Deactivate();
    }
    QWidget::changeEvent(event);
}

void Information::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    emit hidden();
}

void Information::append(QPlainTextEdit *field, QString &text, const QString &addition) {
    text += addition;
    // Only the end of the field changes; the view stays where the reader left it unless they
    // were following the newest lines.
    QScrollBar *bar = field->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    QTextCursor cursor(field->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(dialogs::displayedText(addition));
    if (following) {
        bar->setValue(bar->maximum());
    }
}

void Information::appendAssociations(const QString &text) {
    append(AssociationList, m_associations, text);
}

void Information::appendMessages(const QString &text) {
    append(MessageList, m_messages, text);
}

void Information::appendImagesReceived(const QString &text) {
    append(ImagesReceived, m_imagesReceived, text);
}

Information &information() {
    // Never destroyed while the process runs: the logs it holds last as long as the process.
    static QPointer<Information> window;
    if (!window) {
        window = new Information;
    }
    return *window;
}

} // namespace ravlen
