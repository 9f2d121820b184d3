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

std::string exceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

std::string errorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

} // namespace groovane
