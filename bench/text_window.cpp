// The second yardstick for the start benchmark: the bare window with a few
// of the text controls every such window has (a caption, an edit, a
// drop-down, a list with a header), in the font size Halvora uses.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(852, 525);
    QFont font = QApplication::font();
    font.setPointSize(8);
    window.setFont(font);

    auto *list = new QTreeWidget(&window);
    list->setGeometry(5, 45, 593, 294);
    list->setHeaderLabels({"Video Files", "File Types", "File Size", "Playing Time", "Percent"});
    auto *caption = new QLabel("Video Codec", &window);
    caption->setGeometry(10, 420, 80, 16);
    auto *choice = new QComboBox(&window);
    choice->setEditable(true);
    choice->addItem("H.264 (libx264)");
    choice->setGeometry(95, 416, 115, 21);
    auto *edit = new QLineEdit("/home/user/Videos", &window);
    edit->setGeometry(0, 504, 852, 21);

    window.show();
    return application.exec();
}
