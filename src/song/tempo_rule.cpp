#include "song/tempo_rule.h"

#include "platform/str_to_int.h"

#include <algorithm>
#include <cmath>

namespace groovane {

int stepIntervalMs(int position)
{
    return 2 * position;
}

std::string tempoReadout(int position)
{
    const double quotient = 7200.0 / std::max(position, kMinTempoPosition);
    // Halves go to the even neighbour: round-to-nearest-even, whatever mode the FPU was left in.
    const double down = std::floor(quotient);
    const double fraction = quotient - down;
    double rounded = down;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(down, 2.0) != 0.0))
        rounded = down + 1;
    return std::to_string(static_cast<long long>(rounded));
}

int clampTempoPosition(long long position)
{
    return static_cast<int>(std::clamp<long long>(position, kMinTempoPosition, kMaxTempoPosition));
}

std::string correctedLoopText(const std::string& text)
{
    const int count = tryStrToInt(text).value_or(0);
    return count < 1 ? std::string("1") : std::string();
}

} // namespace groovane
