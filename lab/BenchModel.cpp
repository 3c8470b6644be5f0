#include "lab/BenchModel.h"

#include "telemetry/MqttSettings.h"

#include <algorithm>

namespace lab {

namespace {

constexpr std::int64_t kShortestInterval = 100;
constexpr std::int64_t kLongestInterval = 3'600'000;

std::int64_t ms(std::chrono::milliseconds duration)
{
    return duration.count();
}

instrument::TickOutcome outcomeOf(runlog::TickStatus status)
{
    switch (status) {
    case runlog::TickStatus::Ok:
        break;
    case runlog::TickStatus::NoReply:
        return instrument::TickOutcome::NoReply;
    case runlog::TickStatus::ShortReply:
        return instrument::TickOutcome::ShortReply;
    case runlog::TickStatus::WriteFailed:
        return instrument::TickOutcome::WriteFailed;
    case runlog::TickStatus::PortLost:
        return instrument::TickOutcome::PortLost;
    }
    return instrument::TickOutcome::Ok;
}

std::int64_t median(std::vector<std::int64_t> values)
{
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

bool naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            // Leading zeros aside, the longer run of digits is the larger number.
            while (i < a.size() && a[i] == u'0')
                ++i;
            while (j < b.size() && b[j] == u'0')
                ++j;
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            if (endA - i != endB - j)
                return endA - i < endB - j;
            const int order
                = QStringView(a).mid(i, endA - i).compare(QStringView(b).mid(j, endB - j));
            if (order != 0)
                return order < 0;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size()))
        return j < b.size();
    return a < b; // equal but for leading zeros: still one order
}

BenchModel::BenchModel(const QString& prefix, QObject* parent)
    : QObject(parent)
    , m_prefix(prefix.toUtf8() + '/')
{
}

BenchModel::~BenchModel() = default;

const Bench* BenchModel::bench(const QString& name) const
{
    const auto found = m_benches.find(name);
    return found == m_benches.end() ? nullptr : found->second.get();
}

Bench* BenchModel::benchFor(const QString& name)
{
    if (const auto found = m_benches.find(name); found != m_benches.end())
        return found->second.get();
    if (m_benches.size() >= kMaxBenches)
        return nullptr;
    auto bench = std::make_unique<Bench>();
    bench->name = name;
    bench->live = std::make_unique<history::LiveRun>();
    Bench* added = bench.get();
    m_benches.emplace(name, std::move(bench));
    m_names.insert(std::upper_bound(m_names.begin(), m_names.end(), name, naturalLess), name);
    emit benchAdded(name);
    return added;
}

QString BenchModel::take(const QByteArray& topic, const QByteArray& payload, bool retained,
    std::int64_t steadyMs, const QDateTime& wallNow)
{
    // <prefix>/<bench>/<what>: one level for the bench, one for what it tells.
    if (!topic.startsWith(m_prefix))
        return {};
    const QByteArray rest = topic.mid(m_prefix.size());
    const qsizetype slash = rest.indexOf('/');
    if (slash <= 0 || rest.indexOf('/', slash + 1) >= 0)
        return {};
    QString name = QString::fromUtf8(rest.left(slash));
    const telemetry::ParsedMqttValue checked
        = telemetry::parseMqttValue(name, telemetry::MqttValue::Bench);
    if (!std::holds_alternative<QString>(checked) || std::get<QString>(checked) != name)
        return {};
    const QByteArray what = rest.mid(slash + 1);

    if (what == "status") {
        if (payload != "online" && payload != "offline")
            return {};
        Bench* bench = benchFor(name);
        if (bench == nullptr)
            return {};
        bench->offline = payload == "offline";
        return name;
    }
    if (what == "temperature") {
        const std::optional<double> reading = telemetry::parseTemperaturePayload(payload);
        Bench* bench = reading ? benchFor(name) : nullptr;
        if (bench == nullptr)
            return {};
        bench->reading = reading;
        return name;
    }
    if (what == "limits") {
        const auto limits = telemetry::parseLimitsPayload(payload);
        Bench* bench = limits ? benchFor(name) : nullptr;
        if (bench == nullptr)
            return {};
        bench->limits = limits;
        return name;
    }
    if (what == "alarm") {
        const auto alarm = telemetry::parseAlarmPayload(payload);
        Bench* bench = alarm ? benchFor(name) : nullptr;
        if (bench == nullptr)
            return {};
        bench->alarm = *alarm;
        return name;
    }
    if (what == "state") {
        const std::optional<telemetry::BenchState> state = telemetry::parseStatePayload(payload);
        Bench* bench = state ? benchFor(name) : nullptr;
        if (bench == nullptr || !takeState(*bench, *state, retained, steadyMs, wallNow))
            return {};
        return name;
    }
    return {};
}

