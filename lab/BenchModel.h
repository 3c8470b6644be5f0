#pragma once

#include "history/LiveRun.h"
#include "telemetry/Payloads.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace lab {

/** The stretch of a bench's readings its tile plots, back from its newest tick. */
inline constexpr std::chrono::minutes kRecentSpan { 30 };
/** A bench that has sent no state for this many of its intervals counts as silent. */
inline constexpr int kSilentIntervals = 3;
/** The interval assumed while a bench's states have not yet shown their spacing. */
inline constexpr std::int64_t kUnknownIntervalMs = 60'000;
/** The spacings the interval is the median of. */
inline constexpr std::size_t kIntervalSamples = 7;
/** Benches kept at most: topics beyond them are ignored, so a flood of names cannot exhaust memory.
 */
inline constexpr std::size_t kMaxBenches = 1000;
/** Ticks kept for a bench's history before it starts anew (about two days at 800 ms). */
inline constexpr qsizetype kMaxTicks = 200'000;

/** What the overview knows of one bench under the prefix. */
struct Bench {
    QString name;
    bool offline = false; ///< its status topic says "offline" (its last will, or a clean stop)
    std::optional<telemetry::BenchState> state; ///< the newest state message
    std::optional<double> reading; ///< the temperature topic's newest reading
    std::optional<instrument::RegulatorLimits> limits;
    telemetry::AlarmSummary alarm;
    /** When the newest state was sent, in ms of the steady clock; a retained one counts from the
     *  time it carries, so that an old state the broker replays does not look fresh. */
    std::int64_t lastSeenMs = 0;
    /** The bench's poll interval, the median of the spacings of its states' elapsed times; 0
     *  while fewer than two states of one run came. */
    std::int64_t intervalMs = 0;
    std::vector<std::int64_t> spacings; ///< the newest kIntervalSamples, oldest first
    /** The states received, as a run: the tile's plot and the history window read it. */
    std::unique_ptr<history::LiveRun> live;
};

/**
 * The benches found under a prefix, fed with the broker's messages (topics
 * <prefix>/<bench>/status, temperature, state, limits, alarm). A message that is not one of
 * these, or whose payload is refused by telemetry's readers, is ignored and changes nothing.
 * Qt Core only; the time is given by the caller, so the rules are tested without a clock.
 */
class BenchModel : public QObject {
    Q_OBJECT

public:
    explicit BenchModel(const QString& prefix, QObject* parent = nullptr);
    ~BenchModel() override;
    BenchModel(const BenchModel&) = delete;
    BenchModel& operator=(const BenchModel&) = delete;

    /**
     * Takes one message. @p steadyMs is the steady clock now, @p wallNow the wall clock (for
     * the age of a retained state). Returns the bench it changed, or an empty name.
     */
    QString take(const QByteArray& topic, const QByteArray& payload, bool retained,
        std::int64_t steadyMs, const QDateTime& wallNow);

    /** The benches' names, in natural order ("bench-2" before "bench-10"). */
    const std::vector<QString>& names() const { return m_names; }
    const Bench* bench(const QString& name) const;

    /** Grey: offline, no state yet, or silent for kSilentIntervals of its interval. */
    static bool isGrey(const Bench& bench, std::int64_t steadyMs);
    /** The benches that are not grey. */
    qsizetype liveCount(std::int64_t steadyMs) const;
    /** The ticks [first, second) of the bench's run within kRecentSpan of its newest one. */
    static std::pair<qsizetype, qsizetype> recent(const Bench& bench);

signals:
    /** A bench was seen for the first time; names() holds it already. */
    void benchAdded(const QString& name);

private:
    Bench* benchFor(const QString& name);
    bool takeState(Bench& bench, const telemetry::BenchState& state, bool retained,
        std::int64_t steadyMs, const QDateTime& wallNow);
    void follow(Bench& bench, const telemetry::BenchState& state, const QDateTime& wallNow);

    QByteArray m_prefix; ///< with its trailing "/"
    std::map<QString, std::unique_ptr<Bench>> m_benches;
    std::vector<QString> m_names;
};

/** Natural order: digit runs compare as numbers, the rest character by character. */
bool naturalLess(const QString& a, const QString& b);

} // namespace lab
