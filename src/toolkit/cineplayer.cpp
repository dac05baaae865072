#include "toolkit/cineplayer.h"

#include "toolkit/image.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

namespace ravlen::toolkit {

namespace {

class SteadyClock : public CineClock {
public:
    SteadyClock() { m_elapsed.start(); }
    double nowMs() const override { return double(m_elapsed.nsecsElapsed()) / 1e6; }

private:
    QElapsedTimer m_elapsed;
};

// The frames an image will want, the one it shows first, then in the order it plays them,
// each once.
std::vector<int> playOrder(CinePosition from, int mode, int frameCount) {
    std::vector<int> frames{from.frame};
    std::vector<bool> seen(std::size_t(frameCount) + 1, false);
    seen[std::size_t(from.frame)] = true;
    const long long steps = mode == cinemode::Oscillate ? 2LL * (frameCount - 1) : frameCount;
    for (long long k = 1; k <= steps; ++k) {
        const int f = advanceCine(from, mode, frameCount, k).frame;
        if (!seen[std::size_t(f)]) {
            seen[std::size_t(f)] = true;
            frames.push_back(f);
        }
    }
    return frames;
}

} // namespace

std::shared_ptr<CineClock> steadyCineClock() {
    return std::make_shared<SteadyClock>();
}

// The worker that decodes frames ahead of the player. It holds the images weakly, so a closed
// image is not kept alive for its frames (one closed during a decoding ends here, which is
// safe: an image holds nothing tied to a thread); a failed frame is left for the drawing to
// report.
class CinePlayer::Decoder {
public:
    Decoder() : m_thread([this] { run(); }) {}
    ~Decoder() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
            m_jobs.clear();
        }
        m_wake.notify_all();
        m_thread.join();
    }

    // Replaces what is queued for `image` by `frames`, in that order.
    void request(const std::shared_ptr<Image> &image, const std::vector<int> &frames) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::erase_if(m_jobs, [&](const Job &j) { return j.key == image.get(); });
            for (int f : frames) {
                m_jobs.push_back({image, image.get(), f});
            }
        }
        m_wake.notify_all();
    }

    // Drops the queued work of every image not in `keep`.
    void retain(const std::vector<const Image *> &keep) {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::erase_if(m_jobs, [&](const Job &j) {
            return std::find(keep.begin(), keep.end(), j.key) == keep.end();
        });
    }

    bool waitIdle(int timeoutMs) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_idle.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                               [this] { return m_jobs.empty() && !m_busy; });
    }

private:
    struct Job {
        std::weak_ptr<Image> image;
        const Image *key = nullptr;
        int frame = 1;
    };

    void run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (true) {
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop) {
                return;
            }
            const Job job = m_jobs.front();
            m_jobs.pop_front();
            m_busy = true;
            lock.unlock();
            if (const std::shared_ptr<Image> image = job.image.lock()) {
                try {
                    if (!image->frameDecoded(job.frame)) {
                        (void)image->frame(job.frame);
                    }
                } catch (...) {
                    // The tile that shows the frame tells the user why it cannot be drawn.
                }
            }
            lock.lock();
            m_busy = false;
            if (m_jobs.empty()) {
                m_idle.notify_all();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread; // last: started once the members above exist
};

CinePlayer::CinePlayer(ShownImages shown, QObject *parent)
    : QObject(parent), m_shown(std::move(shown)), m_clock(steadyCineClock()) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CinePlayer::tick);
}

CinePlayer::~CinePlayer() = default;

void CinePlayer::setClock(std::shared_ptr<CineClock> clock) {
    m_clock = clock ? std::move(clock) : steadyCineClock();
    m_playheads.clear(); // times of the old clock mean nothing on the new one
}

void CinePlayer::setDecodeAhead(bool on) {
    m_decodeAhead = on;
    if (!on) {
        m_decoder.reset();
    }
}

void CinePlayer::wake() {
    // A step sets frames, which reports changes back here; the step sets the timer itself.
    if (!m_inTick) {
        m_timer.start(0);
    }
}

bool CinePlayer::waitForDecodes(int timeoutMs) {
    return !m_decoder || m_decoder->waitIdle(timeoutMs);
}

void CinePlayer::anchor(Playhead &head, const std::shared_ptr<Image> &image, int mode, double now) {
    const int frames = image->frameCount();
    head.image = image;
    head.key = image.get();
    head.mode = mode;
    head.frameMs = image->cineRate().frameMs();
    head.startMs = now;
    head.start = {std::clamp(image->currentFrame(), 1, frames), mode == cinemode::Reverse};
    head.steps = 0;
    head.shownFrame = image->currentFrame();
    if (m_decodeAhead) {
        if (!m_decoder) {
            m_decoder = std::make_unique<Decoder>();
        }
        std::vector<int> wanted = playOrder(head.start, mode, frames);
        std::erase_if(wanted, [&](int f) { return image->frameDecoded(f); });
        m_decoder->request(image, wanted);
    }
}

void CinePlayer::tick() {
    m_inTick = true;
    const double now = m_clock->nowMs();
    double nextDue = std::numeric_limits<double>::infinity();
    std::vector<Playhead> playing;
    try {
        for (const std::shared_ptr<Image> &image : m_shown()) {
            if (!image || image->cineMode() == cinemode::Stopped || image->frameCount() < 2) {
                continue;
            }
            const bool counted = std::any_of(playing.begin(), playing.end(),
                                             [&](const auto &h) { return h.key == image.get(); });
            if (counted) { // shown in two places, stepped once
                continue;
            }
            const int mode = image->cineMode();
            auto known = std::find_if(m_playheads.begin(), m_playheads.end(), [&](const auto &h) {
                return h.key == image.get() && h.image.lock() == image;
            });
            Playhead head = known != m_playheads.end() ? *known : Playhead();
            // Started, switched to another mode, or moved by hand (the scrub): play on from here.
            if (known == m_playheads.end() || head.mode != mode ||
                image->currentFrame() != head.shownFrame) {
                anchor(head, image, mode, now);
            }
            // A hair of slack, so a timer that fires on the dot is not taken for one early.
            const long long due = (long long)std::floor((now - head.startMs) / head.frameMs + 1e-9);
            if (due > head.steps) {
                const CinePosition target = advanceCine(head.start, mode, image->frameCount(), due);
                if (image->frameDecoded(target.frame)) {
                    head.steps = due;
                    head.shownFrame = target.frame;
                    image->setCurrentFrame(target.frame);
                }
            }
            const long long next = std::max(due, head.steps) + 1;
            nextDue = std::min(nextDue, head.startMs + double(next) * head.frameMs);
            playing.push_back(head);
        }
    } catch (...) {
        // Nothing may leave a timer's slot; what was stepped stays stepped.
    }
    m_playheads = std::move(playing);
    if (m_decoder) {
        std::vector<const Image *> keep;
        for (const Playhead &h : m_playheads) {
            keep.push_back(h.key);
        }
        m_decoder->retain(keep);
    }
    m_inTick = false;
    if (m_playheads.empty()) {
        m_timer.stop();
        return;
    }
    const double wait = std::clamp(std::ceil(nextDue - now), 0.0, 3600.0 * 1000.0);
    m_timer.start(int(wait));
}

} // namespace ravlen::toolkit
