// The least a Qt Widgets window costs to appear: a button and an empty
// table view, nothing else. bench/window-start times the program against it.
#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QPushButton(QStringLiteral("Start"), &window));
    layout->addWidget(new QTableView(&window));
    window.show();
    return app.exec();
}
