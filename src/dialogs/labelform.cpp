#include "dialogs/labelform.h"

#include "core/prompter.h"
#include "dialogs/twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

namespace ravlen {

namespace {

using dialogs::kTwipsPerPixel;
using dialogs::twips;

// Option buttons and caption labels take their text's natural width from their left edge.
template <typename W> W *place(W *widget, int left, int top, int height = 255) {
    widget->move(left / kTwipsPerPixel, top / kTwipsPerPixel);
    widget->resize(widget->sizeHint().width(),
                   std::max(widget->sizeHint().height(), height / kTwipsPerPixel));
    return widget;
}

QColor colourOf(unsigned value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

} // namespace

LabelForm::LabelForm(QWidget *parent) : QWidget(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("LabelForm"));
    setWindowTitle(QStringLiteral("Label Details"));
    setFixedSize(5340 / kTwipsPerPixel, 4080 / kTwipsPerPixel);

    LabelTypeBox = new QGroupBox(QStringLiteral("Label Type"), this);
    LabelTypeBox->setObjectName(QStringLiteral("LabelTypeBox"));
    LabelTypeBox->setGeometry(twips(240, 120, 3135, 1455));
    LabelTypeBox->setProperty("Tag", QStringLiteral("0"));
    const struct {
        int index;
        const char *caption;
        int left, top;
    } types[] = {{0, "Text", 240, 240},  {1, "Ellipse", 1800, 480}, {2, "Rectangle", 1800, 240},
                 {3, "Line", 240, 480},  {4, "PolyLine", 240, 720}, {5, "Polygon", 1800, 720},
                 {10, "Arrow", 240, 960}};
    for (const auto &t : types) {
        auto *option =
            place(new QRadioButton(QString::fromLatin1(t.caption), LabelTypeBox), t.left, t.top);
        option->setObjectName(QStringLiteral("LabelType%1").arg(t.index));
        LabelType[t.index] = option;
        connect(option, &QRadioButton::clicked, this, [this, i = t.index] { LabelType_Click(i); });
    }
    LabelType[0]->setChecked(true);

    AlignmentBox = new QGroupBox(QStringLiteral("Text Alignment"), this);
    AlignmentBox->setObjectName(QStringLiteral("AlignmentBox"));
    AlignmentBox->setGeometry(twips(3600, 120, 1575, 1095));
    AlignmentBox->setProperty("Tag", QStringLiteral("0"));
    const char *alignments[] = {"Left", "Centre", "Right"};
    for (int i = 0; i < 3; ++i) {
        auto *option = place(new QRadioButton(QString::fromLatin1(alignments[i]), AlignmentBox),
                             240, 240 + 240 * i);
        option->setObjectName(QStringLiteral("Alignment%1").arg(i));
        Alignment[i] = option;
        connect(option, &QRadioButton::clicked, this, [this, i] { Alignment_Click(i); });
    }
    Alignment[0]->setChecked(true);

    Tied = new QGroupBox(QStringLiteral("Tied To"), this);
    Tied->setObjectName(QStringLiteral("Tied"));
    Tied->setGeometry(twips(3600, 1920, 1575, 1095));
    ImageScale = place(new QRadioButton(QStringLiteral("Image"), Tied), 240, 240);
    ImageScale->setObjectName(QStringLiteral("ImageScale"));
    ImageCell = place(new QRadioButton(QStringLiteral("Image Cell"), Tied), 240, 480);
    ImageCell->setObjectName(QStringLiteral("ImageCell"));
    Control = place(new QRadioButton(QStringLiteral("Control"), Tied), 240, 720);
    Control->setObjectName(QStringLiteral("Control"));
    ImageScale->setChecked(true);

    Transparent = new QCheckBox(QStringLiteral("Transparent"), this);
    Transparent->setObjectName(QStringLiteral("Transparent"));
    Transparent->setGeometry(twips(240, 1920, 1335, 255));
    Transparent->setChecked(true);

    place(new QLabel(QStringLiteral("Line Width"), this), 1800, 1920);
    LineWidth = new QLineEdit(QStringLiteral("1"), this);
    LineWidth->setObjectName(QStringLiteral("LineWidth"));
    LineWidth->setGeometry(twips(2880, 1920, 375, 285));

    place(new QLabel(QStringLiteral("ForeColour"), this), 240, 2400);
    place(new QLabel(QStringLiteral("BackColour"), this), 1800, 2400);
    const auto swatch = [this](const QString &name, const QRect &at, unsigned colour) {
        auto *box = new QLabel(this);
        box->setObjectName(name);
        box->setGeometry(at);
        box->setFrameShape(QFrame::Box);
        box->setAutoFillBackground(true);
        box->setCursor(Qt::PointingHandCursor);
        box->installEventFilter(this);
        setSwatch(box, colour);
        return box;
    };
    ForeColour = swatch(QStringLiteral("ForeColour"), twips(1200, 2280, 375, 375), 0x0000FF);
    BackColour = swatch(QStringLiteral("BackColour"), twips(2880, 2280, 375, 375), 0xFFFFFF);

