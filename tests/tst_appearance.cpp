// What the user sees of the main window and the Mini Player: every text whole
// at the default font and at larger scale factors, the information panel's
// sixteen rows without scroll bars, and the pictures and the track bar's
// marker visible on light and dark palettes.

#include "mainwindow/tffmpegfrm.h"
#include "player/tjvcolortrackbar.h"
#include "player/tmplayerfrm.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/contrastcolour.h"
#include "widgets/timagelist.h"
#include "widgets/tjvcombobox.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QStyleFactory>
#include <QSvgRenderer>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

namespace {

QPalette darkPalette()
{
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    return dark;
}

QString where(const QWidget *widget, const QString &text)
{
    return widget->objectName() + QStringLiteral(" \"") + text + QStringLiteral("\"");
}

// Every widget with text below `top`: the text is shown whole and the widget
// lies inside its parent. Returns the problems found.
QStringList cutTexts(QWidget *top)
{
    // As when the window is shown, without showing it.
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        if (widget->layout())
            widget->layout()->activate();
    }
    QStringList cuts;
    auto check = [&cuts](const QWidget *widget, const QString &text, bool fits) {
        if (!fits)
            cuts << where(widget, text);
    };
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        if (widget->isWindow() || !widget->isVisibleTo(top))
            continue;
        const QFontMetrics fm = widget->fontMetrics();
        if (widget->parentWidget() && !widget->parentWidget()->rect().contains(widget->geometry()))
            check(widget, QStringLiteral("outside its parent"), false);
        if (auto *label = qobject_cast<QLabel *>(widget); label && !label->text().isEmpty())
            check(label, label->text(), label->width() >= fm.horizontalAdvance(label->text()));
        if (auto *box = qobject_cast<QCheckBox *>(widget))
            check(box, box->text(), box->width() >= box->sizeHint().width());
        if (auto *button = qobject_cast<QToolButton *>(widget); button && !button->text().isEmpty())
            check(button, button->text(),
                  button->width() >= button->sizeHint().width() && button->height() >= button->sizeHint().height());
        if (auto *group = qobject_cast<QGroupBox *>(widget))
            check(group, group->title(), group->width() >= fm.horizontalAdvance(group->title()) + 16);
        if (auto *tabs = qobject_cast<QTabBar *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i)
                check(tabs, tabs->tabText(i),
                      tabs->tabRect(i).width() >= fm.horizontalAdvance(tabs->tabText(i)) + tabs->iconSize().width()
                          && tabs->tabRect(i).right() < tabs->width());
        }
        if (auto *selector = qobject_cast<TJvComboBox *>(widget)) {
            // The entry shows in the edit field, inside its two-pixel margins.
            for (int i = 0; i < selector->count(); ++i)
                check(selector, selector->itemText(i),
                      selector->lineEdit()->width() - 4 >= fm.horizontalAdvance(selector->itemText(i)));
        }
        if (auto *list = qobject_cast<QTreeWidget *>(widget)) {
            if (!list->isHeaderHidden()) {
                for (int column = 0; column < list->columnCount(); ++column) {
                    const QString caption = list->headerItem()->text(column);
                    check(list, caption,
                          list->header()->sectionSize(column)
                              >= list->header()->fontMetrics().horizontalAdvance(caption) + 8);
                }
            }
            if (list->objectName() == QLatin1String("MsgListView")) {
                for (int row = 0; row < list->topLevelItemCount(); ++row) {
                    const QModelIndex caption = list->model()->index(row, 0);
                    check(list, caption.data().toString(),
                          list->columnWidth(0) >= list->sizeHintForIndex(caption).width());
                }
            }
        }
    }
    return cuts;
}

} // namespace

class AppearanceTest : public QObject {
    Q_OBJECT

private slots:
    void textFitsAtEveryScale_data();
    void textFitsAtEveryScale();
    void panelShowsSixteenRowsWithoutScrollBars();
    void layoutHoldsAtEverySize_data();
    void layoutHoldsAtEverySize();
    void picturesStayVisibleOnDarkPalette();
    void pictureTextKeepsWhatStandsOut_data();
    void pictureTextKeepsWhatStandsOut();
    void picturesLookAsDrawn_data();
    void picturesLookAsDrawn();
    void trackBarMarkerStandsOutOnBothPalettes_data();
    void trackBarMarkerStandsOutOnBothPalettes();
};

void AppearanceTest::textFitsAtEveryScale_data()
{
    QTest::addColumn<QString>("scale");
    QTest::newRow("1") << "1";
    QTest::newRow("1.5") << "1.5";
    QTest::newRow("2") << "2";
}

