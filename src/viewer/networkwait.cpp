#include "viewer/networkwait.h"

#include <QEventLoop>
#include <QProgressDialog>

#include <exception>
#include <thread>

namespace ravlen::viewer {

namespace {
// Calls that answer within this time leave no trace on the screen.
constexpr int kShowProgressAfterMs = 400;
} // namespace

NetworkWait::NetworkWait(QWidget *owner, const QString &label, int steps, bool cancellable)
    : m_progress(std::make_unique<QProgressDialog>(
          label, cancellable ? QStringLiteral("Cancel") : QString(), 0, steps, owner)) {
    m_progress->setObjectName(QStringLiteral("NetworkProgress"));
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(kShowProgressAfterMs);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    if (!cancellable) {
        m_progress->setCancelButton(nullptr);
    }
    m_progress->setValue(0);
}

NetworkWait::~NetworkWait() = default;

int NetworkWait::run(const std::function<int()> &work) {
    int result = 0;
    std::exception_ptr failure;
    QEventLoop loop;
    // The worker only touches its own result and posts the end of the wait to this thread; the
    // thread is joined before anything it refers to goes away.
    std::thread worker([&] {
        try {
            result = work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return result;
}

void NetworkWait::setProgress(int done, const QString &label) {
    m_progress->setLabelText(label);
    m_progress->setValue(done);
}

bool NetworkWait::cancelled() const {
    return m_progress->wasCanceled();
}

} // namespace ravlen::viewer
