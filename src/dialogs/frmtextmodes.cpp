#include "dialogs/frmtextmodes.h"

#include "dialogs/twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

namespace ravlen {

namespace {

using dialogs::kTwipsPerPixel;
using dialogs::twips;

struct BoxPlace {
    int left, top, width;
};
// Three columns inside the frame; each box 525 twips high.
constexpr BoxPlace kPlaces[] = {
    {180, 240, 1965},   {180, 690, 1965},   {180, 1080, 1965},  {180, 1500, 1965},
    {180, 1920, 1965},  {2220, 300, 1965},  {2220, 720, 1965},  {2220, 1170, 1965},
    {2220, 1560, 1965}, {2220, 2010, 1965}, {2220, 2460, 1965}, {4260, 330, 1845},
    {4260, 780, 1845},  {4260, 1320, 1845}, {4260, 1830, 1845}, {4230, 2580, 1845},
};

} // namespace

frmTextModes::frmTextModes(QWidget *owner) : QWidget(owner, Qt::Dialog) {
    setObjectName(QStringLiteral("frmTextModes"));
    setWindowTitle(QStringLiteral("Text Modes"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(6525 / kTwipsPerPixel, 4110 / kTwipsPerPixel);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(120, 150, 6285, 3255));
    const textmodes::Choices stored = textmodes::stored();
    bool all = true;
    for (int i = 0; i <= textmodes::kItems; ++i) {
        auto *box = new QCheckBox(textmodes::captions().at(i), Frame1);
        box->setObjectName(QStringLiteral("chkTextMode%1").arg(i));
        const BoxPlace &p = kPlaces[i];
        box->setGeometry(twips(p.left, p.top, p.width, 525));
        if (i < textmodes::kItems) {
            box->setChecked(stored[std::size_t(i)]);
            all = all && stored[std::size_t(i)];
        } else {
            box->setChecked(all);
        }
        connect(box, &QCheckBox::clicked, this, [this, i] { chkTextMode_Click(i); });
        chkTextMode.push_back(box);
    }

    btnOk = new QPushButton(QStringLiteral("&OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(twips(3450, 3510, 1455, 495));
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(twips(4950, 3510, 1455, 495));
    connect(btnOk, &QPushButton::clicked, this, &frmTextModes::btnOk_Click);
    connect(btnClose, &QPushButton::clicked, this, &frmTextModes::btnClose_Click);
}

void frmTextModes::chkTextMode_Click(int Index) {
    if (Index != textmodes::kItems) {
        return;
    }
    const bool state = chkTextMode[std::size_t(Index)]->isChecked();
    for (QCheckBox *box : chkTextMode) {
        box->setChecked(state);
    }
}

textmodes::Choices frmTextModes::choices() const {
    textmodes::Choices c{};
    for (int i = 0; i < textmodes::kItems; ++i) {
        c[std::size_t(i)] = chkTextMode[std::size_t(i)]->isChecked();
    }
    return c;
}

void frmTextModes::btnOk_Click() {
    const textmodes::Choices c = choices();
    textmodes::store(c);
    emit choicesStored(c);
    btnClose_Click();
}

void frmTextModes::btnClose_Click() {
    close();
}

frmTextModes *showTextModes(QWidget *owner) {
    auto *window = new frmTextModes(owner);
    window->show();
    window->raise();
    return window;
}

} // namespace ravlen
