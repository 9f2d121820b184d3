#include "exception.h"

namespace groovane {

std::string formatMessage(const std::string& templ, const std::string& arg)
{
    std::string out;
    out.reserve(templ.size() + arg.size());
    bool filled = false;
    for (size_t i = 0; i < templ.size(); ++i) {
        if (!filled && templ[i] == '%' && i + 1 < templ.size() && (templ[i + 1] == 's' || templ[i + 1] == 'd')) {
            out += arg;
            ++i;
            filled = true;
        } else {
            out += templ[i];
        }
    }
    return out;
}

std::string formatMessage(const std::string& templ, long long arg)
{
    return formatMessage(templ, std::to_string(arg));
}

} // namespace groovane
