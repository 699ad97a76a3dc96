#pragma once

#include <QString>

#include <exception>
#include <functional>

// The two error displays of the application: the default one for an error
// that leaves an event handler, and the last-resort box for an error that
// ends the process at start-up; and the plain message box. All end in one box
// function, a seam whose default shows the real modal QMessageBox.
namespace ErrorDisplay {

enum class BoxKind { Error, ApplicationError, Message };
using BoxFunction = std::function<void(BoxKind kind, const QString &caption, const QString &text)>;

// Replaces the box function; an empty function restores the real box.
// Returns the previous one.
BoxFunction setBoxFunction(BoxFunction box);

// The message with a full stop appended when its last character sorts
// after the full stop.
QString withFullStop(const QString &message);

// The last-resort text: "Exception <class> in module <program> at <address>."
// and the message on its own line, ending in a full stop.
QString applicationErrorText(const QString &className, const QString &module, quintptr address,
                             const QString &message);

// The message of an exception, in the locale's encoding.
QString messageOf(const std::exception &error);

// The default error display: the message (full-stop rule), caption "Halvora", stop icon.
void showError(const QString &message);
void showError(const std::exception &error);

// A message box without an icon and with one OK button.
void showMessage(const QString &caption, const QString &text);

// The last-resort box "Application Error"; the caller then ends the process with code 1.
void showApplicationError(const std::exception &error);

// Runs an event handler's body; an error that leaves it goes to the default
// error display, so no exception crosses a Qt frame.
template <typename Body>
void runHandler(Body &&body) noexcept
{
    try {
        body();
    } catch (const std::exception &error) {
        showError(error);
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
}

} // namespace ErrorDisplay
