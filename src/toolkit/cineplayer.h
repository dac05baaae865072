#pragma once

#include "toolkit/cinerate.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace ravlen::toolkit {

class Image;

// The time a cine player reads, in milliseconds from any fixed start. The player of a viewer
// uses the steady clock; tests give it one they step by hand.
class CineClock {
public:
    virtual ~CineClock() = default;
    virtual double nowMs() const = 0;
};

// A clock that never goes backwards (wall-clock changes do not disturb playing).
std::shared_ptr<CineClock> steadyCineClock();

// Plays the multi-frame images a viewer shows. Every shown image whose cine mode is not 0
// steps through its frames at its own rate (Image::cineRate), each by its own clock from the
// moment it started or was last moved by hand: when a step comes late, the frames it missed
// are skipped rather than played slower. A frame is shown only once it is decoded: a worker
// thread decodes the frames ahead, and a frame not ready yet is not waited for, the image stays
// where it is and the next step tries again. Images not shown are not looked at, nor decoded
// for; shown again they go on from the frame they stopped at. One timer serves all the images.
// Lives on the thread of its viewer.
class CinePlayer : public QObject {
    Q_OBJECT
public:
    // The images shown now, each once or more.
    using ShownImages = std::function<std::vector<std::shared_ptr<Image>>()>;

    explicit CinePlayer(ShownImages shown, QObject *parent = nullptr);
    ~CinePlayer() override;

    void setClock(std::shared_ptr<CineClock> clock);
    // Off, nothing is decoded ahead: only frames decoded by other means are shown.
    void setDecodeAhead(bool on);

    // Looks at the shown images soon: call when an image's cine mode or frame, or what is
    // shown, may have changed.
    void wake();
    // One step: every playing shown image gets the frame its clock has reached, when that frame
    // is decoded; the timer is set for the next frame due, or stopped when nothing plays.
    void tick();

    // Whether the timer waits for a next step (something plays).
    bool running() const { return m_timer.isActive(); }
    // The shown images playing at the last step.
    int playingCount() const { return int(m_playheads.size()); }
    // Waits until the worker has decoded what it was asked for, at most `timeoutMs`; true
    // when it is idle.
    bool waitForDecodes(int timeoutMs);

private:
    // One playing image: where and when it started, and how far it has got.
    struct Playhead {
        std::weak_ptr<Image> image;
        const Image *key = nullptr;
        int mode = cinemode::Stopped;
        double frameMs = 100.0;
        double startMs = 0.0;
        CinePosition start;
        long long steps = 0; // steps from the start shown so far
        int shownFrame = 1;  // the frame this player set last
    };
    class Decoder;
    void anchor(Playhead &head, const std::shared_ptr<Image> &image, int mode, double now);

    ShownImages m_shown;
    std::shared_ptr<CineClock> m_clock;
    QTimer m_timer;
    std::vector<Playhead> m_playheads;
    std::unique_ptr<Decoder> m_decoder;
    bool m_decodeAhead = true;
    bool m_inTick = false;
};

} // namespace ravlen::toolkit
