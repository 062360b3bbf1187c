#include "tap/tapestimator.h"

#include "pitch/numbertext.h"

#include <cmath>

namespace korvo {
namespace {

std::string plain(double value)
{
    return numberText(value, {15, true});
}

} // namespace

void TapEstimator::start(std::string_view entryText)
{
    m_tapbpmbuf = std::string(entryText);
    // The main window has just accepted this text. One that is not a number as a whole ("120abc")
    // was accepted by the lenient reading, so start from the value it found there.
    const std::optional<double> whole = readStrict(entryText);
    m_tapbpmNew = whole ? *whole : readLenient(entryText);
    m_tapnum = 0;
}

std::optional<TapShown> TapEstimator::tap(double reading)
{
    m_t = reading;
    const double d = *m_t - m_s.value_or(0.0);
    m_s = m_t;
    if (m_tapnum == 0 || d == 0) {
        // A first tap has no interval yet; two taps at one reading would divide by zero.
        m_tapnum += 1;
        return std::nullopt;
    }
    const double i = 60 / d;
    m_tapbpmNew = (i + 3 * m_tapbpmNew) / 4;
    m_tapnum += 1;
    return TapShown{shownText(m_tapbpmNew),
                    {plain(*m_t), plain(d), plain(i), m_tapbpmbuf, plain(m_tapbpmNew)}};
}

const std::string& TapEstimator::startOver()
{
    m_tapnum = 0;
    return m_tapbpmbuf;
}

std::string TapEstimator::shownText(double estimate)
{
    return plain(std::floor(10 * estimate) / 10);
}

} // namespace korvo
