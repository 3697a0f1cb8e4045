#include <QApplication>
#include <clocale>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Numbers in files and logs are always written with a '.' decimal point.
    std::setlocale(LC_NUMERIC, "C");
    return 0;
}
