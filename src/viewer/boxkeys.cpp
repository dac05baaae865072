#include "viewer/boxkeys.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace ravlen::viewer {

namespace {

constexpr int kEnter = 13;
constexpr int kUp = 38;
constexpr int kDown = 40;

int windowsKeyCode(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kEnter;
    case Qt::Key_Up:
        return kUp;
    case Qt::Key_Down:
        return kDown;
    default:
        return 0;
    }
}

class BoxWatcher : public QObject {
public:
    BoxWatcher(QLineEdit *box, std::function<void()> lostFocus, std::function<bool(int)> keyDown)
        : QObject(box), m_box(box), m_lostFocus(std::move(lostFocus)),
          m_keyDown(std::move(keyDown)) {}

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != m_box) {
            return false;
        }
        if (event->type() == QEvent::KeyPress) {
            const int code = windowsKeyCode(static_cast<QKeyEvent *>(event)->key());
            return code != 0 && m_keyDown(code);
        }
        if (event->type() == QEvent::FocusOut) {
            // Another window taking the focus (a message box among them) is no leaving of
            // the box; an untouched box has nothing to apply.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                m_box->isModified()) {
                m_box->setModified(false);
                m_lostFocus();
            }
        }
        return false;
    }

private:
    QLineEdit *m_box;
    std::function<void()> m_lostFocus;
    std::function<bool(int)> m_keyDown;
};

} // namespace

void watchBox(QLineEdit *box, std::function<void()> lostFocus,
              std::function<bool(int KeyCode)> keyDown) {
    box->installEventFilter(new BoxWatcher(box, std::move(lostFocus), std::move(keyDown)));
}

bool boxKey(int KeyCode, QWidget *viewer, QWidget *slider) {
    if (KeyCode == kEnter) {
        viewer->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (KeyCode == kUp || KeyCode == kDown) {
        slider->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}

} // namespace ravlen::viewer
