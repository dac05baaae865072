#pragma once

#include "display/frmmonitor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace ravlen::test {

// Answers the next monitor chooser shown modally: presses the button of monitor `number` (none
// for 0), then OK or Cancel. A chooser still open after ten seconds is closed, so a broken
// wiring fails the test instead of hanging it.
class ChooserAnswer : public QObject {
public:
    ChooserAnswer(int number, bool ok, std::function<void(frmMonitor &)> look = {})
        : m_number(number), m_ok(ok), m_look(std::move(look)) {
        m_clock.start();
        m_poll.setInterval(10);
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start();
    }
    // Whether a chooser was answered and closed by the answer.
    bool answered() const { return m_answered && !m_stuck; }

private:
    void poll() {
        auto *dialog = qobject_cast<frmMonitor *>(QApplication::activeModalWidget());
        const bool late = m_clock.elapsed() > 10'000;
        if (m_answered || !dialog) {
            if (dialog && late) {
                dialog->reject(); // the answer did not close it
                m_stuck = true;
            }
            if (!dialog && (m_answered || late)) {
                m_poll.stop();
            }
            return;
        }
        if (m_look) {
            m_look(*dialog);
        }
        if (m_number > 0 && m_number <= int(dialog->cmdMonitor.size())) {
            dialog->cmdMonitor[std::size_t(m_number - 1)]->click();
        }
        dialog->cmdAction[m_ok ? 0 : 1]->click();
        m_answered = true;
    }

    int m_number;
    bool m_ok;
    std::function<void(frmMonitor &)> m_look;
    QTimer m_poll;
    QElapsedTimer m_clock;
    bool m_answered = false;
    bool m_stuck = false;
};

} // namespace ravlen::test
