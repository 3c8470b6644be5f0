// instrument-sim: stands in for the thermometer with its two-limit regulator on a serial line, so
// the program can be shown and tested without the instrument. See usage() for the options.

#include "app/Version.h"
#include "tools/instrument-sim/PtyLink.h"
#include "tools/instrument-sim/RegulatorModel.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

using instrumentsim::PtyLink;
using instrumentsim::RegulatorModel;

namespace {

constexpr std::uint8_t kPollCommand = 0x51;
constexpr std::uint8_t kLimitsCommand = 0x52;
constexpr std::uint8_t kStrayByte = 0xA5;
// The program sends the two limits 100 ms and 200 ms after the command byte; a second is ample.
constexpr int kLimitsBoundMs = 1000;
// The program reads a reply 100 ms after its poll; after a second the line hangs up regardless.
constexpr int kReplyTakenBoundMs = 1000;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
    // The name it was started by, for its messages: instrument-sim in the program folder,
    // velmora-thermo-sim where the system package installed it.
    std::string program = "instrument-sim";
    std::string link;
    double startTemperature = 25.0;
    std::uint32_t seed = 1;
    int replyDelayMs = 5;
    bool silent = false;
    bool logGaps = false;
    unsigned long strayEvery = 0; // 0: never
    unsigned long shortEvery = 0; // 0: never
    unsigned long silentEvery = 0; // 0: never
    unsigned long hangupAfter = 0; // 0: never
    unsigned long vanishAfter = 0; // 0: never
    std::optional<int> returnAfterMs; // none: a vanished line stays away
    double ambient = instrumentsim::ThermalParams {}.ambient;
    double speed = 1.0;
};

void usage(const std::string& program)
{
    std::printf(
        "Usage: %s [options] LINK\n"
        "\n"
        "Simulates the thermometer with its two-limit regulator on a pseudo-terminal and points\n"
        "the symbolic link LINK at it; give LINK to the program as its port. A symbolic link\n"
        "already at LINK is replaced, anything else there is refused. The link is removed on "
        "exit.\n"
        "\n"
        "The instrument answers 0x51 with the temperature in tenths of a degree, two bytes, low\n"
        "byte first, and takes 0x52 followed by the lower and upper limit (two bytes each, the\n"
        "same way) as its regulator's new limits (30.0 and 31.0 at start). The heater switches on\n"
        "below the lower limit and off above the upper one; limits sent the wrong way round are\n"
        "used in order. Readings below 0.0 or above 6553.5 are sent as those bounds.\n"
        "\n"
        "Options:\n"
        "  --start-temp C     temperature at start, degrees Celsius (default 25.0)\n"
        "  --ambient C        temperature the bath cools towards (default %.1f); the heater\n"
        "                     alone would hold it %.1f degrees above that\n"
        "  --speed F          model time runs F times as fast as real time (default 1)\n"
        "  --seed N           seed of the sensor noise, 0 to 4294967295 (default 1)\n"
        "  --reply-delay MS   milliseconds between a poll and its reply (default 5)\n"
        "  --silent           never answer a poll\n"
        "  --log-gaps         end each limits line with the milliseconds from the command byte\n"
        "                     to the lower limit and from the lower to the upper limit, as\n"
        "                     they arrived: limits 0x52 36.5 36.7 (gaps 100 ms, 100 ms)\n"
        "  --stray-every N    after every N-th reply send one stray byte 0x%02X\n"
        "  --short-every N    send only the first byte of every N-th reply, as a line that\n"
        "                     drops a byte would\n"
        "  --silent-every N   leave every N-th poll unanswered\n"
        "  --hangup-after N   after the N-th poll (answered or not) close the line and exit,\n"
        "                     as if the cable were pulled\n"
        "  --vanish-after N   after the N-th poll close the line and remove LINK, as an\n"
        "                     adapter pulled from its USB socket; without --return-after it\n"
        "                     stays away until the simulator is stopped\n"
        "  --return-after S   S seconds (a decimal allowed, such as 2.5) after vanishing, make\n"
        "                     a new pseudo-terminal at LINK and go on answering, as the adapter\n"
        "                     plugged in again; needs --vanish-after\n"
        "  --help             show this text\n"
        "  --version          show the version and the licence\n"
        "Options with a value may also be written --name=value.\n"
        "\n"
        "Standard output gets one line per event, flushed at once:\n"
        "  link LINK -> /dev/pts/N       ready for the program\n"
        "  poll 0x51 -> 25.3             a poll and the temperature sent (\"silent\" if none)\n"
        "  poll 0x51 -> 25.3 (short)     only the first byte of that reply was sent\n"
        "  limits 0x52 30.0 31.0         new limits\n"
        "  limits 0x52 incomplete ...    a limits command cut short, ignored\n"
        "  unknown 0x41                  any other byte, ignored\n"
        "  stray 0x%02X                    the stray byte was sent\n"
        "  hangup after N polls          the line was closed\n"
        "  vanish after N polls          the line was closed and LINK removed\n"
        "  return: link LINK -> /dev/pts/M  a new line at LINK\n"
        "  returned at 1765185300.512    the wall-clock moment LINK was back, in seconds since\n"
        "                                1970-01-01 UTC (the line after each return)\n"
        "  stop on signal 15             SIGINT, SIGTERM or SIGHUP ended the simulator\n"
        "\n"
        "Polls are counted from the start, across a vanished line.\n"
        "\n"
        "Exit status: 0 when stopped by a signal or --hangup-after, 1 when the pseudo-terminal or\n"
        "the link fails, 2 for bad arguments.\n",
        program.c_str(), instrumentsim::ThermalParams {}.ambient,
        instrumentsim::ThermalParams {}.heaterRise, kStrayByte, kStrayByte);
}

