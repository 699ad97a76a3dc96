#include "widgets/errordisplay.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace ErrorDisplay {
namespace {

void realBox(BoxKind kind, const QString &caption, const QString &text)
{
    QMessageBox box(kind == BoxKind::Message ? QMessageBox::NoIcon : QMessageBox::Critical, caption, text,
                    QMessageBox::Ok);
    if (kind == BoxKind::ApplicationError)
        box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

BoxFunction &boxFunction()
{
    static BoxFunction box;
    return box;
}

void showBox(BoxKind kind, const QString &caption, const QString &text)
{
    if (const BoxFunction &box = boxFunction())
        box(kind, caption, text);
    else
        realBox(kind, caption, text);
}

QString demangled(const std::type_info &type)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : type.name());
}

} // namespace

BoxFunction setBoxFunction(BoxFunction box)
{
    return std::exchange(boxFunction(), std::move(box));
}

QString withFullStop(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString applicationErrorText(const QString &className, const QString &module, quintptr address,
                             const QString &message)
{
    const QString ending = message.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(".");
    return QStringLiteral("Exception %1 in module %2 at %3.\n%4%5\n")
        .arg(className, module, QStringLiteral("%1").arg(quint32(address), 8, 16, QLatin1Char('0')).toUpper(),
             message, ending);
}

QString messageOf(const std::exception &error)
{
    return QString::fromLocal8Bit(error.what());
}

void showError(const QString &message)
{
    showBox(BoxKind::Error, QStringLiteral("Halvora"), withFullStop(message));
}

void showError(const std::exception &error)
{
    showError(messageOf(error));
}

void showMessage(const QString &caption, const QString &text)
{
    showBox(BoxKind::Message, caption, text);
}

void showApplicationError(const std::exception &error)
{
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    // There is no code position for a C++ exception; the address of its
    // object stands in for it.
    showBox(BoxKind::ApplicationError, QStringLiteral("Application Error"),
            applicationErrorText(demangled(typeid(error)), module, quintptr(&error), messageOf(error)));
}

} // namespace ErrorDisplay