bool BenchModel::takeState(Bench& bench, const telemetry::BenchState& state, bool retained,
    std::int64_t steadyMs, const QDateTime& wallNow)
{
    if (bench.state) {
        const std::int64_t spacing = ms(state.elapsed) - ms(bench.state->elapsed);
        // The same tick again: the bench sends its state anew on every connection.
        if (spacing == 0 && state.time == bench.state->time)
            return false;
        if (spacing > 0) {
            bench.spacings.push_back(spacing);
            if (bench.spacings.size() > kIntervalSamples)
                bench.spacings.erase(bench.spacings.begin());
            // One spacing may be a lost message or two; the median of several is the interval.
            if (bench.spacings.size() >= 2 || bench.intervalMs == 0)
                bench.intervalMs
                    = std::clamp(median(bench.spacings), kShortestInterval, kLongestInterval);
        }
    }
    std::int64_t age = 0;
    if (retained && state.time.isValid())
        age = std::clamp<std::int64_t>(state.time.msecsTo(wallNow), 0, kLongestInterval * 24);
    bench.lastSeenMs = steadyMs - age;
    follow(bench, state, wallNow);
    bench.state = state;
    if (state.limits)
        bench.limits = state.limits;
    bench.alarm = state.alarm;
    if (state.temperature)
        bench.reading = state.temperature;
    return true;
}

void BenchModel::follow(Bench& bench, const telemetry::BenchState& state, const QDateTime& wallNow)
{
    history::LiveRun& live = *bench.live;
    const auto columns = live.columns();
    const QDateTime time = state.time.isValid() ? state.time : wallNow;
    // A bench's elapsed time going back is a new run of it; a run too long to keep starts anew.
    const bool newRun = !columns || columns->isEmpty()
        || ms(state.elapsed) < columns->elapsedAt(columns->size() - 1)
        || columns->size() >= kMaxTicks;
    if (newRun) {
        live.runEnded();
        live.runBegan(time.addMSecs(-ms(state.elapsed)));
        bench.spacings.clear();
    }
    if (state.limits
        && (newRun || !bench.state || !bench.state->limits
            || bench.state->limits->lower != state.limits->lower
            || bench.state->limits->upper != state.limits->upper))
        live.limitsSent(time, *state.limits, runlog::LimitsOutcome::Sent);

    // The alarm's spans in the history: the rule shown before ends, the one shown now begins.
    const telemetry::AlarmSummary none;
    const telemetry::AlarmSummary& before = bench.state && !newRun ? bench.state->alarm : none;
    if (before.rule() != state.alarm.rule()) {
        alarms::AlarmEvent event;
        event.time = time;
        event.temperature = state.temperature;
        for (const auto& [summary, kind] : { std::pair { &before, alarms::AlarmEventKind::Cleared },
                 std::pair { &state.alarm, alarms::AlarmEventKind::Raised } }) {
            if (!summary->rule())
                continue;
            event.rule = summary->rule().value_or(alarms::Rule::High);
            event.event = kind;
            live.alarmTransition(event);
        }
    }

    session::TickResult tick;
    tick.time = time;
    tick.elapsed = state.elapsed;
    tick.outcome = outcomeOf(state.status);
    tick.reading = state.temperature;
    live.tickDone(tick);
}

bool BenchModel::isGrey(const Bench& bench, std::int64_t steadyMs)
{
    if (bench.offline || !bench.state)
        return true;
    const std::int64_t interval = bench.intervalMs > 0 ? bench.intervalMs : kUnknownIntervalMs;
    return steadyMs - bench.lastSeenMs > kSilentIntervals * interval;
}

qsizetype BenchModel::liveCount(std::int64_t steadyMs) const
{
    return std::count_if(m_benches.begin(), m_benches.end(),
        [steadyMs](const auto& entry) { return !isGrey(*entry.second, steadyMs); });
}

std::pair<qsizetype, qsizetype> BenchModel::recent(const Bench& bench)
{
    const auto columns = bench.live->columns();
    if (!columns || columns->isEmpty())
        return { 0, 0 };
    const std::int64_t newest = columns->elapsedAt(columns->size() - 1);
    return { columns->lowerBound(newest - ms(kRecentSpan)), columns->size() };
}

} // namespace lab