void log(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A C variadic function on purpose: as a printf-like function, the compiler checks every format
// against its arguments. NOLINTNEXTLINE(cert-dcl50-cpp)
[[gnu::format(printf, 1, 2)]] void logf(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string line(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(line.data(), line.size() + 1, format, args);
    va_end(args);
    log(line);
}

// A temperature in tenths as the log shows it, exactly as the reply decodes: "36.5".
std::string tenthsText(std::uint16_t tenths)
{
    return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
}

std::optional<double> parseNumber(std::string_view text, double lowest, double highest)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc {} || end != text.data() + text.size() || !std::isfinite(value)
        || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

std::optional<unsigned long> parseCount(
    std::string_view text, unsigned long lowest, unsigned long highest)
{
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc {} || end != text.data() + text.size() || value < lowest
        || value > highest)
        return std::nullopt;
    return value;
}

struct UsageError {
    std::string message;
};

// What the command line asks for besides the options: a run, or only a text.
enum class Request { Run, Help, Version };

// Reads the command line into @p options; returns an error text for bad arguments, or nothing.
// Sets @p request when --help or --version was asked for.
std::optional<UsageError> parseArguments(int argc, char** argv, Options& options, Request& request)
{
    constexpr double kAbsoluteZero = -273.15;
    constexpr double kHottestReading = 6553.5;

    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            request = Request::Help;
            return std::nullopt;
        }
        if (argument == "--version") {
            request = Request::Version;
            return std::nullopt;
        }
        if (argument == "--silent") {
            options.silent = true;
            continue;
        }
        if (argument == "--log-gaps") {
            options.logGaps = true;
            continue;
        }
        if (!argument.starts_with("-") || argument == "-") {
            if (!options.link.empty())
                return UsageError { "only one LINK may be given, got a second: "
                    + std::string(argument) };
            options.link = argument;
            continue;
        }

        // Every other option takes a value, as "--name value" or "--name=value".
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (const auto equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const bool known = name == "--start-temp" || name == "--ambient" || name == "--speed"
            || name == "--seed" || name == "--reply-delay" || name == "--stray-every"
            || name == "--short-every" || name == "--silent-every" || name == "--hangup-after"
            || name == "--vanish-after" || name == "--return-after";
        if (!known)
            return UsageError { "unknown option " + std::string(argument) };
        if (!value) {
            if (i + 1 >= argc)
                return UsageError { std::string(name) + " needs a value" };
            value = argv[++i];
        }

        const auto bad = [&](const char* expected) {
            return UsageError { std::string(name) + ": expected " + expected + ", got '"
                + std::string(*value) + "'" };
        };
        if (name == "--start-temp" || name == "--ambient") {
            const auto number = parseNumber(*value, kAbsoluteZero, kHottestReading);
            if (!number)
                return bad("degrees Celsius from -273.15 to 6553.5");
            (name == "--start-temp" ? options.startTemperature : options.ambient) = *number;
        } else if (name == "--speed") {
            const auto number = parseNumber(*value, 0.0, 10000.0);
            if (!number || *number <= 0.0)
                return bad("a factor above 0 and at most 10000");
            options.speed = *number;
        } else if (name == "--seed") {
            const auto count = parseCount(*value, 0, 4294967295ul);
            if (!count)
                return bad("a whole number from 0 to 4294967295");
            options.seed = static_cast<std::uint32_t>(*count);
        } else if (name == "--reply-delay") {
            const auto count = parseCount(*value, 0, 60000);
            if (!count)
                return bad("milliseconds from 0 to 60000");
            options.replyDelayMs = static_cast<int>(*count);
        } else if (name == "--return-after") {
            constexpr double kLongestAbsenceSeconds = 86400.0;
            const auto seconds = parseNumber(*value, 0.0, kLongestAbsenceSeconds);
            if (!seconds)
                return bad("seconds from 0 to 86400");
            options.returnAfterMs = static_cast<int>(std::lround(*seconds * 1000.0));
        } else {
            const auto count = parseCount(*value, 1, 1000000000ul);
            if (!count)
                return bad("a whole number from 1 to 1000000000");
            if (name == "--stray-every")
                options.strayEvery = *count;
            else if (name == "--short-every")
                options.shortEvery = *count;
            else if (name == "--silent-every")
                options.silentEvery = *count;
            else if (name == "--vanish-after")
                options.vanishAfter = *count;
            else
                options.hangupAfter = *count;
        }
    }
    if (options.link.empty())
        return UsageError { "the LINK path is missing" };
    if (options.returnAfterMs && options.vanishAfter == 0)
        return UsageError { "--return-after needs --vanish-after" };
    return std::nullopt;
}