void AppearanceTest::textFitsAtEveryScale()
{
    QFETCH(QString, scale);
    if (!TestSupport::isTestChild()) {
        // The scale factor takes effect only when the application starts.
        QByteArray output;
        const int code = TestSupport::runTestFunctionInChild(
            QStringLiteral("textFitsAtEveryScale:%1").arg(scale), {"QT_SCALE_FACTOR=" + scale}, &output);
        QVERIFY2(code == 0, output.constData());
        return;
    }
    QCOMPARE(qApp->devicePixelRatio(), scale.toDouble());
    TestSupport::ShippedSettings settings;
    QVERIFY(settings.ok());
    TFFmpegFrm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(WindowControls(&window).JvCmbVdo1->count() > 1); // the selectors are filled
    QCOMPARE(window.size(), QSize(852, 525));
    for (int page = 0; page < WindowControls(&window).JvPageControl->count(); ++page) {
        WindowControls(&window).JvPageControl->setCurrentIndex(page);
        const QStringList cuts = cutTexts(&window);
        QVERIFY2(cuts.isEmpty(), qPrintable(cuts.join(QStringLiteral("; "))));
    }

    TMplayerFrm player(&window);
    player.JvLabFile->setText(QStringLiteral("/videos/clip.mp4"));
    player.JvLabEdTime->setText(QStringLiteral("00:10:00"));
    const QStringList cuts = cutTexts(&player);
    QVERIFY2(cuts.isEmpty(), qPrintable(cuts.join(QStringLiteral("; "))));
}

void AppearanceTest::panelShowsSixteenRowsWithoutScrollBars()
{
    TestSupport::ShippedSettings settings;
    QVERIFY(settings.ok());
    TFFmpegFrm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTreeWidget *panel = WindowControls(&window).MsgListView;
    QCOMPARE(panel->topLevelItemCount(), 16);
    QVERIFY(!panel->verticalScrollBar()->isVisible());
    QVERIFY(!panel->horizontalScrollBar()->isVisible());
    for (int row = 0; row < 16; ++row) {
        const QRect rect = panel->visualItemRect(panel->topLevelItem(row));
        QVERIFY2(panel->viewport()->rect().contains(rect), qPrintable(QString::number(row)));
    }
    // The banner above keeps to its own place.
    QVERIFY(WindowControls(&window).Image1->geometry().bottom() < panel->geometry().top());
    QVERIFY(WindowControls(&window).Image1->height() >= 100);
}

void AppearanceTest::layoutHoldsAtEverySize_data()
{
    QTest::addColumn<QString>("screen"); // the offscreen screen's description
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QSize>("size"); // resized to this; empty: as opened, -1: the smallest
    const QString desktop = QStringLiteral(HALVORA_SOURCE_DIR "/tests/offscreen-screen.json");
    const QString laptop = QStringLiteral(HALVORA_SOURCE_DIR "/tests/offscreen-laptop.json");
    QTest::newRow("default") << desktop << "1" << QSize();
    QTest::newRow("enlarged") << desktop << "1" << QSize(1500, 1000);
    QTest::newRow("smallest") << desktop << "1" << QSize(-1, -1);
    QTest::newRow("smallest at 2") << desktop << "2" << QSize(-1, -1);
    QTest::newRow("1366x768 at 1.5") << laptop << "1.5" << QSize();
    QTest::newRow("1366x768 at 1.5, smallest") << laptop << "1.5" << QSize(-1, -1);
}

