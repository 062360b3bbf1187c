#include "pitch/bpmvalue.h"

#include "pitch/numbertext.h"

#include <algorithm>
#include <cmath>

namespace korvo::bpm {

bool inRange(double value)
{
    return value >= kMinimum && value <= kMaximum;
}

std::string textForPosition(int position)
{
    return numberText(position / 10.0);
}

int positionForValue(double value)
{
    if (std::isnan(value))
        return kSliderMinimum;
    // nearbyint follows the default rounding mode, round-half-to-even.
    const double tenths =
        std::clamp(std::nearbyint(value * 10.0), double(kSliderMinimum), double(kSliderMaximum));
    return static_cast<int>(tenths);
}

int positionForText(std::string_view text)
{
    return positionForValue(readStrict(text).value_or(readLenient(text)));
}

} // namespace korvo::bpm