class Simulator {
public:
    Simulator(const Options& options, PtyLink& link)
        : m_options(options)
        , m_link(link)
        , m_model(options.startTemperature, options.seed, thermalParams(options))
        , m_lastAdvance(std::chrono::steady_clock::now())
    {
    }

    // Answers commands until a stop signal, the hang-up or a failure; returns the exit status.
    int run()
    {
        for (;;) {
            std::uint8_t command = 0;
            switch (m_link.readByte(command, -1)) {
            case PtyLink::Wait::Ready:
                m_commandArrived = std::chrono::steady_clock::now();
                break;
            case PtyLink::Wait::Failed:
                return failed();
            default:
                return stopped();
            }

            bool carryOn = true;
            if (command == kPollCommand)
                carryOn = poll();
            else if (command == kLimitsCommand)
                carryOn = limits();
            else
                logf("unknown 0x%02X", command);
            if (!carryOn)
                return m_status;
        }
    }

private:
    static instrumentsim::ThermalParams thermalParams(const Options& options)
    {
        instrumentsim::ThermalParams params;
        params.ambient = options.ambient;
        return params;
    }

    // Brings the model up to now: real time since the last command, scaled by --speed.
    void catchUp()
    {
        const auto now = std::chrono::steady_clock::now();
        m_model.advance(
            std::chrono::duration<double>(now - m_lastAdvance).count() * m_options.speed);
        m_lastAdvance = now;
    }

    bool poll()
    {
        catchUp();
        const std::uint16_t tenths = instrumentsim::toTenths(m_model.measure());
        ++m_polls;
        if (m_options.silent
            || (m_options.silentEvery != 0 && m_polls % m_options.silentEvery == 0)) {
            log("poll 0x51 -> silent");
        } else {
            const auto waited = m_link.pause(m_options.replyDelayMs);
            if (waited != PtyLink::Wait::Ready)
                return finish(waited == PtyLink::Wait::Failed ? failed() : stopped());
            const std::uint8_t reply[2] = { static_cast<std::uint8_t>(tenths & 0xFF),
                static_cast<std::uint8_t>(tenths >> 8) };
            ++m_replies;
            const bool cutShort
                = m_options.shortEvery != 0 && m_replies % m_options.shortEvery == 0;
            const std::size_t size = cutShort ? 1 : sizeof reply;
            const std::size_t sent = m_link.write(reply, size);
            logf("poll 0x51 -> %s%s%s", tenthsText(tenths).c_str(), cutShort ? " (short)" : "",
                sent == size ? "" : " (not delivered: the port's input is full)");
            if (m_options.strayEvery != 0 && m_replies % m_options.strayEvery == 0) {
                m_link.write(&kStrayByte, 1);
                logf("stray 0x%02X", kStrayByte);
            }
        }
        if (m_options.hangupAfter != 0 && m_polls >= m_options.hangupAfter) {
            // A cable pulled after the reply went out: the program still gets the reply.
            m_link.waitUntilRead(kReplyTakenBoundMs);
            m_link.close();
            logf("hangup after %lu polls", m_polls);
            return finish(0);
        }
        if (m_options.vanishAfter != 0 && m_polls == m_options.vanishAfter)
            return vanishAndReturn();
        return true;
    }

