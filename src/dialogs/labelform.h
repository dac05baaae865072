#pragma once

#include "dialogs/labeldefaults.h"

#include <QWidget>

#include <map>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ravlen {

// "Label Details": the appearance new labels take (shape, what they are tied to, colours,
// font, line width, alignment, transparency). One per process, loaded hidden the first time a
// label tool reads it; "OK" only hides it, so its values last until the process ends.
class LabelForm : public QWidget {
    Q_OBJECT
public:
    explicit LabelForm(QWidget *parent = nullptr);

    // Primes the font chooser with the sample box's font.
    void Form_Load();
    void LabelType_Click(int Index);
    void Alignment_Click(int Index);
    // The colour and font choosers; a cancelled chooser changes nothing.
    void ForeColour_Click();
    void BackColour_Click();
    void FontDisplay_Click();
    void OK_Click();

    // What the label tools read: the current values of the controls.
    labels::LabelDefaults defaults() const;
    // Adjusts the window to a newly chosen mouse function: Measure never draws text and always
    // ties to the image; only Text offers the text shape and the choice of tie.
    void prepareForMouseFunction(int Index);

    // The frames' tags: the chosen index as decimal text.
    QString labelTypeTag() const;
    QString alignmentTag() const;

    QGroupBox *LabelTypeBox = nullptr;
    std::map<int, QRadioButton *> LabelType; // indexed by label type: 0..5, 10
    QGroupBox *AlignmentBox = nullptr;
    std::map<int, QRadioButton *> Alignment; // 0 left, 1 centre, 2 right
    QGroupBox *Tied = nullptr;
    QRadioButton *ImageScale = nullptr;
    QRadioButton *ImageCell = nullptr;
    QRadioButton *Control = nullptr;
    QCheckBox *Transparent = nullptr;
    QLineEdit *LineWidth = nullptr;
    QLabel *ForeColour = nullptr;
    QLabel *BackColour = nullptr;
    QLineEdit *FontDisplay = nullptr;
    QPushButton *OK = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setSwatch(QLabel *swatch, unsigned colour);
    unsigned swatchColour(const QLabel *swatch) const;

    QFont m_chooserFont; // what the font chooser starts from
};

// The window of the process, created (hidden) on first use.
LabelForm &labelForm();

} // namespace ravlen