    place(new QLabel(QStringLiteral("Click in the box below to change the font"), this), 240, 2760);
    FontDisplay = new QLineEdit(QStringLiteral("Arial"), this);
    FontDisplay->setObjectName(QStringLiteral("FontDisplay"));
    FontDisplay->setGeometry(twips(240, 3000, 3015, 615));
    FontDisplay->setReadOnly(true);
    FontDisplay->setCursor(Qt::PointingHandCursor);
    FontDisplay->installEventFilter(this);
    QFont sample(QStringLiteral("Arial"));
    sample.setPointSize(12);
    FontDisplay->setFont(sample);

    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setGeometry(twips(3840, 3240, 1095, 375));
    connect(OK, &QPushButton::clicked, this, &LabelForm::OK_Click);

    Form_Load();
}

void LabelForm::Form_Load() {
    m_chooserFont = FontDisplay->font();
}

void LabelForm::LabelType_Click(int Index) {
    LabelTypeBox->setProperty("Tag", QString::number(Index));
}

void LabelForm::Alignment_Click(int Index) {
    AlignmentBox->setProperty("Tag", QString::number(Index));
}

QString LabelForm::labelTypeTag() const {
    return LabelTypeBox->property("Tag").toString();
}

QString LabelForm::alignmentTag() const {
    return AlignmentBox->property("Tag").toString();
}

void LabelForm::ForeColour_Click() {
    const QColor chosen = prompter().chooseColour(colourOf(swatchColour(ForeColour)), this);
    setSwatch(ForeColour, labels::colourValue(chosen.red(), chosen.green(), chosen.blue()));
}

void LabelForm::BackColour_Click() {
    const QColor chosen = prompter().chooseColour(colourOf(swatchColour(BackColour)), this);
    setSwatch(BackColour, labels::colourValue(chosen.red(), chosen.green(), chosen.blue()));
}

void LabelForm::FontDisplay_Click() {
    const QFont chosen = prompter().chooseFont(m_chooserFont, this);
    m_chooserFont = chosen;
    FontDisplay->setText(labels::fontDescription(chosen.family(), chosen.bold(), chosen.italic()));
    FontDisplay->setFont(chosen);
}

void LabelForm::OK_Click() {
    hide();
}

labels::LabelDefaults LabelForm::defaults() const {
    labels::LabelDefaults d;
    for (const auto &[index, option] : LabelType) {
        if (option->isChecked()) {
            d.shape = index;
        }
    }
    d.tie = Control->isChecked()      ? labels::Tie::Control
            : ImageScale->isChecked() ? labels::Tie::Image
                                      : labels::Tie::ImageCell;
    d.foreColour = swatchColour(ForeColour);
    d.backColour = swatchColour(BackColour);
    d.font = FontDisplay->text();
    d.fontSize = FontDisplay->font().pointSize() > 0 ? FontDisplay->font().pointSize() : 12;
    d.lineWidth = LineWidth->text();
    d.alignment = alignmentTag().toInt();
    d.transparent = Transparent->isChecked();
    return d;
}

void LabelForm::prepareForMouseFunction(int Index) {
    if (Index != 4 && Index != 5) {
        return;
    }
    if (Index == 5 && LabelType[0]->isChecked()) {
        LabelType[3]->setChecked(true);
        LabelType_Click(3);
    }
    LabelType[0]->setVisible(Index == 4);
    Tied->setVisible(Index == 4);
    if (Index == 5) {
        ImageScale->setChecked(true);
    }
}

bool LabelForm::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == ForeColour) {
            ForeColour_Click();
            return true;
        }
        if (watched == BackColour) {
            BackColour_Click();
            return true;
        }
        if (watched == FontDisplay) {
            FontDisplay_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LabelForm::setSwatch(QLabel *swatch, unsigned colour) {
    swatch->setProperty("colour", colour);
    QPalette p = swatch->palette();
    p.setColor(QPalette::Window, colourOf(colour));
    swatch->setPalette(p);
}

unsigned LabelForm::swatchColour(const QLabel *swatch) const {
    return swatch->property("colour").toUInt();
}

LabelForm &labelForm() {
    // Lives for the process: its values are the defaults of every label drawn from now on.
    static QPointer<LabelForm> window;
    if (!window) {
        window = new LabelForm;
    }
    return *window;
}

} // namespace ravlen
