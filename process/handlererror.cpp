#include "handlererror.h"

#include <QtDebug>

#include <stdexcept>
#include <utility>

namespace HandlerError {
namespace {

Display &current()
{
    static Display display;
    return display;
}

void showOn(const Display &display, const std::exception &error)
{
    if (display)
        display(error);
    else
        qWarning("%s", error.what());
}

} // namespace

Display setDisplay(Display display)
{
    return std::exchange(current(), std::move(display));
}

void show(std::exception_ptr error)
{
    const Display display = current();
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        showOn(display, e);
    } catch (...) {
        showOn(display, std::runtime_error("Unknown error"));
    }
}

} // namespace HandlerError