    // The adapter pulled out after its reply went out, and (with --return-after) plugged in
    // again: a new pseudo-terminal at the same path, as udev makes a new device node.
    bool vanishAndReturn()
    {
        m_link.waitUntilRead(kReplyTakenBoundMs);
        const std::string path = m_link.linkPath();
        m_link.close();
        logf("vanish after %lu polls", m_polls);
        if (!m_options.returnAfterMs) {
            const auto waited = m_link.waitForStop();
            return finish(waited == PtyLink::Wait::Failed ? failed() : stopped());
        }
        const auto waited = m_link.pause(*m_options.returnAfterMs);
        if (waited != PtyLink::Wait::Ready)
            return finish(waited == PtyLink::Wait::Failed ? failed() : stopped());
        if (!m_link.open(path))
            return finish(failed());
        // Taken before the log lines are written: the moment the program could open LINK.
        const auto back = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::system_clock::now().time_since_epoch())
                              .count();
        logf("return: link %s -> %s", m_link.linkPath().c_str(), m_link.slavePath().c_str());
        logf("returned at %lld.%03lld", static_cast<long long>(back / 1000),
            static_cast<long long>(back % 1000));
        return true;
    }

    bool limits()
    {
        std::uint8_t bytes[4] = {};
        std::array<std::chrono::steady_clock::time_point, 4> arrived {};
        std::size_t got = 0;
        const auto deadline
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitsBoundMs);
        while (got < sizeof bytes) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            const auto waited
                = m_link.readByte(bytes[got], left.count() > 0 ? int(left.count()) : 0);
            if (waited == PtyLink::Wait::Ready)
                arrived[got++] = std::chrono::steady_clock::now();
            else if (waited == PtyLink::Wait::TimedOut)
                break;
            else
                return finish(waited == PtyLink::Wait::Failed ? failed() : stopped());
        }
        if (got < sizeof bytes) {
            logf("limits 0x52 incomplete (%zu of 4 bytes), ignored", got);
            return true;
        }

        const auto lower = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
        const auto upper = static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8);
        // The old limits govern the time up to now; the new ones from here on.
        catchUp();
        const bool inOrder = m_model.setLimits(lower / 10.0, upper / 10.0);
        std::string line = "limits 0x52 " + tenthsText(lower) + ' ' + tenthsText(upper);
        if (!inOrder)
            line += " (reversed: regulating from " + tenthsText(upper) + " to " + tenthsText(lower)
                + ')';
        if (m_options.logGaps) {
            // Each limit is written in one go, so its first byte marks when it came.
            const auto ms = [](auto gap) {
                return std::to_string(
                    std::chrono::duration_cast<std::chrono::milliseconds>(gap).count());
            };
            line += " (gaps " + ms(arrived[0] - m_commandArrived) + " ms, "
                + ms(arrived[2] - arrived[1]) + " ms)";
        }
        log(line);
        return true;
    }

    int stopped()
    {
        logf("stop on signal %d", instrumentsim::stopSignal());
        return 0;
    }

    int failed()
    {
        std::fprintf(stderr, "%s: %s\n", m_options.program.c_str(), m_link.errorText().c_str());
        return kExitFailure;
    }

    bool finish(int status)
    {
        m_status = status;
        return false;
    }

    const Options& m_options;
    PtyLink& m_link;
    RegulatorModel m_model;
    std::chrono::steady_clock::time_point m_lastAdvance;
    std::chrono::steady_clock::time_point m_commandArrived;
    unsigned long m_polls = 0;
    unsigned long m_replies = 0;
    int m_status = 0;
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (argc > 0 && argv[0] != nullptr && *argv[0] != '\0') {
        const std::string_view started = argv[0];
        options.program = started.substr(started.find_last_of('/') + 1);
    }
    Request request = Request::Run;
    if (const auto error = parseArguments(argc, argv, options, request)) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", options.program.c_str(),
            error->message.c_str(), options.program.c_str());
        return kExitUsage;
    }
    if (request == Request::Help) {
        usage(options.program);
        return 0;
    }
    if (request == Request::Version) {
        std::fputs(app::versionText(options.program).c_str(), stdout);
        return 0;
    }

    instrumentsim::catchStopSignals();
    PtyLink link;
    if (!link.open(options.link)) {
        std::fprintf(stderr, "%s: %s\n", options.program.c_str(), link.errorText().c_str());
        return kExitFailure;
    }
    logf("link %s -> %s", link.linkPath().c_str(), link.slavePath().c_str());

    Simulator simulator(options, link);
    return simulator.run();
}
