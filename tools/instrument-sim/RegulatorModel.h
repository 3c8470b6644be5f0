#pragma once

#include <cstdint>
#include <random>

namespace instrumentsim {

/** How the simulated bath heats, cools and measures. Temperatures in degrees Celsius. */
struct ThermalParams {
    double ambient = 22.0; ///< where the bath settles with the heater off
    double heaterRise = 25.0; ///< the heater alone would hold the bath this far above ambient
    double heatTimeConstant = 90.0; ///< seconds, first-order approach to ambient + heaterRise
    double coolTimeConstant = 60.0; ///< seconds, first-order approach to ambient
    double noiseSigma = 0.03; ///< standard deviation of the sensor noise on each reading
    double regulatorStep = 0.1; ///< seconds between two looks of the regulator at its sensor
};

/**
 * A bath with a two-limit regulator: the heater switches on when the temperature falls below
 * the lower limit and off when it rises above the upper limit, and keeps its state in between.
 * The temperature follows a first-order curve towards the heater's asymptote while it is on and
 * towards ambient while it is off. Time only passes through advance(), so the model is exact and
 * repeatable; the only randomness is the sensor noise, drawn from a PRNG seeded by the caller.
 */
class RegulatorModel {
public:
    static constexpr double kDefaultLower = 30.0;
    static constexpr double kDefaultUpper = 31.0;

    RegulatorModel(double startTemperature, std::uint32_t seed, ThermalParams params = {});

    /**
     * Lets @p seconds of model time pass (negative or non-finite spans count as none). The
     * regulator looks at the temperature every regulatorStep, as the instrument's own control
     * loop does, so the result does not depend on how often the model is advanced.
     */
    void advance(double seconds);

    /**
     * Sets the regulator's limits. Limits given the wrong way round are taken in order, so the
     * regulator still has a band to work in instead of chattering at one edge; returns false
     * when they had to be swapped.
     */
    bool setLimits(double lower, double upper);

    double lowerLimit() const { return m_lower; }
    double upperLimit() const { return m_upper; }
    bool heaterOn() const { return m_heaterOn; }
    /** The bath's true temperature, without sensor noise. */
    double temperature() const { return m_temperature; }

    /** One measurement: the true temperature plus sensor noise. Each call draws new noise. */
    double measure();

private:
    void regulate();

    ThermalParams m_params;
    double m_temperature;
    double m_untilLook = 0.0; // model time left before the regulator's next look
    double m_lower = kDefaultLower;
    double m_upper = kDefaultUpper;
    bool m_heaterOn = false;
    std::mt19937 m_random;
    std::normal_distribution<double> m_noise;
};

/**
 * A temperature as the instrument sends it: tenths of a degree, rounded to the nearest tenth and
 * clamped to what an unsigned 16-bit value holds (below 0.0 gives 0, above 6553.5 gives 65535,
 * not-a-number gives 0).
 */
std::uint16_t toTenths(double celsius);

} // namespace instrumentsim
