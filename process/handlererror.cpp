#include "process/handlererror.h"

#include <QtDebug>

#include <stdexcept>
#include <utility>

namespace HandlerError {
namespace {

Channel &runners()
{
    static Channel channel;
    return channel;
}

} // namespace

Display Channel::setDisplay(Display display)
{
    return std::exchange(m_display, std::move(display));
}

void Channel::show(std::exception_ptr error) const
{
    // A copy: the display may set another while it runs.
    const Display display = m_display;
    const auto showOne = [&](const std::exception &e) {
        if (display)
            display(e);
        else
            qWarning("%s%s", m_logPrefix, e.what());
    };
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        showOne(e);
    } catch (...) {
        showOne(std::runtime_error("Unknown error"));
    }
}

Display setDisplay(Display display)
{
    return runners().setDisplay(std::move(display));
}

void show(std::exception_ptr error)
{
    runners().show(error);
}

} // namespace HandlerError
