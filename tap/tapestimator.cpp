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
    tapbpmbuf = std::string(entryText);
    // The main window has just accepted this text. One that is not a number as a whole ("120abc")
    // was accepted by the lenient reading, so start from the value it found there.
    const std::optional<double> whole = readStrict(entryText);
    tapbpm_new = whole ? *whole : readLenient(entryText);
    tapnum = 0;
}

std::optional<TapShown> TapEstimator::tap(double reading)
{
    T = reading;
    const double d = *T - S.value_or(0.0);
    S = T;
    if (tapnum == 0 || d == 0) {
        // A first tap has no interval yet; two taps at one reading would divide by zero.
        tapnum += 1;
        return std::nullopt;
    }
    const double i = 60 / d;
    tapbpm_new = (i + 3 * tapbpm_new) / 4;
    tapnum += 1;
    return TapShown{shownText(tapbpm_new), {plain(*T), plain(d), plain(i), tapbpmbuf, plain(tapbpm_new)}};
}

const std::string& TapEstimator::startOver()
{
    tapnum = 0;
    return tapbpmbuf;
}

std::string TapEstimator::shownText(double estimate)
{
    return plain(std::floor(10 * estimate) / 10);
}

} // namespace korvo