void AppearanceTest::layoutHoldsAtEverySize()
{
    QFETCH(QString, screen);
    QFETCH(QString, scale);
    QFETCH(QSize, size);
    if (!TestSupport::isTestChild()) {
        // The screen and the scale are read when the application starts.
        QByteArray output;
        const int code = TestSupport::runTestFunctionInChild(
            QStringLiteral("layoutHoldsAtEverySize:%1").arg(QString::fromLatin1(QTest::currentDataTag())),
            {"QT_QPA_PLATFORM=offscreen:configfile=" + screen, "QT_SCALE_FACTOR=" + scale}, &output);
        QVERIFY2(code == 0, output.constData());
        return;
    }
    TestSupport::ShippedSettings settings;
    QVERIFY(settings.ok());
    TFFmpegFrm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect area = window.screen()->availableGeometry();
    // Opens at the size it is drawn for where the screen holds it, and never
    // larger than the screen.
    QVERIFY(area.contains(window.frameGeometry()));
    if (area.height() > 600)
        QCOMPARE(window.size(), TFFmpegFrm::DefaultSize);
    // The window's smallest size fits a 1366x768 screen at 1.5 with room for
    // a panel and a title bar.
    QVERIFY(window.minimumWidth() <= 1366 / 1.5 && window.minimumHeight() <= 768 / 1.5 - 60);
    if (size.isValid())
        window.resize(size);
    else if (!size.isNull())
        window.resize(window.minimumSize());
    QTest::qWait(50);

    const WindowControls ui(&window);
    const QStringList cuts = cutTexts(&window);
    QVERIFY2(cuts.isEmpty(), qPrintable(cuts.join(QStringLiteral("; "))));
    // The controls lie side by side inside the window, none over another.
    const QList<QWidget *> controls{ui.JvCoolBar,     ui.FileListView, ui.JvGroupBox,  ui.JvPageControl,
                                    ui.Image1,        ui.MsgListView,  ui.JvEditCmdMsg};
    for (qsizetype i = 0; i < controls.size(); ++i) {
        if (!controls[i]->isVisible())
            continue;
        QVERIFY2(window.rect().contains(controls[i]->geometry()), qPrintable(controls[i]->objectName()));
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            if (controls[j]->isVisible())
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->objectName() + QLatin1Char(' ') + QDebug::toString(controls[i]->geometry())
                                    + QLatin1Char(' ') + controls[j]->objectName() + QLatin1Char(' ')
                                    + QDebug::toString(controls[j]->geometry())));
        }
    }
    // The panel shows all its rows, the list at least four, the status line
    // runs along the bottom.
    QTreeWidget *panel = ui.MsgListView;
    QVERIFY(!panel->verticalScrollBar()->isVisible());
    QVERIFY(!panel->horizontalScrollBar()->isVisible());
    const QRect lastRow = panel->visualItemRect(panel->topLevelItem(panel->topLevelItemCount() - 1));
    QVERIFY(panel->viewport()->rect().contains(lastRow));
    QVERIFY(ui.FileListView->viewport()->height() >= 4 * (ui.FileListView->fontMetrics().height() + 2));
    QCOMPARE(ui.JvEditCmdMsg->geometry().bottom(), window.height() - 1);
    QCOMPARE(ui.JvEditCmdMsg->width(), window.width());
    // What the window gains goes to the list, its name column and the panel's values.
    const int gain = window.width() - TFFmpegFrm::DefaultSize.width();
    if (gain > 0) {
        QVERIFY(ui.FileListView->columnWidth(0) >= 310 + gain / 2);
        QVERIFY(panel->columnWidth(1) > 120 + gain / 4);
        QCOMPARE(panel->columnWidth(0) + panel->columnWidth(1), panel->viewport()->width());
    }
}

void AppearanceTest::picturesStayVisibleOnDarkPalette()
{
    // "Dark parts": what the picture draws in dark colours on a light palette.
    const QPalette light = QApplication::palette();
    QStringList pictures{QStringLiteral(":/images/halvora.svg")};
    for (int i = 0; i < TImageList::Count; ++i)
        pictures << QStringLiteral(":/images/img%1.svg").arg(i, 2, 10, QLatin1Char('0'));
    const TImageList initResources;

    const QColor darkWindow = darkPalette().color(QPalette::Window);
    for (const QString &picture : pictures) {
        QApplication::setPalette(light);
        const QImage original = TImageList::render(picture, QSize(64, 64)).toImage();
        QApplication::setPalette(darkPalette());
        const QImage shown = TImageList::render(picture, QSize(64, 64)).toImage();
        QApplication::setPalette(light);
        for (int y = 1; y < 63; ++y) {
            for (int x = 1; x < 63; ++x) {
                const QColor before = original.pixelColor(x, y);
                const QColor after = shown.pixelColor(x, y);
                // Opaque, dark, and not an edge blended with its neighbours.
                const bool solid = after.alpha() == 255 && after == shown.pixelColor(x - 1, y)
                                && after == shown.pixelColor(x + 1, y) && after == shown.pixelColor(x, y - 1)
                                && after == shown.pixelColor(x, y + 1);
                if (!solid || before.alpha() != 255 || before.lightnessF() > ContrastColour::DarkLightness)
                    continue;
                QVERIFY2(ContrastColour::ratio(after, darkWindow) >= ContrastColour::Minimum,
                         qPrintable(QStringLiteral("%1 at %2,%3: %4").arg(picture).arg(x).arg(y).arg(after.name())));
                // On the light palette the same part stands out as drawn.
                QVERIFY(ContrastColour::ratio(before, light.color(QPalette::Window)) >= ContrastColour::Minimum);
            }
        }
    }
}

void AppearanceTest::trackBarMarkerStandsOutOnBothPalettes_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << QApplication::palette();
    QTest::newRow("dark") << darkPalette();
}

