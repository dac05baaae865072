#pragma once

#include "dialogs/textmodes.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace ravlen {

// "Text Modes": a box for each item of the image text overlay and "Check All". It opens on
// the stored choices; "&OK" stores the boxes and closes, "&Close" closes without storing. The
// window is made when opened and destroyed when closed.
class frmTextModes : public QWidget {
    Q_OBJECT
public:
    explicit frmTextModes(QWidget *owner = nullptr);

    // Box 15 ("Check All") copies its state to every box; the others do nothing more.
    void chkTextMode_Click(int Index);
    void btnOk_Click();
    void btnClose_Click();

    // The item boxes as they stand now.
    textmodes::Choices choices() const;

    QGroupBox *Frame1 = nullptr;
    std::vector<QCheckBox *> chkTextMode; // 16 boxes: the items 0..14, then "Check All"
    QPushButton *btnOk = nullptr;
    QPushButton *btnClose = nullptr;

signals:
    // The choices were stored: overlays should be built again.
    void choicesStored(const ravlen::textmodes::Choices &choices);
};

// Opens a fresh window owned by `owner` (modeless) and returns it.
frmTextModes *showTextModes(QWidget *owner);

} // namespace ravlen
