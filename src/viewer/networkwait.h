#pragma once

#include <QString>

#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace ravlen::viewer {

// Keeps the windows alive while network calls run: each call runs on a worker thread while the
// caller waits in a local event loop, so windows repaint and network events keep arriving. A
// progress window over `owner` appears when the wait lasts longer than a moment. Used on the
// user-interface thread only.
class NetworkWait {
public:
    // `steps` > 0 shows "done of steps"; 0 shows a busy indication. With `cancellable` the
    // progress window offers Cancel, which the caller checks between calls (cancelled()).
    NetworkWait(QWidget *owner, const QString &label, int steps = 0, bool cancellable = false);
    ~NetworkWait();
    NetworkWait(const NetworkWait &) = delete;
    NetworkWait &operator=(const NetworkWait &) = delete;

    // Runs `work` on a worker thread and returns its result once it is done; what it throws is
    // thrown here. The call itself is bounded by the toolkit's time-outs.
    int run(const std::function<int()> &work);

    void setProgress(int done, const QString &label);
    bool cancelled() const;

private:
    std::unique_ptr<QProgressDialog> m_progress;
};

} // namespace ravlen::viewer