void AppearanceTest::trackBarMarkerStandsOutOnBothPalettes()
{
    QFETCH(QPalette, palette);
    TJvColorTrackBar bar;
    bar.setPalette(palette);
    bar.resize(362, 24);
    bar.setMaximum(10);
    bar.setPosition(5);
    bar.show();
    const QImage image = bar.findChild<QSlider *>()->grab().toImage();
    // The arrow's top row: whatever differs from the window colour there is the marker.
    const QColor window = palette.color(QPalette::Window);
    int markerPixels = 0;
    for (int x = 1; x < image.width() - 1; ++x) {
        const QColor pixel = image.pixelColor(x, 0);
        // Edges blend the marker with the window colour: only solid pixels count.
        if (pixel == window || pixel != image.pixelColor(x - 1, 0) || pixel != image.pixelColor(x + 1, 0))
            continue;
        ++markerPixels;
        QVERIFY2(ContrastColour::ratio(pixel, window) >= ContrastColour::Minimum, qPrintable(pixel.name()));
    }
    QVERIFY(markerPixels >= 1);
}

void AppearanceTest::pictureTextKeepsWhatStandsOut_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QByteArray>("shown");
    const QColor light(0xef, 0xef, 0xef);
    const QColor dark(0x30, 0x30, 0x30);
    const QByteArray lightened = ContrastColour::visibleOn(QColor(0x10, 0x10, 0x10), dark).name().toLatin1();
    QTest::newRow("light palette: as written") << QByteArray("<p fill=\"#1A1A1A\"/>") << light
                                               << QByteArray("<p fill=\"#1A1A1A\"/>");
    QTest::newRow("dark colour lightened") << QByteArray("<p fill=\"#101010\" stroke='#101010'/>") << dark
                                           << "<p fill=\"" + lightened + "\" stroke='" + lightened + "'/>";
    QTest::newRow("light colour kept") << QByteArray("<p fill=\"#f0f0f0\"/>") << dark << QByteArray("<p fill=\"#f0f0f0\"/>");
    QTest::newRow("not a colour") << QByteArray("<a href=\"#1010101\"/><b id=\"#10101g\"/>#10") << dark
                                  << QByteArray("<a href=\"#1010101\"/><b id=\"#10101g\"/>#10");
    QTest::newRow("at the very end") << QByteArray("#101010") << dark << lightened;
}

void AppearanceTest::pictureTextKeepsWhatStandsOut()
{
    QFETCH(QByteArray, svg);
    QFETCH(QColor, background);
    QFETCH(QByteArray, shown);
    QCOMPARE(ContrastColour::adaptPicture(svg, background), shown);
}

void AppearanceTest::picturesLookAsDrawn_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QSize>("size");
    // The sizes the window shows, which come ready-made from the build, and
    // sizes it draws from the SVG or scales down to.
    for (int i = 0; i < TImageList::Count; ++i) {
        const QString picture = QStringLiteral(":/images/img%1.svg").arg(i, 2, 10, QLatin1Char('0'));
        QTest::addRow("img%02d 16", i) << picture << QSize(16, 16);
        QTest::addRow("img%02d 32", i) << picture << QSize(32, 32);
    }
    QTest::newRow("img05 24") << QStringLiteral(":/images/img05.svg") << QSize(24, 24);
    QTest::newRow("folder 16") << QStringLiteral(":/images/folder_open.svg") << QSize(16, 16);
    QTest::newRow("window icon") << QStringLiteral(":/images/halvora.svg") << QSize(64, 64);
    QTest::newRow("banner") << QStringLiteral(":/images/banner.svg") << QSize(245, 172);
    QTest::newRow("banner made lower") << QStringLiteral(":/images/banner.svg") << QSize(245, 139);
    QTest::newRow("banner made larger") << QStringLiteral(":/images/banner.svg") << QSize(600, 420);
}

void AppearanceTest::picturesLookAsDrawn()
{
    QFETCH(QString, picture);
    QFETCH(QSize, size);
    const TImageList initResources;
    const QImage shown = TImageList::render(picture, size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);

    QImage drawn(size, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QSvgRenderer renderer(picture);
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    QPainter painter(&drawn);
    renderer.render(&painter);
    painter.end();

    QCOMPARE(shown.size(), size);
    // Scaling down blurs edges a little; anything more is a wrong picture,
    // position or byte order.
    qint64 difference = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb a = shown.pixel(x, y);
            const QRgb b = drawn.pixel(x, y);
            difference += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b))
                        + qAbs(qAlpha(a) - qAlpha(b));
        }
    }
    const double perChannel = double(difference) / (4.0 * size.width() * size.height());
    QVERIFY2(perChannel < 3.0, qPrintable(QString::number(perChannel)));
}

QTEST_MAIN(AppearanceTest)
#include "tst_appearance.moc"
