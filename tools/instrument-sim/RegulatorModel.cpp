#include "tools/instrument-sim/RegulatorModel.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace instrumentsim {

namespace {

// An hour is forty heating time constants: by then the bath has forgotten where it started and
// only the sawtooth between the limits is left, so a longer gap between polls (a demo left
// running at a high speed factor) is not worth stepping through.
constexpr double kLongestSpan = 3600.0;

// What remains of a regulator interval after floating-point subtraction.
constexpr double kTimeEpsilon = 1e-9;

} // namespace

RegulatorModel::RegulatorModel(double startTemperature, std::uint32_t seed, ThermalParams params)
    : m_params(params)
    , m_temperature(startTemperature)
    , m_random(seed)
    , m_noise(0.0, params.noiseSigma > 0.0 ? params.noiseSigma : 1.0)
{
    if (!(m_params.regulatorStep > 0.0))
        m_params.regulatorStep = ThermalParams {}.regulatorStep;
    m_untilLook = m_params.regulatorStep;
    // At power-on the relay is open; the regulator's first look closes it if the bath is cold.
    regulate();
}

void RegulatorModel::advance(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return;
    double remaining = std::min(seconds, kLongestSpan);
    while (remaining > kTimeEpsilon) {
        const double span = std::min(remaining, m_untilLook);
        const double target
            = m_heaterOn ? m_params.ambient + m_params.heaterRise : m_params.ambient;
        const double timeConstant
            = m_heaterOn ? m_params.heatTimeConstant : m_params.coolTimeConstant;
        // The exact solution of the first-order step, so any span length is stable.
        m_temperature += (target - m_temperature) * -std::expm1(-span / timeConstant);
        remaining -= span;
        m_untilLook -= span;
        if (m_untilLook <= kTimeEpsilon) {
            regulate();
            m_untilLook = m_params.regulatorStep;
        }
    }
}

bool RegulatorModel::setLimits(double lower, double upper)
{
    const bool inOrder = lower <= upper;
    if (!inOrder)
        std::swap(lower, upper);
    m_lower = lower;
    m_upper = upper;
    return inOrder;
}

double RegulatorModel::measure()
{
    if (!(m_params.noiseSigma > 0.0))
        return m_temperature;
    return m_temperature + m_noise(m_random);
}

void RegulatorModel::regulate()
{
    if (m_temperature < m_lower)
        m_heaterOn = true;
    else if (m_temperature > m_upper)
        m_heaterOn = false;
}

std::uint16_t toTenths(double celsius)
{
    const double tenths = std::round(celsius * 10.0);
    if (!(tenths > 0.0))
        return 0;
    if (tenths >= 65535.0)
        return 65535;
    return static_cast<std::uint16_t>(tenths);
}

} // namespace instrumentsim
